#pragma once
// How korvel-cli ends early. SIGINT, SIGTERM and SIGHUP (a closed terminal or
// SSH session), and a reader of stdout or stderr that has gone (a closed
// pipe, a hung-up terminal), all end a command the same way: a transfer stops
// between two bytes, never inside a programming sequence, and the command
// says how far it got while stderr can still take it. SIGPIPE is ignored, so
// writing to a closed pipe fails instead of killing the program mid-sequence.

#include <cstdio>

namespace korvel {

// Installs the handlers; calling it again changes nothing.
void InstallInterruptHandler();

// A signal above has come, or stdout or stderr has lost its reader.
bool Interrupted();

// The terminal or the reader is gone (SIGHUP, a lost stdout or stderr), as
// opposed to a stop the user asked for (Ctrl-C, SIGTERM).
bool LostTheUser();

// Flushes `stream` (stdout or stderr); false when it or an earlier write to
// it failed. A failure because the reader has gone counts as an interrupt.
bool FlushOutput(std::FILE* stream);

}  // namespace korvel

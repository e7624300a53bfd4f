#pragma once
// korvel-cli, one run after another, against a simulator restarted for each
// run with a random fault (or none): downloads of both kinds of random edits
// and uploads, some unplugged or interrupted part way. After each run the
// EEPROM the simulator kept is held against what the CLI said.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/soak/Programs.h"

namespace korvel::soak {

struct CliSoakOptions {
    uint64_t seed = 1;
    int64_t untilMs = 0;  // CLOCK_MONOTONIC time to stop starting runs
    int runs = 0;         // > 0: this many runs instead
    // Faults, unplugs and interrupts by exchange count only (the short run):
    // no late replies, and the unplug or interrupt after the k-th EEPROM write.
    bool byExchangeCount = false;
    int baud = 9600;
    int programMs = 10;
    bool verbose = false;  // one line per run on stderr
};

struct CliFigures {
    int downloads = 0, downloadsOk = 0, downloadsFailed = 0;
    int falseSuccesses = 0, miscounts = 0, corrupted = 0;
    int uploads = 0, uploadsOk = 0, wrongUploads = 0;
    int crashes = 0, hangs = 0;
    int unplugs = 0, interrupts = 0;
    std::vector<std::string> findings;  // one line per run that broke a rule

    bool Clean() const {
        return falseSuccesses + miscounts + corrupted + wrongUploads + crashes + hangs == 0 &&
               findings.empty();
    }
};

CliFigures RunCliSoak(const Programs& programs, const CliSoakOptions& options);

}  // namespace korvel::soak

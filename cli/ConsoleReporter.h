#pragma once
// The command-line face of the Reporter: messages are lines on stderr; the
// message pane is the progress of a transfer (a bar redrawn in place when
// stderr is a terminal, a line at each quarter otherwise); the ECU state
// pane is a line on stderr each time it changes.

#include <cstdio>
#include <string>

#include "link/Reporter.h"

namespace korvel {

class ConsoleReporter : public Reporter {
public:
    explicit ConsoleReporter(std::FILE* out = stderr);

    void ShowMessage(const std::string& text) override;
    void SetPaneText(int pane, const std::string& text) override;

    // `done` of `total` steps of a transfer are finished.
    void Progress(int done, int total);
    // The transfer ended: the bar's line is cleared.
    void EndProgress();

private:
    void ClearBar();

    std::FILE* out_;
    bool terminal_;
    bool barShown_ = false;
    int lastQuarter_ = -1;
    std::string messagePane_;
    std::string statePane_;
};

}  // namespace korvel

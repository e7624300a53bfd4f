#pragma once
// How the core reaches the user: modal messages and the two status-bar panes.
// The desktop program shows message boxes; the command-line tool prints to stderr.

#include <string>

namespace korvel {

constexpr int MessagePane = 0;   // progress and outcome of long operations
constexpr int EcuStatePane = 1;  // "ECU On Line", "ECU Off Line", "ECU Offline"

class Reporter {
public:
    virtual ~Reporter() = default;
    // A link or file error: the whole text is the message (stop icon, OK button).
    virtual void ShowMessage(const std::string& text) = 0;
    // Status-bar text, shown at once even during a blocking transfer.
    virtual void SetPaneText(int pane, const std::string& text) = 0;
    // News for the MessagePane that no command asked for (a port that came
    // back); where a failure is on show, it may keep its place.
    virtual void ShowNotice(const std::string& text) { SetPaneText(MessagePane, text); }
};

}  // namespace korvel

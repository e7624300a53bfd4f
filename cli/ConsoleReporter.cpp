#include "cli/ConsoleReporter.h"

#include <unistd.h>

#include <algorithm>

#include "cli/Interrupt.h"

namespace korvel {

namespace {

constexpr int BarWidth = 30;

}  // namespace

ConsoleReporter::ConsoleReporter(std::FILE* out) : out_(out), terminal_(isatty(fileno(out)) != 0) {}

void ConsoleReporter::ShowMessage(const std::string& text) {
    ClearBar();
    std::fprintf(out_, "%s\n", text.c_str());
    FlushOutput(out_);
}

void ConsoleReporter::SetPaneText(int pane, const std::string& text) {
    if (pane == MessagePane) {
        messagePane_ = text;  // shown with the next progress step
        return;
    }
    if (text == statePane_) {
        return;  // "ECU On Line" after every bound slot says nothing new
    }
    statePane_ = text;
    ShowMessage(text);
}

void ConsoleReporter::Progress(int done, int total) {
    if (total <= 0) {
        return;
    }
    const int percent = std::clamp(done * 100 / total, 0, 100);
    if (!terminal_) {
        if (percent / 25 != lastQuarter_) {
            lastQuarter_ = percent / 25;
            std::fprintf(out_, "%3d%%  %s\n", percent, messagePane_.c_str());
            FlushOutput(out_);
        }
        return;
    }
    const int filled = percent * BarWidth / 100;
    std::fprintf(out_, "\r[%s%s] %3d%%  %s\033[K", std::string(filled, '#').c_str(),
                 std::string(BarWidth - filled, '.').c_str(), percent, messagePane_.c_str());
    FlushOutput(out_);
    barShown_ = true;
}

void ConsoleReporter::EndProgress() {
    ClearBar();
    lastQuarter_ = -1;
}

void ConsoleReporter::ClearBar() {
    if (barShown_) {
        std::fputs("\r\033[K", out_);
        barShown_ = false;
    }
}

}  // namespace korvel

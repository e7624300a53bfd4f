#pragma once
// A Reporter that records every message and pane text, in order.

#include <string>
#include <vector>

#include "link/Reporter.h"

namespace korvel {

class RecordingReporter : public Reporter {
public:
    struct Event {
        int pane;  // -1 for a message
        std::string text;
        bool operator==(const Event&) const = default;
    };

    std::vector<Event> events;

    void ShowMessage(const std::string& text) override { events.push_back({-1, text}); }
    void SetPaneText(int pane, const std::string& text) override { events.push_back({pane, text}); }

    std::vector<std::string> Messages() const { return Texts(-1); }
    std::vector<std::string> PaneTexts(int pane) const { return Texts(pane); }
    // The pane's current text ("" when never written).
    std::string Pane(int pane) const {
        auto texts = Texts(pane);
        return texts.empty() ? std::string() : texts.back();
    }
    void Clear() { events.clear(); }

private:
    std::vector<std::string> Texts(int pane) const {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.pane == pane) {
                out.push_back(e.text);
            }
        }
        return out;
    }
};

}  // namespace korvel

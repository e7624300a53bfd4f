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
    };
    std::vector<Event> events;

    void ShowMessage(const std::string& text) override { events.push_back({-1, text}); }
    void SetPaneText(int pane, const std::string& text) override { events.push_back({pane, text}); }

    // Every text written to `pane`, in order (-1: the messages).
    std::vector<std::string> PaneTexts(int pane) const {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.pane == pane) {
                out.push_back(e.text);
            }
        }
        return out;
    }
    std::vector<std::string> Messages() const { return PaneTexts(-1); }
    // The pane's current text ("" when never written).
    std::string Pane(int pane) const {
        const auto texts = PaneTexts(pane);
        return texts.empty() ? std::string() : texts.back();
    }
};

}  // namespace korvel

#include "monitor/PlotState.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace korvel {
namespace {

using Channels = std::array<int32_t, MaxPlottedVariables>;

// One call: add (true) or delete (false) a variable, the channel the call
// must report, and every channel's variable afterwards.
struct Step {
    bool add;
    int variable;
    int channel;
    Channels afterwards;
};

TEST(PlotState, ChannelsAreTakenAndFreedLowestFirst) {
    const std::vector<std::vector<Step>> scripts = {
        // The same variable fills all three channels; a fourth add is refused.
        {{true, 4, 0, {4, -1, -1}},
         {true, 4, 1, {4, 4, -1}},
         {true, 4, 2, {4, 4, 4}},
         {true, 5, -1, {4, 4, 4}}},
        // Delete frees only the first channel plotting the variable.
        {{true, 1, 0, {1, -1, -1}},
         {true, 2, 1, {1, 2, -1}},
         {true, 1, 2, {1, 2, 1}},
         {false, 1, 0, {-1, 2, 1}},
         {false, 1, 2, {-1, 2, -1}},
         {false, 1, -1, {-1, 2, -1}}},
        // A freed channel is the first one reused.
        {{true, 0, 0, {0, -1, -1}},
         {true, 1, 1, {0, 1, -1}},
         {false, 0, 0, {-1, 1, -1}},
         {true, 7, 0, {7, 1, -1}}},
        // -1 marks a free channel, so it is never a variable to add or delete.
        {{false, -1, -1, {-1, -1, -1}}, {true, -1, -1, {-1, -1, -1}}},
    };
    for (size_t s = 0; s < scripts.size(); ++s) {
        PlotState plot;
        plot.lastPointX = plot.lastPointY = {9, 9, 9};
        for (const Step& step : scripts[s]) {
            const int channel = step.add ? plot.AddChannel(step.variable, 5.0f, 50.0f)
                                         : plot.DeleteChannel(step.variable);
            EXPECT_EQ(channel, step.channel) << "script " << s << " variable " << step.variable;
            EXPECT_EQ(plot.plottedVariable, step.afterwards) << "script " << s;
            if (channel >= 0 && !step.add) {  // a freed channel forgets its last point
                EXPECT_EQ(plot.lastPointX[static_cast<size_t>(channel)], 0);
                EXPECT_EQ(plot.lastPointY[static_cast<size_t>(channel)], 0);
            }
        }
    }
}

}  // namespace
}  // namespace korvel

#include "monitor/PlotState.h"

#include <cstddef>

namespace korvel {

int PlotState::AddChannel(int variable, float minimum, float maximum) {
    // -1 marks a free channel, so a negative variable would occupy nothing.
    if (variable < 0) {
        return -1;
    }
    for (int c = 0; c < MaxPlottedVariables; ++c) {
        const auto i = static_cast<size_t>(c);
        if (plottedVariable[i] == -1) {
            plottedVariable[i] = variable;
            plotMinimum[i] = minimum;
            plotMaximum[i] = maximum;
            ++assignment[i];
            return c;
        }
    }
    return -1;
}

int PlotState::DeleteChannel(int variable) {
    const int c = ChannelOf(variable);
    if (c >= 0) {
        const auto i = static_cast<size_t>(c);
        plottedVariable[i] = -1;
        ++assignment[i];
    }
    return c;
}

int PlotState::ChannelOf(int variable) const {
    // Otherwise a negative variable would "match" a free channel.
    if (variable < 0) {
        return -1;
    }
    for (int c = 0; c < MaxPlottedVariables; ++c) {
        if (plottedVariable[static_cast<size_t>(c)] == variable) {
            return c;
        }
    }
    return -1;
}

}  // namespace korvel

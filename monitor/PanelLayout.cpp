#include "monitor/PanelLayout.h"

namespace korvel {

TextPosition NamePosition(int k, TextMetrics metrics) {
    const int column = k % PanelColumns;
    const int row = k / PanelColumns;
    return {PanelColumnWidthChars * column * metrics.averageWidth, row * 3 * metrics.height};
}

TextPosition ValuePosition(int k, TextMetrics metrics) {
    TextPosition position = NamePosition(k, metrics);
    position.y += metrics.height;
    return position;
}

int32_t PanelBottom(int variableCount, TextMetrics metrics) {
    return (variableCount > PanelColumns ? 5 : 2) * metrics.height;
}

int NameChannel(int k, const PlotState& plot) {
    return plot.ChannelOf(k);
}

}  // namespace korvel

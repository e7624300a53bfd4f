#include "monitor/RangeText.h"

#include "monitor/CsvLogWriter.h"
#include "monitor/ValueText.h"

namespace korvel {

std::string RangeInUnits(std::string_view name, uint32_t minimum, uint32_t maximum) {
    std::string text = std::to_string(minimum) + ".." + std::to_string(maximum);
    // Fuel's range runs 0..1, where 1 is LP.
    const std::string_view unit = KindOfVariable(name) == VariableKind::Fuel
                                      ? MonitorValueUnit(name)
                                      : MonitorValueUnitShown(name);
    if (unit.empty()) {
        return text + " counts";
    }
    const LoggedValue low = MonitorValueLogged(name, minimum);
    const LoggedValue high = MonitorValueLogged(name, maximum);
    text += " = ";
    AppendNumber(text, low.value, low.decimals);
    text += "..";
    AppendNumber(text, high.value, high.decimals);
    text.append(" ").append(unit);
    return text;
}

}  // namespace korvel

#pragma once
// What a plot range in raw counts means in a variable's unit, for the plot
// dialog: "0..255 = 3.1..30.8 inHg".

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// Plain counts, whose unit is the count itself, read "0..3000 counts".
std::string RangeInUnits(std::string_view name, uint32_t minimum, uint32_t maximum);

}  // namespace korvel

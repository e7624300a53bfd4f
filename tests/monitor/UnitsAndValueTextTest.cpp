#include "calib/UnitScale.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "monitor/MonitorFile.h"
#include "monitor/ValueText.h"

namespace korvel {
namespace {

// Values anchored on each scale (extrapolated beyond its last point); back to
// a raw byte: rounding halves up and clamping beyond either end. Every byte
// survives display and re-entry on every scale, the near-flat end segments
// included.
TEST(UnitScale, ConversionExamplesAndEveryRawByteRoundTrips) {
    const std::tuple<UnitScale, float, double, double> toUnits[] = {
        {TairScale, 240, -36.727272727, 1e-5},
        {MapScale, 10, 4.1439, 1e-5},
        {RpmScale, 300, 6000, 0}};
    for (const auto& [scale, raw, expected, tolerance] : toUnits) {
        EXPECT_NEAR(RawToUnits(raw, scale), expected, tolerance) << raw;
    }
    const std::tuple<UnitScale, float, int> toRaw[] = {
        {TcooScale, 300, 0},   {TcooScale, -60, 255},    {TairScale, 77, 90},
        {RpmScale, 5200, 255}, {ByteScale, 127.5f, 128}, {ByteScale, 127.49f, 127}};
    for (const auto& [scale, value, expected] : toRaw) {
        EXPECT_EQ(UnitsToRaw(value, scale), expected) << value;
    }
    for (UnitScale scale : {TairScale, TcooScale, MapScale, BatScale, ByteScale, RpmScale}) {
        for (int raw = 0; raw <= 255; ++raw) {
            const auto shown = static_cast<float>(RawToUnits(static_cast<float>(raw), scale));
            ASSERT_EQ(UnitsToRaw(shown, scale), raw) << "scale of " << scale[0] << " points";
        }
    }
}

TEST(ValueText, TextsAndKindsFollowTheNamePrefix) {
    const std::tuple<const char*, uint32_t, const char*, const char*> cases[] = {
        {"PW   ", 250, " 1000 ", "1000"},   {"PWON ", 1, "    4 ", "4"},
        {"Der  ", 129, " -127 ", "-127"},   {"Der  ", 128, " 128 ", "128"},
        {"MAP  ", 0, "  3.1 ", "3.1"},      {"Tair ", 22, " 158.0 ", "158.0"},
        {"Tcoo ", 255, " -40.1 ", "-40.1"}, {"Bat  ", 100, "  7.8 ", "7.8"},
        {"RPM  ", 90, "  90 ", "90"},       {"map  ", 10, "  10 ", "10"},
        {"Fuel ", 3, " GSLN", "GSLN"},      {"Fuel ", 4, "  LP ", "LP"},
        {"TairX", 255, " -40.1 ", "-40.1"}, {"Der  ", 0x80000000u, " 2147483392 ", "2147483392"},
        {"Ba   ", 7, "   7 ", "7"}};
    for (const auto& [name, raw, panel, csv] : cases) {
        EXPECT_EQ(MonitorValueText(name, raw), panel) << name << raw;
        EXPECT_EQ(MonitorValueCsv(name, raw), csv) << name << raw;
    }
    // Kinds the panel shows as plain integers still tell the virtual ECU what to animate.
    // Leading blanks and control characters (a blank line run into the name) do not count.
    const std::pair<const char*, VariableKind> kinds[] = {
        {"rpm  ", VariableKind::EngineSpeed},  {"Thr  ", VariableKind::Throttle},
        {"tps  ", VariableKind::Other},        {"PWON ", VariableKind::PulseWidth},
        {"\r\nPW ", VariableKind::PulseWidth}, {" MAP ", VariableKind::Map},
        {"\tTair", VariableKind::AirTemp},     {"P\tW  ", VariableKind::Other}};
    for (const auto& [name, kind] : kinds) {
        EXPECT_EQ(KindOfVariable(name), kind) << name;
    }
}

// Every unit as the log and the screen give it, and a value's whole story.
TEST(ValueText, UnitsAndDescriptions) {
    const std::tuple<const char*, uint32_t, const char*, const char*, const char*> cases[] = {
        {"MAP  ", 100, "inHg", "inHg", "14.0 inHg (raw 100)"},
        {"PW   ", 375, "us", "\u00B5s", "1500 \u00B5s (raw 375)"},
        {"Tcoo ", 135, "F", "\u00B0F", "86.0 \u00B0F (raw 135)"},
        {"Bat  ", 181, "V", "V", "14.0 V (raw 181)"},
        {"Fuel ", 4, "LP", "", "LP (raw 4)"},
        {"Der  ", 255, "", "", "-1 (raw 255)"},
        {"RPM  ", 40, "", "", "40 (raw 40)"}};
    for (const auto& [name, raw, logged, shown, description] : cases) {
        EXPECT_EQ(MonitorValueUnit(name), logged) << name;
        EXPECT_EQ(MonitorValueUnitShown(name), shown) << name;
        EXPECT_EQ(MonitorValueDescription(name, raw), description) << name;
    }
}

// No control character of a name reaches a screen, a log or a terminal.
TEST(MonitorFile, NamesAreShownWithoutControlCharacters) {
    const std::tuple<std::string_view, std::string, std::string> cases[] = {
        {"\r\nPW ", "  PW ", "PW"},
        {std::string_view("\0\0\0\0\0", 5), "     ", ""},  // an unread list
        {"A\x7f\x85"
         "B ",
         "A  B ", "A  B"},                   // DEL and a C1 control
        {"\xb5s   ", "\xb5s   ", "\xb5s"}};  // Latin-1 letters stay
    for (const auto& [name, printable, shown] : cases) {
        EXPECT_EQ(PrintableName(name), printable);
        EXPECT_EQ(ShownName(name), shown);
    }
}

}  // namespace
}  // namespace korvel

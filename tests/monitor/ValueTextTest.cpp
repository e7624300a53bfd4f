#include "monitor/ValueText.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(ValueText, PanelAndLogTextsFollowTheNamePrefix) {
    struct Case {
        const char* name;
        uint32_t raw;
        const char* panel;
        const char* csv;
    };
    const Case cases[] = {
        {"PW   ", 250, " 1000 ", "1000"},   {"PWON ", 1, "    4 ", "4"},
        {"PW2  ", 1000, " 4000 ", "4000"},  {"Der  ", 129, " -127 ", "-127"},
        {"Der  ", 255, "   -1 ", "-1"},     {"Der  ", 128, " 128 ", "128"},
        {"Der  ", 0, "   0 ", "0"},         {"MAP  ", 0, "  3.1 ", "3.1"},
        {"MAP  ", 255, " 30.8 ", "30.8"},   {"Tair ", 22, " 158.0 ", "158.0"},
        {"Tcoo ", 255, " -40.1 ", "-40.1"}, {"Bat  ", 100, "  7.8 ", "7.8"},
        {"RPM  ", 90, "  90 ", "90"},       {"map  ", 10, "  10 ", "10"},
        {"Fuel ", 12, "  LP ", "LP"},       {"TairX", 255, " -40.1 ", "-40.1"},
        {"Ba   ", 7, "   7 ", "7"},         {"Der  ", 0x80000000u, " 2147483392 ", "2147483392"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MonitorValueText(c.name, c.raw), c.panel) << c.name << c.raw;
        EXPECT_EQ(MonitorValueCsv(c.name, c.raw), c.csv) << c.name << c.raw;
    }
    for (uint32_t raw = 0; raw < 8; ++raw) {
        EXPECT_EQ(MonitorValueText("Fuel ", raw), raw < 4 ? " GSLN" : "  LP ") << raw;
        EXPECT_EQ(MonitorValueCsv("Fuel ", raw), raw < 4 ? "GSLN" : "LP") << raw;
    }
}

}  // namespace
}  // namespace korvel

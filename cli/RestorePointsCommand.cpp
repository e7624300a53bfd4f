// korvel-cli restore-points: the restore points, newest first, one line each.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "calib/RestorePoints.h"
#include "cli/Commands.h"
#include "link/Clock.h"

namespace korvel {

namespace {

// A field as one line shows it: "-" when empty, control characters as "?".
std::string Shown(std::string text) {
    if (text.empty()) {
        return "-";
    }
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    return text;
}

std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

int RunRestorePoints(const CliArguments&) {
    const std::string folder = RestoreFolder(SystemEnvironment);
    if (folder.empty()) {
        std::fputs("No folder for restore points: set KORVEL_RESTORE_DIR or HOME\n", stderr);
        return ExitFailure;
    }
    SystemClock clock;
    bool readable = true;
    const std::vector<RestorePoint> points =
        RestorePoints(folder, [&clock] { return clock.WallMs(); }).List(&readable);
    if (!readable) {
        std::fprintf(stderr, "The restore points in %s cannot be read\n", folder.c_str());
        return ExitFailure;
    }
    if (points.empty()) {
        std::fprintf(stderr, "No restore points in %s\n", folder.c_str());
        return ExitSuccess;
    }
    std::vector<std::vector<std::string>> rows;
    std::vector<size_t> widths(4, 0);
    for (const RestorePoint& p : points) {
        rows.push_back(
            {Shown(p.time), Shown(p.reason), Shown(p.port), Shown(p.dataFile), Shown(p.path)});
        for (size_t i = 0; i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], rows.back()[i].size());
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < widths.size(); ++i) {
            line += Padded(row[i], widths[i]) + "  ";
        }
        std::printf("%s%s\n", line.c_str(), row.back().c_str());
    }
    return ExitSuccess;
}

}  // namespace korvel

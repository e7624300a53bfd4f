#include "bench/soak/Checks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

namespace korvel::soak {

WriteReport ParseWriteReport(const std::string& errorText) {
    static const std::regex failed(
        R"(^(\d+)( of \d+)? bytes programmed before the failure at ([0-9A-F?]+)(; the byte at [0-9A-F]+ may also have been programmed)?)");
    static const std::regex cancelled(R"(^Download cancelled: (\d+) bytes programmed)");
    WriteReport report;
    std::istringstream lines(errorText);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, failed)) {
            report.counted = true;
            report.programmed = std::atoi(m[1].str().c_str());
            if (m[3].str() != "?") {
                report.failedAt =
                    static_cast<uint32_t>(std::strtoul(m[3].str().c_str(), nullptr, 16));
            }
            report.uncertain = m[4].matched;
        } else if (std::regex_search(line, m, cancelled)) {
            report.counted = true;
            report.programmed = std::atoi(m[1].str().c_str());
        }
    }
    return report;
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Fine:
            return "fine";
        case Verdict::FalseSuccess:
            return "false success";
        case Verdict::Miscount:
            return "miscount";
        case Verdict::Corrupted:
            return "corrupted byte";
        case Verdict::Crashed:
            return "crash";
        case Verdict::Hung:
            return "hang";
    }
    return "?";
}

namespace {

std::string Hex(uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", address);
    return text;
}

// A changed byte holds what the data file asked for; the count says how many
// changed, one more where it names the failing byte as possibly programmed.
Outcome CheckFailed(const std::vector<int>& changed, const std::string& errorText) {
    const WriteReport report = ParseWriteReport(errorText);
    const int n = static_cast<int>(changed.size());
    const bool extraIsNamed =
        report.uncertain && report.failedAt && n == report.programmed + 1 &&
        std::find(changed.begin(), changed.end(),
                  static_cast<int>(*report.failedAt - ImageBaseAddress)) != changed.end();
    if (n == report.programmed || extraIsNamed) {
        return {};
    }
    return {Verdict::Miscount,
            std::to_string(n) + " bytes changed in the EEPROM, " +
                (report.counted ? std::to_string(report.programmed) + " reported programmed"
                                : std::string("no count reported"))};
}

}  // namespace

Outcome CheckDownload(const CalibrationImage& before, const CalibrationImage& target,
                      const CalibrationImage& after, int exitCode, const std::string& errorText) {
    std::vector<int> changed;
    for (int i = 0; i < ImageSize; ++i) {
        if (after[i] == before[i]) {
            continue;
        }
        if (after[i] != (target[i] & 0xFF)) {
            return {Verdict::Corrupted, "the byte at " + Hex(ImageBaseAddress + i) + " holds " +
                                            std::to_string(after[i]) + ", neither " +
                                            std::to_string(before[i]) + " nor " +
                                            std::to_string(target[i])};
        }
        changed.push_back(i);
    }
    if (exitCode == 0) {
        for (int i = 0; i < ImageSize; ++i) {
            if (after[i] != (target[i] & 0xFF)) {
                return {Verdict::FalseSuccess,
                        "exit 0, the byte at " + Hex(ImageBaseAddress + i) + " not programmed"};
            }
        }
        return {};
    }
    if (exitCode != 1) {
        return {Verdict::Crashed, "exit status " + std::to_string(exitCode)};
    }
    return CheckFailed(changed, errorText);
}

bool UploadMatches(const CalibrationImage& file, const CalibrationImage& eeprom) {
    return file.values == eeprom.values;
}

LogCheck CheckLog(const std::string& text) {
    LogCheck check;
    size_t start = 0;
    long fields = -1;
    int lineNumber = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        const long count = std::count(line.begin(), line.end(), ',') + 1;
        if (++lineNumber == 1) {
            fields = count;
        }
        if (lineNumber <= 2) {
            continue;  // the names and the units
        }
        ++check.lines;
        if (end == std::string::npos || count != fields || line.empty()) {
            ++check.brokenLines;
            continue;
        }
        const auto ms = static_cast<int64_t>(std::strtod(line.c_str(), nullptr) * 1000.0 + 0.5);
        if (!check.timesMs.empty() && ms <= check.timesMs.back()) {
            ++check.backwardTimes;
        }
        check.timesMs.push_back(ms);
    }
    return check;
}

std::vector<int64_t> RecoveryTimes(const std::vector<int64_t>& passMs,
                                   const std::vector<int64_t>& faultEndsMs, int& unrecovered) {
    std::vector<int64_t> times;
    unrecovered = 0;
    for (const int64_t end : faultEndsMs) {
        const auto next = std::upper_bound(passMs.begin(), passMs.end(), end);
        if (next == passMs.end()) {
            ++unrecovered;
        } else {
            times.push_back(*next - end);
        }
    }
    return times;
}

int64_t Percentile(std::vector<int64_t> values, int percent) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t rank = (values.size() * static_cast<size_t>(percent) + 99) / 100;
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

}  // namespace korvel::soak

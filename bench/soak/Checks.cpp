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
        case Verdict::WrongUpload:
            return "wrong upload";
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

// Both kinds of download program the differing bytes in address order, so
// the first `programmed` of them changed, and past them at most the byte the
// message names as possibly programmed.
Outcome CheckFailed(const std::vector<int>& toProgram, const std::vector<int>& changed,
                    const std::string& errorText) {
    const WriteReport report = ParseWriteReport(errorText);
    const size_t n = static_cast<size_t>(std::max(report.programmed, 0));
    if (n <= toProgram.size()) {
        std::vector<int> expected(toProgram.begin(), toProgram.begin() + static_cast<long>(n));
        if (changed == expected) {
            return {};
        }
        if (report.uncertain && report.failedAt && n < toProgram.size() &&
            toProgram[n] == static_cast<int>(*report.failedAt - ImageBaseAddress)) {
            expected.push_back(toProgram[n]);
            if (changed == expected) {
                return {};
            }
        }
    }
    return {Verdict::Miscount,
            std::to_string(changed.size()) + " bytes changed in the EEPROM" +
                (changed.empty() ? "" : " from " + Hex(ImageBaseAddress + changed.front())) + ", " +
                (report.counted ? std::to_string(report.programmed) + " reported programmed"
                                : std::string("no count reported"))};
}

// "N bytes written" on stdout after a success.
int WrittenCount(const std::string& outText) {
    static const std::regex written(R"((^|\n)(\d+) bytes written)");
    std::smatch m;
    return std::regex_search(outText, m, written) ? std::atoi(m[2].str().c_str()) : -1;
}

}  // namespace

Outcome CheckDownload(const CalibrationImage& before, const CalibrationImage& target,
                      const CalibrationImage& after, int exitCode, const std::string& errorText,
                      const std::string& outText) {
    std::vector<int> toProgram, changed;
    for (int i = 0; i < ImageSize; ++i) {
        if (before[i] != target[i]) {
            toProgram.push_back(i);
        }
        if (after[i] == before[i]) {
            continue;
        }
        if (after[i] != target[i]) {
            return {Verdict::Corrupted, "the byte at " + Hex(ImageBaseAddress + i) + " holds " +
                                            std::to_string(after[i]) + ", neither " +
                                            std::to_string(before[i]) + " nor " +
                                            std::to_string(target[i])};
        }
        changed.push_back(i);
    }
    if (exitCode == 0) {
        if (changed != toProgram) {
            return {Verdict::FalseSuccess, "exit 0, " +
                                               std::to_string(toProgram.size() - changed.size()) +
                                               " bytes not programmed"};
        }
        if (WrittenCount(outText) != static_cast<int>(toProgram.size())) {
            return {Verdict::Miscount, "exit 0, " + std::to_string(toProgram.size()) +
                                           " bytes programmed, " +
                                           std::to_string(WrittenCount(outText)) + " reported"};
        }
        return {};
    }
    if (exitCode != 1) {
        return {Verdict::Crashed, "exit status " + std::to_string(exitCode)};
    }
    return CheckFailed(toProgram, changed, errorText);
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

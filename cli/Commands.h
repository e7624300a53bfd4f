#pragma once
// The korvel-cli commands. Each returns the process exit status: 0 success,
// 1 failure (its messages are on stderr).

#include "cli/CliArguments.h"

namespace korvel {

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitTrouble = 2;  // diff: the comparison could not be made

int RunUpload(const CliArguments& args);
int RunDownload(const CliArguments& args);
int RunDiff(const CliArguments& args);  // 0 same, 1 different, 2 trouble
int RunPeek(const CliArguments& args);
int RunPoke(const CliArguments& args);
int RunMonitor(const CliArguments& args);
int RunRestorePoints(const CliArguments& args);

}  // namespace korvel

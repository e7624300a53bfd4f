#include "app/InstalledFiles.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

// The installed data folder relative to the programs' folder ("../share/korvel"),
// and as an absolute path for a system that cannot name the running program.
#ifndef KORVEL_DATA_FROM_BIN
#define KORVEL_DATA_FROM_BIN "../share/korvel"
#endif
#ifndef KORVEL_INSTALLED_DATA_DIR
#define KORVEL_INSTALLED_DATA_DIR "/usr/local/share/korvel"
#endif

namespace korvel {

namespace fs = std::filesystem;

namespace {

bool IsReadableFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && access(path.c_str(), R_OK) == 0;
}

}  // namespace

DataFolders DataFoldersFor(const char* xdgDataHome, const char* home,
                           const std::string& programPath) {
    DataFolders folders;
    if (xdgDataHome != nullptr && fs::path(xdgDataHome).is_absolute()) {
        folders.userFolder = (fs::path(xdgDataHome) / "korvel").lexically_normal().string();
    } else if (home != nullptr && *home != '\0') {
        folders.userFolder = (fs::path(home) / ".local/share/korvel").lexically_normal().string();
    }
    const fs::path program(programPath);
    folders.installedFolder =
        program.is_absolute()
            ? (program.parent_path() / KORVEL_DATA_FROM_BIN).lexically_normal().string()
            : std::string(KORVEL_INSTALLED_DATA_DIR);
    return folders;
}

DataFolders DataFoldersFromEnvironment() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return DataFoldersFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                          error ? std::string() : program.string());
}

std::string FindInstalledFile(const std::string& name, const DataFolders& folders) {
    for (const std::string* folder : {&folders.userFolder, &folders.installedFolder}) {
        if (!folder->empty() && IsReadableFile(fs::path(*folder) / name)) {
            return (fs::path(*folder) / name).string();
        }
    }
    return {};
}

std::string LocalOrInstalled(const std::string& localPath, const std::string& name,
                             const DataFolders& folders) {
    std::error_code error;
    if (fs::exists(localPath, error)) {
        return localPath;  // even a folder: reading it reports the trouble, as ever
    }
    const std::string found = FindInstalledFile(name, folders);
    return found.empty() ? localPath : found;
}

std::string StartupMonitorFile(const std::string& baseName, const DataFolders& folders) {
    if (baseName != "Mon") {
        return {};
    }
    const std::string path = LocalOrInstalled("Mon.cfg", "Mon.cfg", folders);
    return path == "Mon.cfg" ? std::string() : path;
}

}  // namespace korvel

#pragma once
// Where the programs find the files the package installs (the monitor file
// Mon.cfg and the demo calibration demo.dat) when the current folder has
// none: the user's own copy first, then the installed one. Free of Qt, so the
// simulator shares it.

#include <string>

namespace korvel {

// The folders searched, in this order, for a file the current folder lacks.
struct DataFolders {
    std::string userFolder;       // $XDG_DATA_HOME/korvel, else ~/.local/share/korvel; may be empty
    std::string installedFolder;  // share/korvel beside the program's bin/ folder
};

// From the given environment values (null when unset) and the running
// program's path. A relative XDG_DATA_HOME counts as unset.
DataFolders DataFoldersFor(const char* xdgDataHome, const char* home,
                           const std::string& programPath);

// From this process's environment and its executable.
DataFolders DataFoldersFromEnvironment();

// The first readable regular file `name` in the folders, in order; empty when none holds one.
std::string FindInstalledFile(const std::string& name, const DataFolders& folders);

// `localPath` when something of that name exists here; otherwise the first
// copy of `name` in the folders; `localPath` again when there is none.
std::string LocalOrInstalled(const std::string& localPath, const std::string& name,
                             const DataFolders& folders);

// The monitor file start-up reads instead of BASE.cfg: only for the default
// base name "Mon" while the current folder has no Mon.cfg, the user's or the
// installed Mon.cfg. Empty when BASE.cfg is to be read as ever.
std::string StartupMonitorFile(const std::string& baseName, const DataFolders& folders);

}  // namespace korvel

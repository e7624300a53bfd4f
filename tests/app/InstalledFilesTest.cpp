#include "app/InstalledFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korvel {
namespace {

namespace fs = std::filesystem;

// A scratch folder that is also the current folder while it lives.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "korvel-files-XXXXXX").string();
        root_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
        previous_ = fs::current_path();
        fs::create_directories(root_ / "here");
        fs::current_path(root_ / "here");
    }
    ~ScratchFolder() {
        fs::current_path(previous_);
        std::error_code error;
        fs::remove_all(root_, error);
    }
    fs::path Path(const std::string& relative) const { return root_ / relative; }
    std::string File(const std::string& relative) const {
        fs::create_directories(Path(relative).parent_path());
        std::ofstream(Path(relative)) << "MAP,26,1\n";
        return Path(relative).string();
    }
    std::string Folder(const std::string& relative) const {
        fs::create_directories(Path(relative));
        return Path(relative).string();
    }

private:
    fs::path root_, previous_;
};

TEST(InstalledFiles, UserFolderFromXdgDataHomeOrHomeAndInstalledFolderBesideBin) {
    const struct {
        const char* xdg;
        const char* home;
        std::string user;
    } cases[] = {
        {"/x/data", "/h", "/x/data/korvel"},
        {"/x/data/", nullptr, "/x/data/korvel"},
        {nullptr, "/h", "/h/.local/share/korvel"},
        {"", "/h/", "/h/.local/share/korvel"},         // empty: unset
        {"rel/data", "/h", "/h/.local/share/korvel"},  // relative: unset
        {nullptr, nullptr, ""},
        {nullptr, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)"));
        EXPECT_EQ(DataFoldersFor(c.xdg, c.home, "/opt/k/bin/korvel").userFolder, c.user);
    }
    EXPECT_EQ(DataFoldersFor(nullptr, nullptr, "/opt/k/bin/korvel").installedFolder,
              "/opt/k/share/korvel");
    EXPECT_EQ(DataFoldersFor(nullptr, nullptr, "/usr/bin/korvel-ecusim").installedFolder,
              "/usr/share/korvel");
    const std::string unknown = DataFoldersFor(nullptr, nullptr, "").installedFolder;
    EXPECT_TRUE(fs::path(unknown).is_absolute()) << unknown;
}

TEST(InstalledFiles, EnvironmentNamesTheUserFolderAndTheRunningProgramsShare) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_DATA_HOME", "/somewhere/data", 1);
    const DataFolders folders = DataFoldersFromEnvironment();
    if (saved != nullptr) {
        setenv("XDG_DATA_HOME", previous.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
    EXPECT_EQ(folders.userFolder, "/somewhere/data/korvel");
    const fs::path program = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(folders.installedFolder,
              (program.parent_path().parent_path() / "share/korvel").string());
}

TEST(InstalledFiles, StartupMonitorFileOnlyForTheDefaultNameMissingHere) {
    enum Where { Nowhere = 0, Here = 1, User = 2, Installed = 4, UserFolderIsDir = 8 };
    const struct {
        std::string base;
        int where;
        std::string expected;  // "", "user" or "installed"
    } cases[] = {
        {"Mon", Here | User | Installed, ""},  // the current folder's, as ever
        {"Mon", User | Installed, "user"},
        {"Mon", Installed, "installed"},
        {"Mon", UserFolderIsDir | Installed, "installed"},  // only a regular file counts
        {"Mon", Nowhere, ""},
        {"engine", User | Installed, ""},  // a name of the user's own
        {"mon", Installed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base + " " + std::to_string(c.where));
        ScratchFolder scratch;
        const DataFolders folders{scratch.Path("user").string(), scratch.Path("inst").string()};
        if (c.where & Here) {
            scratch.File("here/Mon.cfg");
        }
        const std::string user = c.where & User              ? scratch.File("user/Mon.cfg")
                                 : c.where & UserFolderIsDir ? scratch.Folder("user/Mon.cfg")
                                                             : "";
        const std::string installed = c.where & Installed ? scratch.File("inst/Mon.cfg") : "";
        const std::string expected = c.expected == "user"        ? user
                                     : c.expected == "installed" ? installed
                                                                 : "";
        EXPECT_EQ(StartupMonitorFile(c.base, folders), expected);
    }
}

TEST(InstalledFiles, LocalPathWinsEvenAsAFolderElseTheFirstCopyFound) {
    ScratchFolder scratch;
    const DataFolders folders{scratch.Path("user").string(), scratch.Path("inst").string()};
    EXPECT_EQ(LocalOrInstalled("data/demo.dat", "demo.dat", folders), "data/demo.dat");  // none
    const std::string installed = scratch.File("inst/demo.dat");
    EXPECT_EQ(LocalOrInstalled("data/demo.dat", "demo.dat", folders), installed);
    EXPECT_EQ(FindInstalledFile("demo.dat", folders), installed);
    const std::string user = scratch.File("user/demo.dat");
    EXPECT_EQ(LocalOrInstalled("data/demo.dat", "demo.dat", folders), user);
    scratch.Folder("here/data/demo.dat");
    EXPECT_EQ(LocalOrInstalled("data/demo.dat", "demo.dat", folders), "data/demo.dat");
    EXPECT_EQ(FindInstalledFile("Mon.cfg", folders), "");
    EXPECT_EQ(FindInstalledFile("demo.dat", DataFolders{}), "");
}

}  // namespace
}  // namespace korvel

#pragma once
// The crash-recovery copy of unsaved edits: while the image holds changes no
// file holds, a copy of it and of its data file's name is kept in the
// restore folder's recovery/ subfolder, at most 2 s behind the last change.
// A copy whose program is no longer running is offered back at start-up.

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "calib/CalibrationImage.h"
#include "calib/DataFile.h"

namespace korvel {

class RecoveryCopy {
public:
    static constexpr int64_t DelayMs = 2000;

    // The copy of the process `pid` in `restoreFolder`/recovery/.
    explicit RecoveryCopy(const std::string& restoreFolder, pid_t pid = ::getpid(),
                          DataFileWriter writer = {});

    const std::string& Path() const { return path_; }

    // The image changed at `nowMs` on the monotonic clock. The copy falls due
    // DelayMs after the first change not yet written; later changes do not
    // put it off, so none waits longer.
    void Changed(int64_t nowMs);
    bool Due(int64_t nowMs) const { return dueAtMs_ && nowMs >= *dueAtMs_; }
    // When the next write falls due (for the caller's timer); nullopt: none pending.
    std::optional<int64_t> DueAtMs() const { return dueAtMs_; }

    // Writes the copy with the safe save, making the folder when missing;
    // nothing is pending afterwards, even when it fails (the next change
    // tries again). "" on success, else why it failed.
    std::string Write(const CalibrationImage& image, const std::string& dataFile);

    // A Save, a Discard at Quit or a clean Quit: the copy is no longer
    // needed. True when no copy is left.
    bool Remove();

private:
    std::string folder_, path_;
    DataFileWriter writer_;
    std::optional<int64_t> dueAtMs_;
};

// A copy left behind by a program that is no longer running.
struct FoundRecoveryCopy {
    std::string path;
    pid_t pid = 0;
    int64_t wallMs = 0;    // when it was last written
    std::string dataFile;  // the file the edits belong to; empty for none
};

// Whether a process is running: kill(pid, 0) fails with ESRCH only when no
// process has that id.
bool ProcessRunning(pid_t pid);

// The copies in `restoreFolder`/recovery/ whose process is no longer
// running, oldest first. The copy of `ownPid` is never one of them.
std::vector<FoundRecoveryCopy> FindStaleRecoveryCopies(
    const std::string& restoreFolder, pid_t ownPid = ::getpid(),
    const std::function<bool(pid_t)>& running = ProcessRunning);

// Reads a copy: the image and its data file's name. False unless every slot
// was in it (the image is then unchanged).
bool LoadRecoveryCopy(const std::string& path, CalibrationImage& image, std::string& dataFile);

// "Recover the unsaved changes of YYYY-MM-DD HH:MM (NAME)?" in local time,
// NAME the data file's last component ("no data file" when there is none).
std::string RecoveryQuestion(const FoundRecoveryCopy& copy);

}  // namespace korvel

#pragma once
// The soak's child processes: started with posix_spawn, waited for on a
// pidfd with a limit, so a hung child is found and killed, never waited on
// for ever.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::soak {

// CLOCK_MONOTONIC in milliseconds: the clock the desktop program's log counts on.
int64_t MonotonicMs();

// Sleeps `ms` on poll with no descriptor.
void Pause(int ms);

// A file's whole content; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

struct Exit {
    bool ended = false;  // false: still running when the limit passed (and then killed)
    int code = -1;       // the exit status; -1 when it died of a signal
    int signal = 0;      // the signal it died of
};

class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts `program` with stdout and stderr into the files `outPath` and
    // `errPath` ("" for /dev/null). False when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::string& outPath = "", const std::string& errPath = "");
    // Starts it with stdout on a pipe, to be read with ReadLine; stderr too
    // with `errorsToo`, else into `errPath`.
    bool StartPiped(const std::string& program, const std::vector<std::string>& args,
                    const std::string& errPath = "", bool errorsToo = false);
    // True when it ends within `limitMs` (it is not waited for).
    bool EndsWithin(int limitMs) const;
    // The next line of its stdout, waiting at most `limitMs`; false at the
    // end of the output or when the limit passes.
    bool ReadLine(std::string& line, int limitMs);

    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    void Signal(int signal) const;
    // Waits for the end at most `limitMs`, then kills it with SIGKILL.
    Exit Wait(int limitMs);
    // SIGTERM and the wait (SIGKILL after 10 s): the program ends as asked.
    void Stop();
    // SIGKILL and the wait: a cable pulled out.
    void Kill();

private:
    bool Spawn(const std::string& program, const std::vector<std::string>& args, int outFd,
               int errFd);

    pid_t pid_ = -1;
    int pidfd_ = -1;
    int pipe_ = -1;
    std::string buffered_;
};

}  // namespace korvel::soak

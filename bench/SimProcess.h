#pragma once
// korvel-ecusim as a child process: started with its options, its terminal
// path read from the first line it prints, stopped with SIGTERM.

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvel {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator; false (with `error` set) when it does not print
    // its terminal path within a few seconds.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               std::string& error);
    const std::string& TerminalPath() const { return path_; }
    void Stop();

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string path_;
};

}  // namespace korvel

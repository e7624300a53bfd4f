#pragma once
// Child processes for the end-to-end tests: korvel-ecusim serving a
// pseudo-terminal, and korvel-cli runs with their output and exit status.
// Every wait has a limit, so a hang fails the test instead of blocking it.

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvel::e2e {

struct RunResult {
    int exitCode = -1;  // -1: killed at the time limit
    std::string out;
    std::string err;
    double cpuSeconds = 0;  // user + system time of the child
};

// Runs `program` with `args` to its end or `limitMs`.
RunResult Run(const std::string& program, const std::vector<std::string>& args, int limitMs);

RunResult RunCli(const std::vector<std::string>& args, int limitMs = 15'000);

// korvel-ecusim in the background: Start gives its terminal path; Stop ends
// it with SIGTERM and returns what it wrote on stderr.
class EcuSim {
public:
    ~EcuSim();
    bool Start(const std::vector<std::string>& args);
    const std::string& Port() const { return port_; }
    void Kill();  // as if the line were unplugged
    std::string Stop();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string port_;
};

}  // namespace korvel::e2e

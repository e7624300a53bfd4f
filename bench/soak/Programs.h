#pragma once
// The programs and files a soak runs, and the random choices it makes.

#include <cstdint>
#include <random>
#include <string>

namespace korvel::soak {

struct Programs {
    std::string cli, sim, desktop;
    std::string data;         // the demo calibration the simulators start from
    std::string monitorFile;  // its .cfg
    std::string scratch;      // the folder every file of the run goes into
};

// One random source per part of the soak, each from the run's seed, so a
// seed repeats the same choices.
class Dice {
public:
    explicit Dice(uint64_t seed) : engine_(seed) {}
    int Between(int low, int high) {  // both ends included
        return std::uniform_int_distribution<int>(low, high)(engine_);
    }
    bool OneIn(int n) { return Between(1, n) == 1; }
    uint64_t Seed() { return engine_() & 0xFFFF'FFFF; }  // a seed korvel-ecusim takes

private:
    std::mt19937_64 engine_;
};

}  // namespace korvel::soak

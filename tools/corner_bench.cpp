// Times the corner pass's acceleration simulation, step by step against the closed form and the direct
// form (CornerRamp, as the corner pass uses it: prepared once per velocity step), on the same inputs.
//
//     corvanta_corner_bench [INPUTS] [--repeat N]
//
// INPUTS is a text file of "K Ld target H creepVelocity" lines (one corner-pass call each). Without it,
// 200000 inputs are drawn like those of a pen-1 job of short curved moves: K 184320 (accel 360 x 512),
// creep 1, Ld 12..480 servo units, target Ld + 0..3000, H 2500..4500. Prints ns per call for both
// forms and the mean number of steps of the loop; exits 1 if any result differs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "planner/corner_sim.h"

using namespace corvanta;

namespace {

struct Input {
    uint32_t K, Ld, target;
    uint16_t H;
    int32_t creep;
};

std::vector<Input> ReadInputs(const char* path) {
    std::vector<Input> in;
    FILE* f = std::fopen(path, "r");
    if (!f) return in;
    unsigned long K, Ld, target, H;
    long creep;
    while (std::fscanf(f, "%lu %lu %lu %lu %ld", &K, &Ld, &target, &H, &creep) == 5)
        in.push_back({static_cast<uint32_t>(K), static_cast<uint32_t>(Ld), static_cast<uint32_t>(target),
                      static_cast<uint16_t>(H), static_cast<int32_t>(creep)});
    std::fclose(f);
    return in;
}

std::vector<Input> SyntheticInputs() {
    std::mt19937 rng(7);
    std::vector<Input> in;
    for (int i = 0; i < 200000; ++i) {
        const uint32_t Ld = 12 + static_cast<uint32_t>(rng() % 469);
        const uint32_t target = Ld + static_cast<uint32_t>(rng() % 3001);
        in.push_back({184320u, Ld, target, static_cast<uint16_t>(2500 + rng() % 2001), 1});
    }
    return in;
}

template <typename F>
double NsPerCall(const std::vector<Input>& in, int repeat, F f, uint64_t& check) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < repeat; ++r)
        for (const Input& x : in) {
            const CornerSim s = f(x.K, x.Ld, x.target, x.H, x.creep);
            check += s.n * 31u + s.pd;
        }
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / (static_cast<double>(in.size()) * repeat);
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = nullptr;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else
            path = argv[i];
    }
    if (repeat < 1) repeat = 1;
    const std::vector<Input> in = path ? ReadInputs(path) : SyntheticInputs();
    if (in.empty()) {
        std::fprintf(stderr, "no inputs\n");
        return 2;
    }

    uint64_t steps = 0;
    size_t differ = 0;
    for (const Input& x : in) {
        const CornerSim a = SimulateCornerLoop(x.K, x.Ld, x.target, x.H, x.creep);
        const CornerSim b = SimulateCornerClosed(x.K, x.Ld, x.target, x.H, x.creep);
        CornerRamp ramp;
        ramp.Prepare(x.K, x.creep);
        const CornerSim c = ramp.Simulate(x.Ld, x.target, x.H);
        steps += a.n + 1;
        if (a.n != b.n || a.pd != b.pd || a.n != c.n || a.pd != c.pd) ++differ;
    }
    uint64_t checkLoop = 0, checkClosed = 0, checkDirect = 0;
    CornerRamp ramp;
    auto direct = [&ramp](uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creep) {
        ramp.Prepare(K, creep);
        return ramp.Simulate(Ld, target, H);
    };
    const double loopNs = NsPerCall(in, repeat, SimulateCornerLoop, checkLoop);
    const double closedNs = NsPerCall(in, repeat, SimulateCornerClosed, checkClosed);
    const double directNs = NsPerCall(in, repeat, direct, checkDirect);
    std::printf("%zu inputs, about %.1f steps per call\n", in.size(), static_cast<double>(steps) / in.size());
    std::printf("loop   %8.1f ns/call\nclosed %8.1f ns/call\ndirect %8.1f ns/call\n", loopNs, closedNs, directNs);
    if (differ != 0 || checkLoop != checkClosed || checkLoop != checkDirect) {
        std::printf("%zu results differ\n", differ);
        return 1;
    }
    return 0;
}

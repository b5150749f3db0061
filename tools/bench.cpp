// Benchmark: runs jobs in-process and reports simulated ticks per second and
// the host cost of one tick.
//
//   corvanta_bench [--threaded] [--repeat N] JOBDIR...
//
// Each JOBDIR holds a Corvanta.cmd.  The console text is collected and
// dropped; one line per job goes to standard output:
//   <job> ticks=<simulated ticks> runs=<N> best_ms=<ms> ns_per_tick=<ns> ticks_per_s=<rate>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corvanta/corvanta.h"

int main(int argc, char** argv) {
    corvanta::Options opt;
    int repeat = 5;
    std::vector<std::string> jobs;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--threaded"))
            opt.schedule = corvanta::Schedule::Threaded;
        else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else
            jobs.emplace_back(argv[i]);
    }
    if (jobs.empty() || repeat < 1) {
        std::fprintf(stderr, "usage: corvanta_bench [--threaded] [--repeat N] JOBDIR...\n");
        return 2;
    }
    for (const std::string& job : jobs) {
        std::ifstream in(job + "/Corvanta.cmd", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        double best_ms = 1e300;
        uint32_t ticks = 0;
        for (int r = 0; r < repeat; ++r) {
            auto t0 = std::chrono::steady_clock::now();
            corvanta::Result res = corvanta::Estimate(text.str(), opt);
            auto t1 = std::chrono::steady_clock::now();
            double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
            if (ms < best_ms) best_ms = ms;
            ticks = res.IsrTick;
        }
        std::printf("%s ticks=%u runs=%d best_ms=%.2f ns_per_tick=%.1f ticks_per_s=%.3g\n", job.c_str(), ticks, repeat,
                    best_ms, ticks ? best_ms * 1e6 / ticks : 0.0, ticks ? ticks / (best_ms / 1000.0) : 0.0);
    }
    return 0;
}

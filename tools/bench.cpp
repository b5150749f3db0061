// Benchmark: runs jobs in-process and reports simulated ticks per second and
// the host cost of one tick.
//
//   corvanta_bench [--threaded] [--repeat N] JOBDIR...
//
// Each JOBDIR holds a Corvanta.cmd (its Corvanta.sts is rewritten).  The job's
// console output is discarded; results go to standard error as one line per job:
//   <job> ticks=<simulated ticks> runs=<N> best_ms=<ms> ns_per_tick=<ns> ticks_per_s=<rate>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/interp.h"
#include "driver/program.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/servo/isr.h"

int main(int argc, char** argv) {
    bool threaded = false;
    int repeat = 5;
    std::vector<std::string> jobs;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--threaded"))
            threaded = true;
        else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else
            jobs.emplace_back(argv[i]);
    }
    if (jobs.empty() || repeat < 1) {
        std::fprintf(stderr, "usage: corvanta_bench [--threaded] [--repeat N] JOBDIR...\n");
        return 2;
    }
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    for (const std::string& job : jobs) {
        double best_ms = 1e300;
        uint32_t ticks = 0;
        for (int r = 0; r < repeat; ++r) {
            ResetProcessState();
            CorvantaModel = ModelXR7;
            SchedDeterministic = !threaded;
            ExeDir = job;
            DbgClear(Event);
            auto t0 = std::chrono::steady_clock::now();
            InitMachine();
            SchedStartThreads();
            CorvantaCmdInterpreter();
            SchedStopThreads();
            auto t1 = std::chrono::steady_clock::now();
            double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
            if (ms < best_ms) best_ms = ms;
            ticks = IsrTick.load();
        }
        std::fprintf(stderr, "%s ticks=%u runs=%d best_ms=%.2f ns_per_tick=%.1f ticks_per_s=%.3g\n", job.c_str(), ticks,
                     repeat, best_ms, ticks ? best_ms * 1e6 / ticks : 0.0, ticks ? ticks / (best_ms / 1000.0) : 0.0);
    }
    return 0;
}

// Benchmark: runs jobs in-process and states how fast each is simulated,
// against a bare per-tick loop built with the same flags and run in the same
// process.
//
//   corvanta_bench [--threaded] [--no-skip] [--k730] [--repeat N] JOBDIR...
//
// Each JOBDIR holds a Corvanta.cmd.  The console text is collected and
// dropped.  Per job, the best host time of N runs (default 5) and:
//   ticks       simulated ticks (run one by one plus skipped ahead)
//   executed    ticks run one by one through the tick pass
//   exec %      executed ticks in percent of the simulated ones
//   segments    vectors planned (VectCnt)
//   host ms     host time of one estimate
//   ns/seg      host nanoseconds per planned vector: the cost of planning
//               and running one segment
//   ns/tick     host nanoseconds per simulated tick
//   sim s/s     simulated machine seconds per host second (a tick is 0.4 ms)
//   x bare      simulated ticks per host second over the bare loop's ticks
//               per host second (above 1: faster than ticking at all)
//   cost/bare   the inverse: host time over the bare loop's time for as
//               many ticks
// A last line gives the bare loop's own cost.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "corvanta/corvanta.h"
#include "quote/quote.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTickSeconds = 0.0004;

// The state of one move as the bare loop steps it: what a tick of the servo
// computes at the least.
struct BareMove {
    uint32_t vel;        // major velocity, 9.23 servo units per tick
    uint32_t dvel;       // velocity change per tick, 9.23
    uint32_t fract;      // major position fraction, 23 bits
    uint32_t minrvel;    // minor velocity, 9.23
    uint32_t minrfract;  // minor position fraction, 23 bits
    int32_t dist;        // remaining major distance, servo units
    int32_t minr;        // remaining minor distance, servo units
    uint64_t d;          // deceleration distance, 48.16 servo units
    int32_t posx, posy;  // position, servo units
    uint64_t ticks;      // counter
};

// n ticks of triangular moves: accelerate while the distance left exceeds
// the deceleration distance, then decelerate; a new move when one ends.
// Every step depends on the one before, so no iteration can be folded away.
[[gnu::noinline]] void BareTicks(BareMove& m, uint64_t n) {
    BareMove s = m;
    for (uint64_t i = 0; i < n; ++i) {
        const bool decelerate = static_cast<uint32_t>(s.dist) < static_cast<uint32_t>(s.d >> 16);  // distance compare
        s.vel = decelerate ? s.vel - s.dvel : s.vel + s.dvel;                                      // velocity add
        s.d = decelerate ? s.d - (s.vel >> 7) : s.d + (s.vel >> 7);                                // 48.16 accumulate
        const uint32_t t = s.vel + s.fract;                                                        // fraction carries
        s.fract = t & 0x7FFFFFu;
        const uint32_t u = s.minrvel + s.minrfract;
        s.minrfract = u & 0x7FFFFFu;
        s.dist -= static_cast<int32_t>(t >> 23);
        s.minr -= static_cast<int32_t>(u >> 23);
        s.posx += static_cast<int32_t>(t >> 23);  // position update
        s.posy += static_cast<int32_t>(u >> 23);
        s.ticks += 1;  // counter
        if (s.dist <= 0 || s.vel > (64u << 23)) {
            s.dist = 200000 + (s.posx & 0xFFFF);
            s.vel = s.dvel;
            s.d = 63u << 16;
        }
    }
    m = s;
}

// Host nanoseconds per tick of the bare loop: the best of a few runs.
double BareNsPerTick(uint64_t ticks) {
    volatile uint32_t seed = 1u << 16;  // read at run time: nothing is known to the compiler
    BareMove m{seed, seed / 4, 0, seed * 3, 0, 200000, 100000, 63u << 16, 0, 0, 0};
    double best = 1e300;
    for (int r = 0; r < 3; ++r) {
        const auto t0 = Clock::now();
        BareTicks(m, ticks);
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
        best = std::min(best, ns / static_cast<double>(ticks));
    }
    volatile int64_t sink = m.posx + m.posy + static_cast<int64_t>(m.ticks);  // the result is used
    (void)sink;
    return best;
}

std::string ReadJob(const std::string& dir) {
    std::ifstream in(dir + "/Corvanta.cmd", std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "corvanta_bench: cannot read %s/Corvanta.cmd\n", dir.c_str());
        std::exit(2);
    }
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Name(const std::string& dir) {
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    const size_t cut = d.find_last_of('/');
    return cut == std::string::npos ? d : d.substr(cut + 1);
}

// Quote throughput: every job estimated once (explained, as a quote does it), on 1 thread and on as many as
// there are cores, in inputs per second.
void QuoteThroughput(const std::vector<std::string>& jobs, corvanta::Options opt) {
    std::vector<std::string> texts;
    for (const std::string& job : jobs) texts.push_back(ReadJob(job));
    opt.explain = true;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (const unsigned threads : {1u, cores}) {
        const auto t0 = Clock::now();
        const auto rows = corvanta::quote::QuoteAll(texts.size(), threads, [&](size_t i) {
            return corvanta::quote::RowFromResult(jobs[i], "cmd", corvanta::Estimate(texts[i], opt), 1, {});
        });
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        std::printf("quote: %zu inputs on %u thread(s): %.1f inputs/s\n", rows.size(), threads,
                    s > 0 ? static_cast<double>(rows.size()) / s : 0.0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    corvanta::Options opt;
    int repeat = 5;
    std::vector<std::string> jobs;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--threaded"))
            opt.schedule = corvanta::Schedule::Threaded;
        else if (!std::strcmp(argv[i], "--no-skip"))
            opt.skipAhead = false;
        else if (!std::strcmp(argv[i], "--k730"))
            opt.model = corvanta::Model::K730;
        else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
        else
            jobs.emplace_back(argv[i]);
    }
    if (jobs.empty() || repeat < 1) {
        std::fprintf(stderr, "usage: corvanta_bench [--threaded] [--no-skip] [--k730] [--repeat N] JOBDIR...\n");
        return 2;
    }
    const double bareNs = BareNsPerTick(100'000'000);
    std::printf("%-16s %13s %12s %7s %9s %10s %8s %9s %10s %8s %9s\n", "job", "ticks", "executed", "exec %", "segments",
                "host ms", "ns/seg", "ns/tick", "sim s/s", "x bare", "cost/bare");
    for (const std::string& job : jobs) {
        const std::string text = ReadJob(job);
        double bestMs = 1e300;
        corvanta::Result res;
        for (int r = 0; r < repeat; ++r) {
            const auto t0 = Clock::now();
            res = corvanta::Estimate(text, opt);
            bestMs = std::min(bestMs, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        const uint64_t ticks = res.ticksRun + res.ticksSkipped;
        const double nsPerTick = ticks ? bestMs * 1e6 / static_cast<double>(ticks) : 0.0;
        const double simPerHost = static_cast<double>(ticks) * kTickSeconds / (bestMs / 1000.0);
        const double execPct = ticks ? 100.0 * static_cast<double>(res.ticksRun) / static_cast<double>(ticks) : 0.0;
        const double nsPerSeg = res.VectCnt > 0 ? bestMs * 1e6 / res.VectCnt : 0.0;
        std::printf("%-16s %13llu %12llu %7.2f %9d %10.2f %8.0f %9.3f %10.0f %8.2f %9.2f\n", Name(job).c_str(),
                    static_cast<unsigned long long>(ticks), static_cast<unsigned long long>(res.ticksRun), execPct,
                    res.VectCnt, bestMs, nsPerSeg, nsPerTick, simPerHost, nsPerTick > 0 ? bareNs / nsPerTick : 0.0,
                    bareNs > 0 ? nsPerTick / bareNs : 0.0);
    }
    std::printf("bare loop: %.3f ns/tick, %.0f sim s/s\n", bareNs, kTickSeconds / (bareNs * 1e-9));
    QuoteThroughput(jobs, opt);
    return 0;
}

// The threaded schedule (the default): the servo on its own thread beside the
// planner.  Its figures depend on host timing, so these tests check what must
// hold in every run: a clean exit with nothing on standard error (a
// ThreadSanitizer build reports races there), every queued block executed
// (final positions as in the deterministic schedule) and a success status.
#include <regex>

#include "support/test_support.h"

using namespace corvanta_test;

namespace {

struct Figures {
    std::string status0, positions;
    long ticks = -1;
};

Figures RunJob(const std::string& job, bool deterministic) {
    TempDir dir;
    WriteFile(dir / "Corvanta.cmd", ReadFile(std::string(CORVANTA_GOLDEN_DIR) + "/reference/" + job + ".cmd"));
    std::vector<std::string> args;
    if (deterministic) args.push_back("--deterministic");
    args.insert(args.end(), {"--report", (dir / "report.json").string(), dir.path.string()});
    RunResult r = RunProgram(CORVANTA_XR7_BIN, args, dir.path);
    EXPECT_EQ(r.exitCode, 0) << job;
    EXPECT_EQ(r.err, "") << job;
    std::string report = ReadFile(dir / "report.json");
    Figures f;
    f.status0 = StatusFileLines(ReadFile(dir / "Corvanta.sts")).at(0);
    std::smatch m;
    std::regex pos("\"(SvoPosX|SvoPosY|PclPosX|PclPosY|PclAbsX|PclAbsY)\": (-?[0-9]+)");
    for (auto it = std::sregex_iterator(report.begin(), report.end(), pos); it != std::sregex_iterator(); ++it)
        f.positions += (*it)[1].str() + "=" + (*it)[2].str() + " ";
    if (std::regex_search(report, m, std::regex("\"ticks\": (-?[0-9]+)"))) f.ticks = std::stol(m[1]);
    return f;
}

}  // namespace

TEST(ThreadedSchedule, EveryBlockExecutedInEveryRun) {
    for (const char* job : {"single_move", "square", "circle", "raster_small"}) {
        const Figures planned = RunJob(job, true);
        for (int run = 0; run < 3; ++run) {
            const Figures threaded = RunJob(job, false);
            EXPECT_EQ(threaded.status0, "CVQX_OK") << job;
            EXPECT_EQ(threaded.positions, planned.positions) << job;
            EXPECT_GT(threaded.ticks, 0) << job;
        }
    }
}

// A single vector between waits sees no other block in either schedule.
TEST(ThreadedSchedule, SingleVectorJobMatchesDeterministic) {
    for (int run = 0; run < 3; ++run) EXPECT_EQ(RunJob("single_move", false).ticks, 2140);
}

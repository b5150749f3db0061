// Skip-ahead changes nothing a caller can see: with and without it, every job
// gives the same status file, report and console, byte for byte, and the same
// explanation of its job time.
//
//  - the sample jobs and the reference jobs, through the program of each model;
//  - scaled-down versions of the benchmark jobs (tools/make_bench_jobs.py);
//  - random jobs (random_jobs.h), in-process through corvanta::Estimate.
//
// CORVANTA_RANDOM_JOBS=N runs N random jobs instead of the default, and
// CORVANTA_RANDOM_JOB_TICKS=T raises the tick budget of one job (a job
// longer than that is left out: run tick by tick it would take too long).
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/random_jobs.h"
#include "corvanta/corvanta.h"
#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

uint64_t EnvOr(const char* name, uint64_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

// The host time is the one figure that may differ between two runs:
// "APP Run Time <digits>ms" becomes "APP Run Time Nms".
std::string WithoutHostTime(const std::string& s) {
    static const std::string label = "APP Run Time ";
    std::string out;
    size_t from = 0;
    for (size_t at = s.find(label); at != std::string::npos; at = s.find(label, from)) {
        const size_t digits = at + label.size();
        out.append(s, from, digits - from).append("N");
        from = digits;
        while (from < s.size() && s[from] >= '0' && s[from] <= '9') ++from;
    }
    out.append(s, from, std::string::npos);
    return out;
}

// Everything of a result a caller sees, but the host time and statistics.
// (Built by appending: GCC 12 warns, falsely, on a chain of operator+.)
// With an explanation: its breakdown (in the report), the progress of the
// records and the picture, which holds every segment and span.
std::string Fingerprint(const corvanta::Result& r) {
    corvanta::Result copy = r;
    copy.hostMs = 0;
    std::string f = WithoutHostTime(corvanta::ReportJson(copy));
    f.append("\n--- console\n").append(copy.console).append("\n--- failure\n").append(copy.failureMessage);
    if (copy.explanation) {
        f.append("\n--- progress\n").append(corvanta::explain::ProgressCsv(*copy.explanation));
        f.append("\n--- picture\n").append(corvanta::explain::Svg(*copy.explanation, "job"));
    }
    return f;
}

// One run of the program on the job in `cmd`: exit status, standard output
// and error, status file and report.
std::string ProgramRun(const std::string& binary, const std::string& cmd, bool skip) {
    TempDir dir;
    WriteFile(dir / "Corvanta.cmd", cmd);
    std::vector<std::string> args = {"--report", (dir / "report.json").string(), "--debug", "ShowJobTime"};
    if (!skip) args.push_back("--no-skip");
    args.push_back(dir.path.string());
    const RunResult r = RunProgram(binary, args, dir.path);
    std::string run = "exit ";
    run.append(std::to_string(r.exitCode)).append("\n--- out\n").append(r.out).append("\n--- err\n").append(r.err);
    run.append("\n--- status\n").append(WithoutHostTime(ReadFile(dir / "Corvanta.sts")));
    run.append("\n--- report\n").append(WithoutHostTime(ReadFile(dir / "report.json")));
    return run;
}

std::vector<fs::path> SampleAndReferenceJobs() {
    std::vector<fs::path> jobs;
    for (const auto& e : fs::directory_iterator(CORVANTA_EXAMPLES_DIR))
        if (fs::exists(e.path() / "Corvanta.cmd")) jobs.push_back(e.path() / "Corvanta.cmd");
    for (const auto& e : fs::directory_iterator(std::string(CORVANTA_GOLDEN_DIR) + "/reference"))
        if (e.path().extension() == ".cmd") jobs.push_back(e.path());
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

}  // namespace

TEST(SkipAheadDifferential, SampleAndReferenceJobsThroughTheProgram) {
    const std::vector<fs::path> jobs = SampleAndReferenceJobs();
    ASSERT_GE(jobs.size(), 10u);
    for (const fs::path& job : jobs) {
        const std::string cmd = ReadFile(job);
        for (const char* binary : {CORVANTA_XR7_BIN, CORVANTA_K730_BIN}) {
            const std::string with = ProgramRun(binary, cmd, true);
            EXPECT_NE(with.find("CVQX"), std::string::npos) << job;
            EXPECT_EQ(with, ProgramRun(binary, cmd, false)) << job << " " << binary;
        }
    }
}

TEST(SkipAheadDifferential, ScaledDownBenchmarkJobs) {
    TempDir dir;
    const std::string script = std::string(CORVANTA_SOURCE_DIR) + "/tools/make_bench_jobs.py";
    std::string command = "python3 '";
    command.append(script).append("' --scale 0.004 '").append(dir.path.string()).append("' 2>/dev/null");
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "python3 cannot run " << script;
    int jobs = 0;
    for (const char* name : {"raster_10h", "vector_100k", "pen_changes"}) {
        const std::string cmd = ReadFile(dir / name / "Corvanta.cmd");
        ASSERT_FALSE(cmd.empty()) << name;
        for (const corvanta::Model model : {corvanta::Model::XR7, corvanta::Model::K730}) {
            corvanta::Options opt{.model = model, .debug = {"ShowJobTime"}, .explain = true};
            const corvanta::Result with = corvanta::Estimate(cmd, opt);
            opt.skipAhead = false;
            const corvanta::Result without = corvanta::Estimate(cmd, opt);
            EXPECT_TRUE(with.ok) << name;
            EXPECT_EQ(Fingerprint(with), Fingerprint(without)) << name;
            EXPECT_EQ(with.ticksRun + with.ticksSkipped, without.ticksRun) << name;
            EXPECT_EQ(without.ticksSkipped, 0u) << name;
            ++jobs;
        }
    }
    EXPECT_EQ(jobs, 6);
}

// Random vector, raster and mixed jobs, both models.  Each runs with skip-ahead
// first; one whose ticks exceed the budget is left out of the run without it.
TEST(SkipAheadDifferential, RandomJobs) {
    const uint64_t count = EnvOr("CORVANTA_RANDOM_JOBS", kSanitized ? 40 : 400);
    const uint64_t budget = EnvOr("CORVANTA_RANDOM_JOB_TICKS", kSanitized ? 200000 : 20000000);
    uint64_t compared = 0, skippedTicks = 0, failures = 0;
    for (uint64_t seed = 1; seed <= count; ++seed) {
        const std::string cmd = RandomJob(seed).Text();
        corvanta::Options opt{.model = seed % 2 ? corvanta::Model::XR7 : corvanta::Model::K730,
                              .debug = {"ShowJobTime"}};
        if (seed % 7 == 0) opt.debug.insert(opt.debug.end(), {"AngleSmooth", "SvoSpeed", "RasterProc"});
        opt.explain = seed % 3 == 0;
        const corvanta::Result with = corvanta::Estimate(cmd, opt);
        if (with.ticksRun + with.ticksSkipped > budget) continue;
        opt.skipAhead = false;
        const corvanta::Result without = corvanta::Estimate(cmd, opt);
        ASSERT_EQ(Fingerprint(with), Fingerprint(without)) << "seed " << seed << ":\n" << cmd;
        if (with.explanation) {
            // Every counted tick is booked to exactly one activity and one pen.
            uint64_t byActivity = 0, byPen = 0;
            for (uint64_t t : with.explanation->breakdown.ticks) byActivity += t;
            for (uint64_t t : with.explanation->breakdown.penTicks) byPen += t;
            EXPECT_EQ(std::pair(byActivity, byPen), std::pair(uint64_t(with.ticks), uint64_t(with.ticks))) << seed;
        }
        ++compared;
        skippedTicks += with.ticksSkipped;
        failures += with.ok ? 0 : 1;
    }
    // The jobs are varied: many are compared (most in an optimised build),
    // skip-ahead has work in them, and some end with a failure status.
    std::printf("%llu of %llu random jobs compared (%llu ticks skipped, %llu failure statuses)\n",
                static_cast<unsigned long long>(compared), static_cast<unsigned long long>(count),
                static_cast<unsigned long long>(skippedTicks), static_cast<unsigned long long>(failures));
    EXPECT_GE(compared * 4, count);
    EXPECT_GT(skippedTicks, 0u);
    EXPECT_GT(failures, 0u);
}

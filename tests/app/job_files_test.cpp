// The program as a person and a host meet it: the default schedule gives one
// figure on every run, the sample-jobs table of the README holds, every run
// that writes no status says why and exits 1, outputs never destroy inputs,
// and the status file is replaced whole or not at all.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

const std::string kExamples = CORVANTA_EXAMPLES_DIR;

std::string Bin(const std::string& model) { return model == "xr7" ? CORVANTA_XR7_BIN : CORVANTA_K730_BIN; }

// The status without its host-time line.
std::string StableStatus(const std::string& bytes) {
    return std::regex_replace(bytes, std::regex("APP Run Time [0-9]+ms"), "APP");
}

struct Job : TempDir {
    explicit Job(const std::string& cmd) { WriteFile(*this / "Corvanta.cmd", cmd); }
    RunResult Run(Args args, const std::string& model = "xr7") const {
        args.push_back(path.string());
        return RunProgram(Bin(model), args, path);
    }
    std::string sts() const { return ReadFile(*this / "Corvanta.sts"); }
};

}  // namespace

TEST(DefaultRun, SameFigureOnEveryRun) {
    Job job(ReadFile(kExamples + "/circle/Corvanta.cmd"));
    std::string first;
    for (int run = 0; run < 20; ++run) {
        ASSERT_EQ(job.Run({"--report", "r.json"}).exitCode, 0);
        const std::string got = StableStatus(job.sts() + ReadFile(job / "r.json"));
        if (run == 0) first = got;
        EXPECT_EQ(got, first) << "run " << run;
    }
    EXPECT_NE(first.find("\"schedule\": \"deterministic\""), std::string::npos);
}

// Every row of the README's sample-jobs table, both models.
TEST(DefaultRun, ReadmeSampleJobsTable) {
    const std::string readme = ReadFile(std::string(CORVANTA_SOURCE_DIR) + "/README.md");
    const std::regex row("\\| `examples/(\\w+)` \\|[^|]*\\| ([0-9]+) ms \\| ([0-9]+) ms \\|");
    int rows = 0;
    for (auto it = std::sregex_iterator(readme.begin(), readme.end(), row); it != std::sregex_iterator(); ++it) {
        ++rows;
        const std::string name = (*it)[1];
        Job job(ReadFile(kExamples + "/" + name + "/Corvanta.cmd"));
        for (const auto& [model, ms] : {std::pair("xr7", (*it)[2].str()), std::pair("k730", (*it)[3].str())}) {
            ASSERT_EQ(job.Run({}, model).exitCode, 0) << name;
            EXPECT_EQ(StatusFileLines(job.sts()).at(2), ms) << name << " " << model;
        }
    }
    EXPECT_GE(rows, 6);
}

TEST(DefaultRun, ThreadedScheduleRunsEveryExample) {
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        if (!entry.is_directory()) continue;
        Job job(ReadFile(entry.path() / "Corvanta.cmd"));
        RunResult r = job.Run({"--threaded"});
        EXPECT_EQ(std::pair(r.exitCode, r.err), std::pair(0, std::string())) << entry.path();
        EXPECT_EQ(StatusFileLines(job.sts()).at(0), "CVQX_OK") << entry.path();
    }
}

// Each way a run can end without a status: exit 1, no status left behind
// (not even an earlier one), the reason on standard error, within a second.
TEST(RunWithoutStatus, SaysWhyAndExitsOne) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> setup;
        const char* says;
    };
    const Case cases[] = {
        {"missing", [](const fs::path&) {}, "no command file"},
        {"directory", [](const fs::path& d) { fs::create_directory(d / "Corvanta.cmd"); }, "directory"},
        {"fifo", [](const fs::path& d) { ::mkfifo((d / "Corvanta.cmd").c_str(), 0600); }, "not a regular file"},
        {"dev-zero", [](const fs::path& d) { fs::create_symlink("/dev/zero", d / "Corvanta.cmd"); }, "not a regular"},
        {"status-dir",
         [](const fs::path& d) {
             WriteFile(d / "Corvanta.cmd", "execute_penselect 1\n");
             fs::remove(d / "Corvanta.sts");
             fs::create_directory(d / "Corvanta.sts");
         },
         "Corvanta.sts"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "Corvanta.sts", "CVQX_OK\r\n\rold answer");
        c.setup(dir.path);
        const auto t0 = std::chrono::steady_clock::now();
        RunResult r = RunProgram(CORVANTA_XR7_BIN, {dir.path.string()}, dir.path);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1)) << c.what;
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find("no status file was written"), std::string::npos) << c.what;
        EXPECT_FALSE(fs::is_regular_file(dir / "Corvanta.sts")) << c.what;
    }
}

// A record that is no command for its count of numbers ends the job: the
// estimate of what came before stands, and the person is told.
TEST(RunNotes, JobEndedEarlyIsNamed) {
    Job job("execute_penselect 1\npd_default 100 0\npd_defualt 100 0\npd_default 100 0\n");
    RunResult r = job.Run({"--report", "r.json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("record 3, line 3 \"pd_defualt 100 0\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(record 4) was not estimated"), std::string::npos) << r.err;
    EXPECT_NE(ReadFile(job / "r.json").find("\"endedAt\": {\n  \"record\": 3,\n  \"text\": \"pd_defualt 100 0\"\n }"),
              std::string::npos);
}

// Outputs that cannot be written: one line on standard error, exit status 2,
// the status file written first as usual.
TEST(RunNotes, WriteErrorsOfReportAndTrace) {
    for (const char* opt : {"--report", "--trace-ticks"}) {
        Job job("execute_penselect 1\npd_default 100 0\n");
        RunResult r = job.Run({opt, "/dev/full"});
        EXPECT_EQ(r.exitCode, 2) << opt;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(StatusFileLines(job.sts()).at(0), "CVQX_OK") << opt;
    }
}

TEST(RunNotes, QuietPrintsOnlyTheFailureLine) {
    EXPECT_EQ(Job("execute_penselect 1\npd_default 100 0\n").Run({"--quiet"}).out, "");
    RunResult r = Job("execute_penselect 17\n").Run({"--quiet"});
    EXPECT_EQ(r.out, "PenParamError: record 1 \"execute_penselect 17\": pen 17 is outside the pens 0..16\n\r");
}

// --report and --trace-ticks may not name the job files or each other.
TEST(JobFileSafety, OutputsNeverNameInputs) {
    const std::string cmd = "execute_penselect 1\npd_default 100 0\n";
    for (const Args& args : {Args{"--report", "Corvanta.cmd"}, Args{"--trace-ticks", "./Corvanta.cmd"},
                             Args{"--report", "Corvanta.sts"}, Args{"--report", "x.json", "--trace-ticks", "x.json"},
                             Args{"--report=new.json", "--trace-ticks", "./new.json"}}) {
        Job job(cmd);
        WriteFile(job / "Corvanta.sts", "old");
        RunResult r = job.Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[1];
        EXPECT_EQ(ReadFile(job / "Corvanta.cmd") + job.sts(), cmd + "old") << args[1];
    }
}

// A status file that is a symlink is replaced, not written through.
TEST(JobFileSafety, StatusSymlinkIsReplacedNotFollowed) {
    Job job("execute_penselect 1\n");
    WriteFile(job / "target", "keep");
    fs::create_symlink(job / "target", job / "Corvanta.sts");
    EXPECT_EQ(job.Run({}).exitCode, 0);
    EXPECT_EQ(ReadFile(job / "target"), "keep");
    EXPECT_FALSE(fs::is_symlink(job / "Corvanta.sts"));
    EXPECT_EQ(StatusFileLines(job.sts()).at(0), "CVQX_OK");
}

// Killed midway, a run leaves the earlier status whole or none, never a torn one.
TEST(JobFileSafety, KilledRunLeavesNoPartialStatus) {
    std::string cmd = "execute_penselect 1\n";
    for (int i = 0; i < 40; ++i) cmd += "pd_default 40000000 0\npd_default -40000000 0\n";
    Job job(cmd);
    for (int delay_ms : {5, 50, 200}) {
        WriteFile(job / "Corvanta.sts", "CVQX_OK\r\n\rearlier");
        const pid_t pid = fork();
        if (pid == 0) {
            execl(CORVANTA_XR7_BIN, CORVANTA_XR7_BIN, "--quiet", job.path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const bool gone = !fs::exists(job / "Corvanta.sts");
        const bool whole = !gone && StatusFileLines(job.sts()).size() == 5;
        EXPECT_TRUE(gone || whole || job.sts() == "CVQX_OK\r\n\rearlier") << delay_ms << ": " << job.sts();
    }
}

// A UTF-8 byte-order mark before the first keyword is skipped.
TEST(JobFileSafety, ByteOrderMarkIsSkipped) {
    Job plain("CorvantaCmdVer 1\nexecute_penselect 1\npd_default 100 0\n");
    Job bom(
        "\xEF\xBB\xBF"
        "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 100 0\n");
    ASSERT_EQ(plain.Run({}).exitCode, 0);
    ASSERT_EQ(bom.Run({}).exitCode, 0);
    EXPECT_EQ(StableStatus(bom.sts()), StableStatus(plain.sts()));
    EXPECT_NE(StatusFileLines(bom.sts()).at(2), "0");
}

// A move of 35 m and more reports its far end point once, not on every tick.
TEST(BoundedConsole, FarEndPointReportedOncePerBlock) {
    for (const char* schedule : {"--deterministic", "--threaded"}) {
        Job job("execute_penselect 1\npd_default 1500000 0\n");
        RunResult r = job.Run({schedule});
        EXPECT_EQ(r.exitCode, 0) << schedule;
        EXPECT_LT(r.out.size(), 4096u) << schedule;
        EXPECT_NE(r.out.find("disth > 0x1000000\n"), std::string::npos) << schedule;
    }
}

// The raster enter trace prints the trace prefix before its leading line break.
TEST(RunNotes, RasterEnterTraceHasItsPrefix) {
    Job job("RasterDPI 254\nRasterUnit 508\nImageWidth 254\nImageHeight 1\nSetStartRasterGraphics 0\n");
    RunResult r = job.Run({"--debug", "RasterProc"});
    EXPECT_NE(r.out.find("T00000 \n\rT00000 HandleStartRasterGraphics(Enter)"), std::string::npos) << r.out;
}

// Every fault ever found has its job here; each must end with a well-formed
// status, a report and exit status 0, in both schedules.
TEST(Regress, EveryRegressionJob) {
    for (const auto& entry : fs::directory_iterator(std::string(CORVANTA_GOLDEN_DIR) + "/regress")) {
        if (entry.path().extension() != ".cmd") continue;
        for (const char* schedule : {"--deterministic", "--threaded"}) {
            Job job(ReadFile(entry.path()));
            RunResult r = job.Run({schedule, "--report", "r.json", "--summary", "--svg", "j.svg"});
            EXPECT_EQ(r.exitCode, 0) << entry.path() << " " << schedule << ": " << r.err;
            const auto lines = StatusFileLines(job.sts());
            EXPECT_TRUE(lines.size() == 5 || lines.size() == 2) << entry.path();
            EXPECT_NE(ReadFile(job / "r.json").find("\"status\""), std::string::npos) << entry.path();
        }
    }
}

// Long pen-up travel along or near X: the acceleration would raise the
// velocity past 2^32 in 9.23 and wrap; it slews at the last velocity instead.
// Figures in ms, the same in both models (pen-up speeds do not differ).
TEST(LongTravel, VelocityNeverWraps) {
    const struct {
        const char* move;
        const char* ms;
    } kMoves[] = {{"9600 0", "215"},     {"9650 0", "215"},     {"12000 0", "238"},
                  {"24549 -516", "521"}, {"-24549 516", "521"}, {"0 -30000", "1040"}};
    for (const auto& m : kMoves) {
        for (const char* model : {"xr7", "k730"}) {
            for (const char* skip : {"--deterministic", "--no-skip"}) {
                Job job(std::string("execute_penselect 1\npu_default ") + m.move + "\n");
                ASSERT_EQ(job.Run({skip, "--quiet"}, model).exitCode, 0);
                const auto lines = StatusFileLines(job.sts());
                ASSERT_GE(lines.size(), 3u) << m.move;
                EXPECT_EQ(lines[2], m.ms) << m.move << " " << model << " " << skip;
            }
        }
    }
}

// Whole-program runs of both model binaries: status file bytes, console text,
// report and tick trace of the reference jobs, job outcomes and the command line.
#include <algorithm>
#include <map>
#include <memory>
#include <regex>

#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;

namespace {

const std::string kGolden = std::string(CORVANTA_GOLDEN_DIR) + "/reference/";
const std::string kStartup =
    "Start job working time calculating....\n"
    "setup_plotbed_speeds(PEN_UP         ,1200,1);\n\rsetup_plotbed_speeds(PEN_DOWN       ,1200,1);\n\r"
    "setup_plotbed_speeds(RASTER_FORWARD ,244800,50);\n\rsetup_plotbed_speeds(RASTER_BACKWARD,244800,50);\n\r"
    "setup_plotbed_speeds(RASTER_OFFSET  ,2400,1);\n\rsetup_plotbed_speeds(RASTER_MOVE    ,1560,1);\n\r";
const std::string kEmptyJobConsole = kStartup + "\n\rJob Run Time: 0:0\n\r";

const char* Bin(const std::string& model) { return model == "xr7" ? CORVANTA_XR7_BIN : CORVANTA_K730_BIN; }

// Top-level fields of the report; blanks around the array punctuation are dropped.
std::map<std::string, std::string> JsonFields(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::regex field("\"(\\w+)\": *(\\[[^\\]]*\\]|\"[^\"]*\"|-?[0-9]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), field); it != std::sregex_iterator(); ++it)
        fields[(*it)[1]] = std::regex_replace((*it)[2].str(), std::regex("\\s*([\\[\\],])\\s*"), "$1");
    return fields;
}

struct JobRun {
    TempDir dir;
    RunResult r;
    std::string sts() const { return ReadFile(dir / "Corvanta.sts"); }
    std::map<std::string, std::string> report() const { return JsonFields(ReadFile(dir / "report.json")); }
};

// Runs the job in a fresh directory given as JOBDIR (also the working directory).
std::unique_ptr<JobRun> RunJob(const std::string& model, const std::string& cmd, std::vector<std::string> args = {}) {
    auto run = std::make_unique<JobRun>();
    WriteFile(run->dir / "Corvanta.cmd", cmd);
    args.push_back(run->dir.path.string());
    run->r = RunProgram(Bin(model), args, run->dir.path);
    return run;
}

struct RefCase {
    std::string job, model;
};
void PrintTo(const RefCase& c, std::ostream* os) { *os << c.job << "." << c.model; }
class ReferenceJob : public testing::TestWithParam<RefCase> {};

TEST_P(ReferenceJob, ReproducesStatusConsoleReportAndTrace) {
    const std::string base = kGolden + GetParam().job + "." + GetParam().model;
    auto run = RunJob(GetParam().model, ReadFile(kGolden + GetParam().job + ".cmd"),
                      {"--deterministic", "--report", "report.json", "--trace-ticks", "trace.csv"});
    ASSERT_EQ(run->r.exitCode, 0) << run->r.err;
    EXPECT_EQ(run->r.out, ReadFile(base + ".console.txt"));

    auto got = run->report();
    auto want = JsonFields(ReadFile(base + ".json"));
    ASSERT_EQ(want.size(), 16u);
    for (const auto& [key, value] : want) {
        if (key != "status") {
            EXPECT_EQ(got[key], value) << key;
        }
    }
    EXPECT_EQ(got["schedule"], "\"deterministic\"");
    // Status file: the golden lines, every one ending in 0D 0A 0D, with the
    // host-dependent "APP Run Time" line fourth; the report lists all five.
    std::vector<std::string> lines = StatusFileLines(run->sts());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("APP Run Time [0-9]+ms"))) << lines[3];
    std::string bytes, all, golden;
    for (size_t i = 0; i < lines.size(); ++i) {
        bytes += lines[i] + "\r\n\r";
        all += (i ? ",\"" : "[\"") + lines[i] + "\"";
        if (i != 3) golden += (i ? ",\"" : "[\"") + lines[i] + "\"";
    }
    EXPECT_EQ(run->sts(), bytes);
    EXPECT_EQ(golden + "]", want["status"]);
    EXPECT_EQ(all + "]", got["status"]);
    if (fs::exists(base + ".trace.csv")) {
        EXPECT_TRUE(ReadFile(run->dir / "trace.csv") == ReadFile(base + ".trace.csv")) << "tick trace differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, ReferenceJob,
                         testing::Values(RefCase{"single_move", "xr7"}, RefCase{"single_move", "k730"},
                                         RefCase{"square", "xr7"}, RefCase{"square", "k730"},
                                         RefCase{"circle", "xr7"}, RefCase{"circle", "k730"},
                                         RefCase{"raster_small", "xr7"}, RefCase{"raster_small", "k730"}),
                         [](const auto& info) { return info.param.job + "_" + info.param.model; });

TEST(ProgramJob, EmptyJobTakesNoTime) {
    for (std::string model : {"xr7", "k730"}) {
        auto run = RunJob(model, "", {"--deterministic", "--report", "report.json"});
        EXPECT_EQ(run->r.exitCode, 0);
        EXPECT_EQ(run->r.out, kEmptyJobConsole);
        const std::string tag = model == "xr7" ? "XR7" : "K730";
        std::string sts = run->sts();
        EXPECT_TRUE(std::regex_match(sts, std::regex("CVQX_OK\r\n\r" + tag +
                                                     " 03\\.10-01\r\n\r0\r\n\rAPP Run Time [0-9]+ms\r\n\r"
                                                     "Job Run Time 0:0\r\n\r")))
            << sts;
        auto rep = run->report();
        EXPECT_EQ(rep["IsrTick"], "0");
        EXPECT_EQ(rep["model"], "\"" + tag + "\"");
        std::string keys;
        for (const auto& kv : rep) keys += kv.first + " ";
        EXPECT_EQ(keys, "IsrTick JobEndTick JobStartTick PclAbsX PclAbsY PclPosX PclPosY PlanCnt SvoPosX SvoPosY "
                        "VectCnt model ms positionx positiony schedule status ticks ");
    }
}

// Failure statuses: two status lines; no console line for a version mismatch,
// one naming the record for the others.  Both schedules.
TEST(ProgramJob, FailureStatuses) {
    const char* cases[][3] = {
        {"CorvantaCmdVer 2\nexecute_penselect 1\npd_default 100 0\n", "VersionMisMatch", nullptr},
        {"execute_penselect 1\npd_default 100 0\nCorvantaCmdVer 0\npd_default 100 0\n", "VersionMisMatch", nullptr},
        {"execute_penselect 17\n", "PenParamError", "execute_penselect 17"},
        {"pd_default -1073741824 5\n", "MoveRangeError", "pd_default -1073741824 5"},
        {"pu_default 4000 0\n", "MoveStallError", "pu_default 4000 0"},
        {"RasterUnit 508\nSetStartRasterGraphics 0\n", "RasterParamError", "SetStartRasterGraphics 0"},
    };
    for (const auto& c : cases) {
        for (bool deterministic : {true, false}) {
            auto run = RunJob("xr7", c[0], deterministic ? std::vector<std::string>{"--deterministic"}
                                                         : std::vector<std::string>{"--report", "report.json"});
            EXPECT_EQ(run->r.exitCode, 0);
            EXPECT_EQ(run->sts(), std::string("CVQX_Error\r\n\r") + c[1] + "\r\n\r") << c[0];
            std::string rest = std::regex_replace(run->r.out, std::regex("setup_plotbed_speeds\\([^\n]*\n\r"), "");
            ASSERT_EQ(rest.substr(0, 39), "Start job working time calculating....\n");
            rest.erase(0, 39);
            if (!c[2]) {
                EXPECT_EQ(rest, "") << c[0];
                continue;
            }
            EXPECT_NE(rest.find(c[2]), std::string::npos) << rest;
            EXPECT_EQ(rest.find('\n'), rest.size() - 2) << rest;
            EXPECT_EQ(rest.substr(rest.size() - 2), "\n\r");
        }
    }
}

TEST(ProgramJob, MissingJobFilesLeaveNoStatus) {
    TempDir dir;
    RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--deterministic", dir.path.string()}, dir.path);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kStartup);
    EXPECT_TRUE(fs::is_empty(dir.path));

    WriteFile(dir / "Corvanta.cmd", "execute_penselect 1\npd_default 100 0\n");
    fs::create_directory(dir / "Corvanta.sts");
    r = RunProgram(CORVANTA_XR7_BIN, {dir.path.string()}, dir.path);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kStartup);
    EXPECT_TRUE(fs::is_empty(dir / "Corvanta.sts"));
}

// Without JOBDIR the job files are next to the program, however it was started.
TEST(ProgramJob, JobDirectoryFromProgramPath) {
    TempDir dir;
    fs::create_directory(dir / "bin");
    fs::copy_file(CORVANTA_K730_BIN, dir / "bin" / "corvanta");
    WriteFile(dir / "bin" / "Corvanta.cmd", "");
    for (std::string program : {(dir / "bin" / "corvanta").string(), std::string("bin/corvanta")}) {
        fs::remove(dir / "bin" / "Corvanta.sts");
        RunResult r = RunProgram(program, {"--deterministic"}, dir.path);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(StatusFileLines(ReadFile(dir / "bin" / "Corvanta.sts")).at(1), "K730 03.10-01") << program;
        EXPECT_FALSE(fs::exists(dir / "Corvanta.sts"));
    }
}

// Pen-up moves separated by pen selections: every vector starts from an idle
// servo, so both schedules count the same ticks.
TEST(ProgramJob, ThreadedScheduleMatchesDeterministicBetweenWaits) {
    const char* cmd = "execute_penselect 1\npu_default 1000 0\nexecute_penselect 2\npu_default 0 1000\n"
                      "execute_penselect 1\npu_default -1000 -1000\n";
    for (const char* model : {"xr7", "k730"}) {
        auto a = RunJob(model, cmd, {"--deterministic", "--report", "report.json"})->report();
        auto b = RunJob(model, cmd, {"--report", "report.json"})->report();
        EXPECT_EQ(b["schedule"], "\"threaded\"");
        EXPECT_NE(a["ticks"], "0");
        a.erase("schedule");
        b.erase("schedule");
        a["status"] = std::regex_replace(a["status"], std::regex("APP Run Time [0-9]+ms"), "");
        b["status"] = std::regex_replace(b["status"], std::regex("APP Run Time [0-9]+ms"), "");
        EXPECT_EQ(a, b) << model;
    }
}

TEST(ProgramCommandLine, DebugCategories) {
    std::string out = RunJob("xr7", "", {"--deterministic", "--debug", "CorvantaDbg"})->r.out;
    for (std::string part : {"T00000 ^^ varreso_Initial(3048,12192)\n\r" + std::string(64, '=') + "\n\r",
                             std::string("    CurrentRomParam.MachParam.MaxVelocity.X            = 0; \n\r"),
                             std::string("    pLaserRasterParam->RasterMargin                    = 0,0,0,0,0; \n\r"),
                             std::string("T00000 ^^ servo_init(0,100,1000,100,1000)\n\r")})
        EXPECT_NE(out.find(part), std::string::npos) << part;
    EXPECT_EQ(out.find("Resoultion"), std::string::npos);

    // The list applies after the process entry has cleared Event.
    out = RunJob("xr7", "", {"--deterministic", "--debug", "Event"})->r.out;
    EXPECT_NE(out.find("T00000 Resoultion:3048DPI 1G=12350 1mm=120\n\r"), std::string::npos);
    EXPECT_EQ(RunJob("xr7", "", {"--deterministic", "--debug", "Event,-Event"})->r.out, kEmptyJobConsole);
}

TEST(ProgramCommandLine, BadOptionsTouchNoJobFile) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--debug", "Event,Bogus"}, {"--report", "/nonexistent-dir/r.json"},
             {"--trace-ticks", "/nonexistent-dir/t.csv"}, {"--frobnicate"}, {"--debug"}}) {
        TempDir dir;
        WriteFile(dir / "Corvanta.cmd", "execute_penselect 1\n");
        WriteFile(dir / "Corvanta.sts", "old");
        args.insert(args.begin(), dir.path.string());
        RunResult r = RunProgram(CORVANTA_XR7_BIN, args, dir.path);
        EXPECT_EQ(r.exitCode, 2) << args[1];
        EXPECT_EQ(r.out, "") << args[1];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(ReadFile(dir / "Corvanta.sts"), "old");
        EXPECT_EQ(ReadFile(dir / "Corvanta.cmd"), "execute_penselect 1\n");
        if (args.size() > 2 && args[2] == "Event,Bogus") {
            for (const char* part : {"Bogus", "Always,Fatal,Error,", "CorvantaDbg", ",TempOff,TempOn"})
                EXPECT_NE(r.err.find(part), std::string::npos) << part;
        }
    }
}

TEST(ProgramCommandLine, HelpAndVersion) {
    TempDir dir;
    RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--help"}, dir.path);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--trace-ticks"), std::string::npos);
    EXPECT_EQ(RunProgram(CORVANTA_XR7_BIN, {"--version"}, dir.path).out, "corvanta XR7 03.10-01\n");
    EXPECT_EQ(RunProgram(CORVANTA_K730_BIN, {"--version"}, dir.path).out, "corvanta K730 03.10-01\n");
    EXPECT_TRUE(fs::is_empty(dir.path));
}

}  // namespace

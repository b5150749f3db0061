// Whole-program runs of both model binaries: status file bytes, console text,
// report and tick trace of the reference jobs, job outcomes and the command line.
#include <map>
#include <regex>

#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

const std::string kGolden = std::string(CORVANTA_GOLDEN_DIR) + "/reference/";
const std::string kStartup =
    "Start job working time calculating....\n"
    "setup_plotbed_speeds(PEN_UP         ,1200,1);\n\rsetup_plotbed_speeds(PEN_DOWN       ,1200,1);\n\r"
    "setup_plotbed_speeds(RASTER_FORWARD ,244800,50);\n\rsetup_plotbed_speeds(RASTER_BACKWARD,244800,50);\n\r"
    "setup_plotbed_speeds(RASTER_OFFSET  ,2400,1);\n\rsetup_plotbed_speeds(RASTER_MOVE    ,1560,1);\n\r";
const std::string kEmptyJobConsole = kStartup + "\n\rJob Run Time: 0:0\n\r";
const std::regex kAppLine(",?\"?APP Run Time [0-9]+ms\"?");

// Top-level fields of the report; blanks around the array punctuation are dropped.
std::map<std::string, std::string> JsonFields(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::regex field("\"(\\w+)\": *(\\[[^\\]]*\\]|\"[^\"]*\"|-?[0-9]+|null)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), field); it != std::sregex_iterator(); ++it)
        fields[(*it)[1]] = std::regex_replace((*it)[2].str(), std::regex("\\s*([\\[\\],])\\s*"), "$1");
    return fields;
}

// A job run by the model's program ("xr7" or "k730") in a fresh directory given as
// JOBDIR (also the working directory).
struct JobRun : TempDir {
    RunResult r;
    JobRun(const std::string& model, const std::string& cmd, Args args = {}) {
        WriteFile(*this / "Corvanta.cmd", cmd);
        args.push_back(path.string());
        r = RunProgram(model == "xr7" ? CORVANTA_XR7_BIN : CORVANTA_K730_BIN, args, path);
    }
    std::string sts() const { return ReadFile(*this / "Corvanta.sts"); }
    std::map<std::string, std::string> report() const { return JsonFields(ReadFile(*this / "report.json")); }
};

class ReferenceJob : public testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(ReferenceJob, ReproducesStatusConsoleReportAndTrace) {
    const auto& [job, model] = GetParam();
    const std::string base = kGolden + job + "." + model;
    JobRun run(model, ReadFile(kGolden + job + ".cmd"), {"--report", "report.json", "--trace-ticks", "trace.csv"});
    ASSERT_EQ(run.r.exitCode, 0) << run.r.err;
    EXPECT_EQ(run.r.out, ReadFile(base + ".console.txt"));
    // Status file: the report's status lines, each ending in 0D 0A 0D, with the
    // host-dependent "APP Run Time" line fourth; the golden figures leave it out.
    auto got = run.report(), want = JsonFields(ReadFile(base + ".json"));
    EXPECT_EQ(run.sts(), std::regex_replace(got["status"], std::regex("\\[?\"([^\"]*)\"[,\\]]"), "$1\r\n\r"));
    EXPECT_TRUE(std::regex_match(run.sts(), std::regex("([^\r]*\r\n\r){3}APP Run Time [0-9]+ms\r\n\r[^\r]*\r\n\r")));
    EXPECT_EQ(got["schedule"], "\"deterministic\"");
    got["status"] = std::regex_replace(got["status"], kAppLine, "");
    ASSERT_EQ(want.size(), 16u);
    EXPECT_EQ(got["endedAt"], "null");
    for (const auto& [key, value] : want) EXPECT_EQ(got[key], value) << key;
    if (fs::exists(base + ".trace.csv")) {
        EXPECT_TRUE(ReadFile(run / "trace.csv") == ReadFile(base + ".trace.csv")) << "tick trace differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, ReferenceJob,
                         testing::Combine(testing::Values("single_move", "square", "circle", "raster_small"),
                                          testing::Values("xr7", "k730")),
                         [](const auto& info) { return std::get<0>(info.param) + "_" + std::get<1>(info.param); });

// Two status lines; no console line for a version mismatch (first or later
// record), one naming the record for the others.
TEST(ProgramJob, FailureStatusesThreadedAndDeterministic) {
    const char* cases[][3] = {
        {"CorvantaCmdVer 2\nexecute_penselect 1\npd_default 100 0\n", "VersionMisMatch", ""},
        {"execute_penselect 1\npd_default 100 0\nCorvantaCmdVer 0\npd_default 100 0\n", "VersionMisMatch", ""},
        {"execute_penselect 17\n", "PenParamError", "execute_penselect 17"},
        {"pd_default -1073741824 5\n", "MoveRangeError", "pd_default -1073741824 5"},
        {"pu_default 4000 0\n", "MoveStallError", "pu_default 4000 0"},
        {"RasterUnit 508\nSetStartRasterGraphics 0\n", "RasterParamError", "SetStartRasterGraphics 0"},
    };
    for (const auto& c : cases) {
        for (const Args& args : {Args{}, Args{"--threaded", "--report", "report.json"}}) {
            JobRun run("xr7", c[0], args);
            const std::string status = std::string("CVQX_Error\r\n\r") + c[1] + "\r\n\r";
            EXPECT_EQ(std::pair(run.r.exitCode, run.sts()), std::pair(0, status)) << c[0];
            std::string console = "Start job working time calculating\\.{4}\n";
            if (*c[2]) console += std::string("[^\n]*") + c[2] + "[^\n]*\n\r";
            const std::string rest = std::regex_replace(run.r.out, std::regex("setup_plotbed_speeds[^\n]*\n\r"), "");
            EXPECT_TRUE(std::regex_match(rest, std::regex(console))) << rest;
        }
    }
}

// The empty job takes no time. Without JOBDIR the job files are next to the
// program, however it was started.  A missing command file, or a status file
// that cannot be created, leaves no status: exit status 1 and the reason.
TEST(ProgramJob, EmptyJobNextToTheProgramAndMissingFiles) {
    TempDir dir;
    const fs::path bin = dir / "bin";
    fs::create_directory(bin);
    for (std::string tag : {"XR7", "K730"}) {
        fs::copy_file(tag == "XR7" ? CORVANTA_XR7_BIN : CORVANTA_K730_BIN, bin / tag);
        RunResult missing = RunProgram("bin/" + tag, {}, dir.path);
        EXPECT_EQ(std::pair(missing.exitCode, missing.out), std::pair(1, kStartup));
        EXPECT_NE(missing.err.find("bin/Corvanta.cmd"), std::string::npos) << missing.err;
        EXPECT_FALSE(fs::exists(bin / "Corvanta.sts"));
        WriteFile(bin / "Corvanta.cmd", "");
        RunResult r =
            RunProgram(tag == "XR7" ? "bin/XR7" : (bin / tag).string(), {"--report", "report.json"}, dir.path);
        EXPECT_EQ(std::pair(r.exitCode, r.out), std::pair(0, kEmptyJobConsole));
        EXPECT_NE(r.err.find("Corvanta.cmd holds no records"), std::string::npos) << r.err;
        EXPECT_TRUE(std::regex_match(ReadFile(bin / "Corvanta.sts"),
                                     std::regex("CVQX_OK\r\n\r" + tag +
                                                " 03\\.10-01\r\n\r0\r\n\r"
                                                "APP Run Time [0-9]+ms\r\n\rJob Run Time 0:0\r\n\r")));
        auto rep = JsonFields(ReadFile(dir / "report.json"));
        EXPECT_EQ((Args{rep["IsrTick"], rep["ticks"], rep["model"]}), (Args{"0", "0", "\"" + tag + "\""}));
        EXPECT_FALSE(fs::exists(dir / "Corvanta.sts"));
        fs::remove(bin / "Corvanta.cmd"), fs::remove(bin / "Corvanta.sts");
    }
}

// Pen-up moves separated by pen selections: every vector starts from an idle
// servo, so both schedules count the same ticks.
TEST(ProgramJob, ThreadedScheduleMatchesDeterministicBetweenWaits) {
    const char* cmd =
        "execute_penselect 1\npu_default 1000 0\nexecute_penselect 2\npu_default 0 1000\n"
        "execute_penselect 1\npu_default -1000 -1000\n";
    for (const char* model : {"xr7", "k730"}) {
        auto a = JobRun(model, cmd, {"--report", "report.json"}).report();
        auto b = JobRun(model, cmd, {"--threaded", "--report", "report.json"}).report();
        EXPECT_EQ(b["schedule"], "\"threaded\"");
        EXPECT_NE(a["ticks"], "0");
        a["schedule"] = b["schedule"];
        for (auto* rep : {&a, &b}) (*rep)["status"] = std::regex_replace((*rep)["status"], kAppLine, "");
        EXPECT_EQ(a, b) << model;
    }
}

TEST(ProgramCommandLine, DebugCategories) {
    std::string out = JobRun("xr7", "", {"--debug", "CorvantaDbg"}).r.out;
    for (std::string part : {"T00000 ^^ varreso_Initial(3048,12192)\n\r" + std::string(64, '=') + "\n\r",
                             std::string("    CurrentRomParam.MachParam.MaxVelocity.X            = 0; \n\r")})
        EXPECT_NE(out.find(part), std::string::npos) << part;
    // The list applies after the process entry has cleared Event.
    out = JobRun("xr7", "", {"--debug", "Event"}).r.out;
    EXPECT_NE(out.find("T00000 Resoultion:3048DPI 1G=12350 1mm=120\n\r"), std::string::npos) << out;
    EXPECT_EQ(JobRun("xr7", "", {"--debug", "Event,-Event"}).r.out, kEmptyJobConsole);
}

// One line on standard error, exit status 2, the job files as they were.
TEST(ProgramCommandLine, BadOptionsTouchNoJobFile) {
    for (Args args : {Args{"--debug", "Event,Bogus"}, Args{"--report", "/nonexistent-dir/r.json"},
                      Args{"--trace-ticks", "/nonexistent-dir/t.csv"}, Args{"--frobnicate"}, Args{"--debug"}}) {
        TempDir dir;
        WriteFile(dir / "Corvanta.cmd", "execute_penselect 1\n");
        WriteFile(dir / "Corvanta.sts", "old");
        args.insert(args.begin(), {dir.path.string(), "--deterministic"});
        RunResult r = RunProgram(CORVANTA_XR7_BIN, args, dir.path);
        EXPECT_EQ(std::pair(r.exitCode, r.out), std::pair(2, std::string())) << args[2];
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_EQ(ReadFile(dir / "Corvanta.sts") + ReadFile(dir / "Corvanta.cmd"), "oldexecute_penselect 1\n");
        if (args.size() > 3 && args[3] == "Event,Bogus") {
            for (const char* part : {"Bogus", "Always,Fatal,Error,", "CorvantaDbg", ",TempOff,TempOn"})
                EXPECT_NE(r.err.find(part), std::string::npos) << part;
        }
    }
}

TEST(ProgramCommandLine, HelpAndVersion) {
    TempDir dir;
    RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--help"}, dir.path);
    EXPECT_EQ(std::pair(r.exitCode, r.out.find("--trace-ticks") != std::string::npos), std::pair(0, true)) << r.out;
    // The help names the model it was built for; VectorSpeed takes sixteen values, not two.
    const std::string help730 = RunProgram(CORVANTA_K730_BIN, {"--help"}, dir.path).out;
    EXPECT_NE(help730.find("for the K730 model"), std::string::npos) << help730;
    EXPECT_NE(help730.find("Sixteen values: VectorSpeed S1 .. S16"), std::string::npos) << help730;
    // The version is the build's (CMake's project version), then the status file's form of it.
    EXPECT_EQ(RunProgram(CORVANTA_XR7_BIN, {"--version"}, dir.path).out,
              "corvanta " CORVANTA_PROJECT_VERSION " (XR7 03.10-01)\n");
    EXPECT_EQ(RunProgram(CORVANTA_K730_BIN, {"--version"}, dir.path).out,
              "corvanta " CORVANTA_PROJECT_VERSION " (K730 03.10-01)\n");
    EXPECT_TRUE(fs::is_empty(dir.path));
}

}  // namespace

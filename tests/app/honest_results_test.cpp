// What a person or a host is told about a job that did not run whole: the
// report's outcome keys, the summary and the picture's title, the notes on
// standard error and the exit status under --strict; the command line's hints;
// outputs replaced whole, or not touched when the run gives no result.
#include <regex>

#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

const std::string kCut = "execute_penselect 1\npd_default 1000 0\n";

struct Job : TempDir {
    explicit Job(const std::string& cmd) { WriteFile(*this / "Corvanta.cmd", cmd); }
    RunResult Run(Args args) const {
        args.push_back(path.string());
        return RunProgram(CORVANTA_XR7_BIN, args, path);
    }
    std::string Read(const std::string& name) const { return ReadFile(*this / name); }
    // The files of the job directory other than the command file, sorted.
    std::string Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path))
            if (e.path().filename() != "Corvanta.cmd") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string out;
        for (const auto& n : names) out += n + " ";
        return out;
    }
};

// The report's value of a top-level key, as written (one line, or an object
// flattened to one line).
std::string ReportValue(const std::string& json, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\n \"" + key + "\": (\\{[^}]*\\}|[^,\n]*)"))) return "(absent)";
    return std::regex_replace(m[1].str(), std::regex("\\s+"), " ");
}

struct Outcome {
    const char* name;
    std::string cmd;
    const char* ok;
    const char* error;
    const char* partial;
    bool timed;            // ms, ticks and time are figures (else null)
    const char* headline;  // in the summary and the picture's title
    int strictExit;
};

const Outcome kOutcomes[] = {
    {"whole", kCut, "true", "null", "null", true, "Job time 0:00:00, ", 0},
    {"partial", kCut + "pd_default 4000.5 0\npd_default 10 0\n", "true", "null", "{ \"record\": 3, \"records\": 5 }",
     true, "(partial: ended at record 3 of 5)", 3},
    {"typo", kCut + "pd_defualt 100 0\n", "true", "null", "{ \"record\": 3, \"records\": 3 }", true,
     "partial: ended at record 3 of 3", 3},
    {"empty", "", "true", "null", "null", true, "(empty: no records)", 3},
    {"stall", "pu_default 4000 0\n", "false", "\"MoveStallError\"", "null", false, "failed: MoveStallError at record 1",
     3},
    {"version", kCut + "CorvantaCmdVer 2\n", "false", "\"VersionMisMatch\"", "null", false,
     "failed: VersionMisMatch at record 3", 3},
};

void PrintTo(const Outcome& o, std::ostream* os) { *os << o.name; }

class JobOutcome : public testing::TestWithParam<Outcome> {};

TEST_P(JobOutcome, ReportSummaryPictureAndStrictExit) {
    const Outcome& o = GetParam();
    Job job(o.cmd);
    const RunResult r = job.Run({"--quiet", "--summary", "--report", "r.json", "--svg", "j.svg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string json = job.Read("r.json");
    EXPECT_EQ(ReportValue(json, "schemaVersion"), "1");
    EXPECT_EQ(ReportValue(json, "ok"), o.ok);
    EXPECT_EQ(ReportValue(json, "error"), o.error);
    EXPECT_EQ(ReportValue(json, "partial"), o.partial);
    for (const char* key : {"ms", "ticks", "time"}) EXPECT_EQ(ReportValue(json, key) == "null", !o.timed) << key;
    EXPECT_NE(r.out.find(o.headline), std::string::npos) << r.out;
    std::smatch title;
    const std::string svg = job.Read("j.svg");
    ASSERT_TRUE(std::regex_search(svg, title, std::regex("<title>([^<]*)</title>")));
    EXPECT_NE(title[1].str().find(std::regex_replace(o.headline, std::regex("Job time |\\(|\\)|, $"), "")),
              std::string::npos)
        << title[1];
    if (!o.timed) {
        EXPECT_EQ(r.out.find("ms,"), std::string::npos) << "a failed job shows no time: " << r.out;
    }
    EXPECT_EQ(job.Run({"--quiet", "--strict"}).exitCode, o.strictExit);
}

INSTANTIATE_TEST_SUITE_P(Jobs, JobOutcome, testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return std::string(info.param.name); });

// Notes on standard error name what went wrong in words a person can act on.
TEST(JobNotes, SayWhatTheFileHolds) {
    const struct {
        std::string cmd;
        std::vector<const char*> says;
    } kCases[] = {
        {"", {"holds no records"}},
        {"  \n\n", {"holds no records"}},
        {std::string("\xFF\xFE"
                     "C\0o\0r\0",
                     8),
         {"UTF-16", "save it as ASCII or UTF-8"}},
        {kCut + "pd_default 4000.5 0\n",
         {"record 3, line 3 \"pd_default 4000.5 0\"", "pd_default takes two whole numbers",
          "the record after it (record 4) was not estimated", "covers records 1 to 2"}},
        {kCut + "pd_defualt 100 0\n",
         {"unknown keyword \"pd_defualt\"; did you mean pd_default?", "no record follows"}},
        {kCut + "Execute_PenSelect 2\n", {"did you mean execute_penselect?"}},
        {"# a comment\n" + kCut, {"line 1 \"# a comment\"", "no comments", "no record was estimated"}},
        {"RasterDPI 254 0\n", {"RasterDPI takes one whole number and then the next keyword"}},
        {kCut + "CorvantaCmdVer 2\n", {"record 3 \"CorvantaCmdVer 2\": the command file is version 2"}},
        {"execute_penselect 1\n" + std::string(2000, 'x') + " 1 1\n", {"unknown keyword"}},
    };
    for (const auto& c : kCases) {
        const RunResult r = Job(c.cmd).Run({"--quiet"});
        EXPECT_EQ(r.exitCode, 0) << c.cmd.substr(0, 40);
        for (const char* part : c.says) EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
        EXPECT_LT(r.err.size(), 1000u);
    }
    EXPECT_EQ(Job(kCut).Run({"--quiet"}).err, "");
}

// The time of a partial job in the note is given for people.
TEST(JobNotes, ReadableTimes) {
    std::string cmd = "execute_penselect 1\n";
    for (int i = 0; i < 30; ++i) cmd += "pd_default 20000 0\npd_default -20000 0\n";
    const RunResult r = Job(cmd + "stop 0\n").Run({"--quiet"});
    EXPECT_TRUE(std::regex_search(r.err, std::regex("the time, [0-9]+ min [0-5][0-9] s, covers"))) << r.err;
}

struct CommandLineCase {
    const char* name;
    Args args;  // "JOB" stands for the job directory, "CMD" for its command file, "PLOT" for a plot file
    int exit;
    const char* says;
};

const CommandLineCase kCommandLines[] = {
    {"PlotAsJobFolder", {"PLOT"}, 1, "use --input "},
    {"CommandFileAsJobFolder", {"CMD"}, 1, "is the command file; give its folder instead"},
    {"MissingJobFolder", {"JOB/nothing"}, 1, "the job folder "},
    {"OptionAsFileName", {"--svg", "--summary", "JOB"}, 2, "--svg needs a value, not the option --summary"},
    {"ValueMissingAtTheEnd", {"JOB", "--report"}, 2, "--report needs a value"},
    {"UnknownOptionNearOne", {"--sumary", "JOB"}, 2, "unknown option --sumary; did you mean --summary?"},
    {"UnknownOptionWithValue", {"--reprot=r.json", "JOB"}, 2, "did you mean --report?"},
    {"UnknownOptionFarFromAll", {"--zzzzzzzz", "JOB"}, 2, "unknown option --zzzzzzzz (try --help)"},
    {"TwoOutputsOnStdout", {"--report", "-", "--svg", "-", "JOB"}, 2, "both name standard output"},
    {"SummaryAndStdoutOutput", {"--summary", "--progress", "-", "JOB"}, 2, "both print on standard output"},
    {"TraceOnStdout", {"--trace-ticks", "-", "JOB"}, 2, "cannot go to standard output"},
    {"DebugClearsWithDash", {"--debug", "-Event", "JOB"}, 0, ""},
};

void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }

class CommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, HintsAndRefusals) {
    const CommandLineCase& c = GetParam();
    Job job(kCut);
    WriteFile(job / "plot.hpgl", "IN;SP1;PD100,0;");
    WriteFile(job / "Corvanta.sts", "old");
    Args args;
    for (std::string a : c.args) {
        a = std::regex_replace(a, std::regex("^JOB"), job.path.string());
        a = std::regex_replace(a, std::regex("^CMD$"), (job / "Corvanta.cmd").string());
        args.push_back(std::regex_replace(a, std::regex("^PLOT$"), (job / "plot.hpgl").string()));
    }
    const RunResult r = RunProgram(CORVANTA_XR7_BIN, args, job.path);
    EXPECT_EQ(r.exitCode, c.exit) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    if (c.exit == 2) {
        EXPECT_EQ(job.Files(), "Corvanta.sts plot.hpgl ") << "a bad command line touches nothing";
        EXPECT_EQ(job.Read("Corvanta.sts"), "old");
    }
}

INSTANTIATE_TEST_SUITE_P(Args, CommandLine, testing::ValuesIn(kCommandLines),
                         [](const auto& info) { return std::string(info.param.name); });

// "-" puts one output on standard output, and nothing else goes there.
TEST(StdoutOutputs, OnlyTheOutputIsPrinted) {
    const struct {
        const char* option;
        const char* starts;
    } kCases[] = {{"--report", "{\n \"schemaVersion\": 1,"},
                  {"--progress", "record,keyword,start_ms,end_ms\n1,execute_penselect,0,0\n"},
                  {"--svg", "<?xml version=\"1.0\""}};
    for (const auto& c : kCases) {
        Job job(kCut);
        const RunResult r = job.Run({c.option, "-"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.rfind(c.starts, 0), 0u) << c.option << ": " << r.out.substr(0, 80);
        EXPECT_EQ(r.out.find("Start job working time"), std::string::npos) << c.option;
        EXPECT_EQ(job.Files(), "Corvanta.sts ") << c.option;
    }
    Job failed("execute_penselect 17\n");
    const RunResult r = failed.Run({"--report", "-"});
    EXPECT_EQ(r.out.rfind("{", 0), 0u);
    EXPECT_NE(r.err.find("PenParamError: record 1"), std::string::npos) << "the failure line goes to stderr";
}

// A run without a result creates and truncates no output; a run with one
// replaces each whole and leaves no temporary file.
TEST(ReplacedOutputs, WholeOrUntouched) {
    const Args outputs = {"--report", "r.json", "--svg", "j.svg", "--progress", "p.csv", "--trace-ticks", "t.csv"};
    Job job(kCut);
    WriteFile(job / "r.json", "earlier report");
    fs::remove(job / "Corvanta.cmd");
    RunResult r = job.Run(outputs);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(job.Files(), "r.json ");
    EXPECT_EQ(job.Read("r.json"), "earlier report");

    WriteFile(job / "Corvanta.cmd", "CorvantaCmdVer 2\n");
    r = job.Run(outputs);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(job.Files(), "Corvanta.sts j.svg p.csv r.json t.csv ");
    EXPECT_NE(job.Read("r.json").find("\"error\": \"VersionMisMatch\""), std::string::npos);

    // Written in place: a device; through a symlink: the file it points to.
    WriteFile(job / "real.json", "earlier");
    fs::create_symlink("real.json", job / "link.json");
    r = job.Run({"--report", "link.json", "--svg", "/dev/null"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(job / "link.json"));
    EXPECT_NE(job.Read("real.json").find("\"schemaVersion\": 1"), std::string::npos);
    EXPECT_EQ(job.Files(), "Corvanta.sts j.svg link.json p.csv r.json real.json t.csv ");
}

}  // namespace

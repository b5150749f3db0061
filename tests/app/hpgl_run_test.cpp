// A plot file straight in: `corvanta --hpgl FILE [JOBDIR]` estimates the
// records it makes from the plot, exactly as it estimates a command file.
#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;

namespace {

std::string MsOf(const fs::path& sts) { return StatusFileLines(ReadFile(sts)).at(2); }

}  // namespace

// One 4-inch move in user units equals the command file of that move (the
// plot has no SP, so pen 1 is selected first, and the pen is lifted at the
// end, as a laser driver does).
TEST(HpglProgram, FourInchPlotEqualsItsCommandFile) {
    TempDir dir;
    WriteFile(dir / "four.plt", "IN;SC0,100,0,100;IP0,0,4064,4064;PA0,0;PD100,0;");
    fs::create_directory(dir / "job");
    WriteFile(dir / "job" / "Corvanta.cmd", "execute_penselect 1\npd_default 4064 0\npu_default 0 0\n");
    RunResult plot = RunProgram(CORVANTA_XR7_BIN, {"--hpgl", "four.plt", "--write-cmd", "made.cmd"}, dir.path);
    ASSERT_EQ(plot.exitCode, 0) << plot.err;
    ASSERT_EQ(RunProgram(CORVANTA_XR7_BIN, {"job"}, dir.path).exitCode, 0);
    EXPECT_EQ(MsOf(dir / "Corvanta.sts"), MsOf(dir / "job" / "Corvanta.sts"));
    EXPECT_EQ(ReadFile(dir / "made.cmd"), "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 4064 0\npu_default 0 0\n");
    EXPECT_NE(plot.err.find("extent"), std::string::npos) << plot.err;
}

// With JOBDIR the status goes there; the plot's directory stays as it was.
// A missing plot writes no status; an output naming the plot is refused.
TEST(HpglProgram, JobDirectoryMissingPlotAndGuards) {
    TempDir dir;
    WriteFile(dir / "p.hpgl", "IN;SP1;PU0,0;PD1016,0,1016,1016;PU;");
    fs::create_directory(dir / "out");
    EXPECT_EQ(RunProgram(CORVANTA_K730_BIN, {"--hpgl", "p.hpgl", "out"}, dir.path).exitCode, 0);
    EXPECT_EQ(StatusFileLines(ReadFile(dir / "out" / "Corvanta.sts")).at(0), "CVQX_OK");
    EXPECT_FALSE(fs::exists(dir / "Corvanta.sts"));

    RunResult missing = RunProgram(CORVANTA_XR7_BIN, {"--hpgl", "none.hpgl"}, dir.path);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no input file"), std::string::npos) << missing.err;

    for (const char* opt : {"--write-cmd", "--report"}) {
        RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--hpgl", "p.hpgl", opt, "./p.hpgl"}, dir.path);
        EXPECT_EQ(r.exitCode, 2) << opt;
        EXPECT_EQ(ReadFile(dir / "p.hpgl"), "IN;SP1;PU0,0;PD1016,0,1016,1016;PU;");
    }
    EXPECT_EQ(RunProgram(CORVANTA_XR7_BIN, {"--write-cmd", "x.cmd"}, dir.path).exitCode, 2);
}

// Every real plot of the corpus runs through the program to a success status.
TEST(HpglProgram, CorpusRunsThrough) {
    const fs::path corpus = fs::path(CORVANTA_SOURCE_DIR) / ".." / "shared" / "corpus" / "hpgl";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".md") continue;
        TempDir dir;
        RunResult r =
            RunProgram(CORVANTA_XR7_BIN, {"--quiet", "--hpgl", entry.path().string(), dir.path.string()}, dir.path);
        EXPECT_EQ(r.exitCode, 0) << entry.path() << r.err;
        EXPECT_EQ(StatusFileLines(ReadFile(dir / "Corvanta.sts")).at(0), "CVQX_OK") << entry.path();
    }
}

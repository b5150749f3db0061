// Any input straight in: `corvanta --input FILE [JOBDIR]` finds the kind of FILE from its content, refuses a
// file that is plainly not of the kind asked for before writing anything, and takes job settings.
#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;

namespace {

const char* const kPlot = "IN;SP1;PU0,0;PD1016,0,1016,1016;PU;";
const std::string kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);

// A command file and a plot under names that say nothing: the status comes out as from their usual routes.
TEST(InputProgram, KindFromContent) {
    TempDir dir;
    fs::create_directory(dir / "job");
    const std::string cmd = "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 2000 1000\npu_default 0 0\n";
    WriteFile(dir / "job" / "Corvanta.cmd", cmd);
    WriteFile(dir / "a.txt", cmd);
    WriteFile(dir / "b.txt", kPlot);
    fs::create_directory(dir / "viahpgl");
    ASSERT_EQ(RunProgram(CORVANTA_XR7_BIN, {"job"}, dir.path).exitCode, 0);
    RunResult a = RunProgram(CORVANTA_XR7_BIN, {"--input", "a.txt", "--write-cmd", "a.cmd"}, dir.path);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    EXPECT_EQ(ReadFile(dir / "Corvanta.sts").substr(0, 40), ReadFile(dir / "job" / "Corvanta.sts").substr(0, 40));
    EXPECT_EQ(ReadFile(dir / "a.cmd"), cmd);  // a command file is estimated as it is
    RunResult b = RunProgram(CORVANTA_XR7_BIN, {"--input", "b.txt", "--write-cmd", "b.cmd", "--summary"}, dir.path);
    ASSERT_EQ(b.exitCode, 0) << b.err;
    ASSERT_EQ(RunProgram(CORVANTA_XR7_BIN, {"--hpgl", "b.txt", "viahpgl", "--write-cmd", "h.cmd"}, dir.path).exitCode,
              0);
    EXPECT_EQ(ReadFile(dir / "b.cmd"), ReadFile(dir / "h.cmd"));
    EXPECT_EQ(StatusFileLines(ReadFile(dir / "Corvanta.sts")).at(2),
              StatusFileLines(ReadFile(dir / "viahpgl" / "Corvanta.sts")).at(2));
    EXPECT_NE(b.err.find("hpgl: 1 paths of 2 segments (50.8 mm)"), std::string::npos) << b.err;
    EXPECT_NE(b.err.find("hpgl: extent on the bed x 0.0..25.4 mm"), std::string::npos) << b.err;
}

// Inputs their reader cannot read, or of no kind at all: a clear message, exit status 1, no status file.
TEST(InputProgram, UnreadableKinds) {
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"><g></svg>", "cannot read in.dat"},
        {kPng, "cannot read in.dat"},
        {"hello world\n", "of no kind this program reads"},
        {"%PDF-1.4\n", "is a PDF file: convert it to SVG first"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "in.dat", c.bytes);
        RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--input", "in.dat"}, dir.path);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "Corvanta.sts")) << c.message;
    }
}

// A file plainly of another kind than asked for is refused with exit status 2 before anything is written: an
// earlier status stays, no output is created, and a command file given as a plot keeps its own status.
TEST(InputProgram, WrongKindRefusedBeforeAnythingIsWritten) {
    const struct {
        std::vector<std::string> kind;
        std::string bytes;
        const char* message;
    } cases[] = {
        {{"--hpgl"}, "<svg xmlns=\"http://www.w3.org/2000/svg\"/>", "is an SVG drawing, not an HP-GL plot"},
        {{"--hpgl"}, "{\"rasterDpi\": 254}", "is a JSON file, not an HP-GL plot; job settings go with --settings"},
        {{"--hpgl"}, "CorvantaCmdVer 1\npd_default 10 0\n", "is a command file, not an HP-GL plot; use --input"},
        {{"--input-kind", "svg", "--input"}, kPng, "is a photo (PNG, JPEG, GIF or BMP), not an SVG drawing"},
        {{"--input-kind", "cmd", "--input"}, kPlot, "is an HP-GL plot, not a command file"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir / "Corvanta.cmd", c.bytes);
        WriteFile(dir / "Corvanta.sts", "old");
        std::vector<std::string> args = c.kind;
        for (const char* a : {"Corvanta.cmd", "--write-cmd", "made.cmd", "--report", "r.json"}) args.push_back(a);
        RunResult r = RunProgram(CORVANTA_XR7_BIN, args, dir.path);
        EXPECT_EQ(r.exitCode, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(dir / "Corvanta.sts"), "old") << c.message;
        EXPECT_EQ(ReadFile(dir / "Corvanta.cmd"), c.bytes) << c.message;
        EXPECT_FALSE(fs::exists(dir / "made.cmd") || fs::exists(dir / "r.json")) << c.message;
    }
}

// Settings: an error names its key (exit status 2, nothing written); good ones reach the records.
TEST(InputProgram, Settings) {
    TempDir dir;
    WriteFile(dir / "p.plt", kPlot);
    WriteFile(dir / "bad.json", "{\"rasterDpi\": 254, \"penSpeed\": {}}");
    WriteFile(dir / "good.json", "{\"penSpeeds\": {\"1\": 104.14}}");
    RunResult bad = RunProgram(CORVANTA_XR7_BIN, {"--input", "p.plt", "--settings", "bad.json"}, dir.path);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("unknown key \"penSpeed\""), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(dir / "Corvanta.sts"));
    RunResult good =
        RunProgram(CORVANTA_XR7_BIN, {"--input", "p.plt", "--settings", "good.json", "--write-cmd", "m.cmd"}, dir.path);
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(ReadFile(dir / "m.cmd").substr(0, 93),
              "CorvantaCmdVer 1\nVectorSpeed 100 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500\n");
    // With a command file the settings only give the cost: the job runs (here there is none: exit 1).
    EXPECT_EQ(RunProgram(CORVANTA_XR7_BIN, {"--settings", "good.json"}, dir.path).exitCode, 1);
    EXPECT_EQ(RunProgram(CORVANTA_XR7_BIN, {"--input", "p.plt", "--input-kind", "pdf"}, dir.path).exitCode, 2);
}

}  // namespace

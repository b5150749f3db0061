// The command-file reader and the record interpreter, run in-process on the
// deterministic schedule.
#include <cstring>

#include "driver/interp.h"
#include "driver/jobtime.h"
#include "fwShare/debug.h"
#include "planner/pen.h"
#include "planner/vdb.h"
#include "raster/raster.h"
#include "support/test_support.h"

using namespace corvanta_test;
using V = std::vector<int64_t>;

namespace {

// Every record of the text as "keyword|fields|a|b" (a and b only when read).
std::vector<std::string> Records(std::string text) {
    FILE* f = fmemopen(text.data(), text.size(), "r");
    std::vector<std::string> out;
    CmdRecord rec;
    while (ReadCmdRecord(f, rec) > 0)
        out.push_back(std::string(rec.keyword) + "|" + std::to_string(rec.fields) + "|" +
                      (rec.fields > 1 ? std::to_string(rec.a) : "") + "|" + (rec.fields > 2 ? std::to_string(rec.b) : ""));
    std::fclose(f);
    return out;
}

TEST(CmdReader, FieldCountsAndWrappedNumbers) {
    EXPECT_EQ(Records("pd_default 10 -20\r\n\tRasterDPI\n+300 ToPclMode"),
              (std::vector<std::string>{"pd_default|3|10|-20", "RasterDPI|2|300|", "ToPclMode|1||"}));
    EXPECT_EQ(Records("a 4294967297 -4294967295 b 2147483648 4294967295 c 99999999999"),
              (std::vector<std::string>{"a|3|1|1", "b|3|-2147483648|-1", "c|2|1215752191|"}));
    EXPECT_TRUE(Records(" \n\t ").empty());

    std::string text = " 42 next";   // a failed "%d" leaves the keyword unread
    FILE* f = fmemopen(text.data(), text.size(), "r");
    int32_t v = 0;
    EXPECT_TRUE(ReadCmdInt(f, v) && v == 42);
    EXPECT_FALSE(ReadCmdInt(f, v));
    CmdRecord rec;
    EXPECT_EQ(ReadCmdRecord(f, rec), 1);
    EXPECT_STREQ(rec.keyword, "next");
    std::fclose(f);
}

TEST(CmdReader, OverlongKeywordIsCutWithoutOverflow) {
    std::string text = std::string(300, 'k') + " 5 ToPclMode 1";
    FILE* f = fmemopen(text.data(), text.size(), "r");
    CmdRecord rec;
    std::memset(rec.keyword, 'z', sizeof rec.keyword);
    EXPECT_EQ(ReadCmdRecord(f, rec), 2);
    EXPECT_TRUE(rec.keywordTooLong);
    EXPECT_EQ(std::strlen(rec.keyword), CMD_TOKEN_BUF - 1);
    EXPECT_EQ(rec.a, 5);
    EXPECT_EQ(ReadCmdRecord(f, rec), 2);
    EXPECT_STREQ(rec.keyword, "ToPclMode");
    EXPECT_FALSE(rec.keywordTooLong);
    std::fclose(f);
}

// Runs a job through the interpreter; the globals stay for inspection.
struct Job {
    int rc = -1;
    std::string console, status;
};
Job RunJob(const std::string& text, uint8_t languageMode = 2) {
    TempDir dir;
    StartMachine(ModelXR7, false);
    LanguageMode = languageMode;
    ExeDir = dir.path.string();
    WriteFile(dir / "Corvanta.cmd", text);
    Job j;
    j.console = Console([&] { j.rc = CorvantaCmdInterpreter(); });
    j.status = ReadFile(dir / "Corvanta.sts");
    return j;
}

// Kinds of the blocks the job took (fewer than a ring's worth).
V QueuedKinds() {
    V kinds;
    for (const VdbData* b = &VdbOnline[0]; b != freeptr; ++b) kinds.push_back(b->kind);
    return kinds;
}

TEST(Interpreter, StoresFieldsAtTheirWidths) {
    RunJob("RasterDPI 65537 RasterUnit -1 RasterBandingFree 257 RasterPower 1000 ImageWidth -5 "
           "ImageHeight 2147483647 RasterAccelEngrave 258 RasterBuEngrave 1 RasterSpeedX 65536 "
           "RasterSpeedY 70000 RasterFiringType 3 SetVerticalPositionPCL 1 1016 SetHorizontalPositionPCL 385 -7");
    const CurrentFileRec& cf = *ptCurrentFile;
    EXPECT_EQ((V{cf.RasterDPI, cf.RasterUnit, cf.RasterBandingFree, cf.RasterPower, cf.ImageWidth, cf.ImageHeight,
                 cf.RasterAccelEngrave, cf.RasterBuEngrave, cf.RasterSpeedX, cf.RasterSpeedY, cf.RasterFiringType,
                 cf.ImageOffsetY, cf.ImageOffsetX, cf.ImageAbsPosFlag}),
              (V{1, 65535, 1, 1000, -5, 2147483647, 2, 1, 0, 4464, 3, 1016, -7, -127}));
}

TEST(Interpreter, RecordsThatEndTheJob) {
    for (std::string text : std::vector<std::string>{"RasterUnit 5 6 RasterPower 7",   // one-value keyword with two values
                             "SetStartRasterGraphics",           // keyword alone
                             "SetStartRasterGraphics 1 2 RasterPower 7", "pd_default 5 RasterPower 7",
                             "Unknown 1 RasterPower 7", "pd_defaultX 1 2 RasterPower 7",
                             std::string(300, 'x') + " 1 RasterPower 7"}) {
        Job j = RunJob("RasterDPI 300 " + text);
        EXPECT_EQ(j.rc, 1) << text;
        EXPECT_EQ(StatusFileLines(j.status)[0], "CVQX_OK") << text;
        EXPECT_EQ((V{ptCurrentFile->RasterDPI, ptCurrentFile->RasterUnit, ptCurrentFile->RasterPower}), (V{300, 0, 0}))
            << text;
        EXPECT_EQ(QueuedKinds(), V{}) << text;
    }
}

TEST(Interpreter, VectorSpeedReadsSixteenPens) {
    RunJob("VectorSpeed 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 70000 RasterDPI 77");
    const uint16_t* s = ptCurrentFile->VectorSpeed;
    EXPECT_EQ(V(s, s + 17), (V{500, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 4464}));
    EXPECT_EQ(ptCurrentFile->RasterDPI, 77);

    // Fewer numbers: the unread pens keep their speeds and the next keyword is read.
    RunJob("VectorSpeed 10 20 30 RasterDPI 77");
    EXPECT_EQ(V(s, s + 6), (V{500, 10, 20, 30, 500, 500}));
    EXPECT_EQ(s[16], 500);
    EXPECT_EQ(ptCurrentFile->RasterDPI, 77);
}

TEST(Interpreter, PenChangesOnlyWhenThePenStateDiffers) {
    RunJob("pd_default 0 0 pd_default 10 0");
    EXPECT_EQ(QueuedKinds(), (V{SHORT_PEN_DOWN, VECTOR}));
    EXPECT_EQ((V{VdbOnline[1].vect.dx, VdbOnline[1].vect.dy, positionx, CmdPenDown, VectCnt}), (V{30, 0, 30, 1, 1}));

    // The pen selection lifts the pen but the interpreter still holds it down.
    RunJob("pd_default 0 0 execute_penselect 2 pd_default 10 -4 pu_default 0 0 pd_default 0 0");
    EXPECT_EQ(QueuedKinds(), (V{SHORT_PEN_DOWN, SHORT_PEN_UP, VECTOR, SHORT_PEN_DOWN}));
    EXPECT_EQ((V{VdbOnline[2].vect.dy, ptCurrentFile->VectorCurrentPen, CmdPenDown, PenIsUp}), (V{-12, 2, 1, 0}));
}

TEST(Interpreter, ToPclModeConvertsOnlyFromHpgl) {
    RunJob("execute_penselect 1 pu_default 100 0 ToPclMode 0");
    EXPECT_EQ((V{LanguageMode, PclPosX}), (V{2, -240}));

    RunJob("ToPclMode 0 ToHpglMode 0 pu_default 100 0 ToPclMode 0 pu_default 100 10 ToPclMode 0");
    EXPECT_EQ((V{LanguageMode, positionx, PclPosX, PclPosY}), (V{2, 600, 60, 55920}));

    RunJob("RasterDPI 300 RasterUnit 600 execute_penselect 1 pu_default 1016 -2032 ToPclMode 0", 1);
    EXPECT_EQ((V{PclPosX, PclPosY, PclAbsX, PclAbsY}),
              (V{3048 - 240, 55920 + 6096, (3048 - 240) * 300 / 3048, (55920 + 6096) * 600 / 3048}));
}

TEST(Interpreter, VersionMismatchAndMissingFiles) {
    Job j = RunJob("RasterDPI 5 pu_default 100 0 CorvantaCmdVer 2 RasterUnit 9");
    EXPECT_EQ(j.rc, 0);
    EXPECT_EQ(j.status, "CVQX_Error\r\n\rVersionMisMatch\r\n\r");
    EXPECT_EQ(j.console, "");
    EXPECT_EQ((V{ptCurrentFile->RasterDPI, ptCurrentFile->RasterUnit}), (V{5, 0}));
    EXPECT_NE(JobTimePhase.load(), 0);   // the accounting is not closed

    j = RunJob("CorvantaCmdVer 1 CorvantaCmdVer 1 RasterDPI 5");
    EXPECT_EQ(j.rc, 1);
    EXPECT_EQ(ptCurrentFile->RasterDPI, 5);

    TempDir dir;
    ExeDir = dir.path.string();
    int rc = -1;
    EXPECT_EQ(Console([&] { rc = CorvantaCmdInterpreter(); }), "");
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "Corvanta.sts"));
}

TEST(JobTime, ArithmeticAndReport) {
    JobTimeFigures f = JobTimeOf(5, 1000005);
    EXPECT_EQ((V{f.ms, f.minutes, f.seconds}), (V{400000, 6, 40}));
    EXPECT_EQ(JobTimeOf(-2147483647, 2147483647).ms, (2u * 4294967294u) / 5u);   // 2 x d wraps, unsigned

    StartMachine(ModelXR7, true);
    JobEndTick = 9000000;
    VectCnt = 3;
    PlanCnt[2] = 12;
    EXPECT_EQ(Console([] { JobTimeTick(); }), "");   // ShowJobTime off
    EXPECT_EQ(JobTimePhase.load(), 0);
    DbgSet(ShowJobTime);
    EXPECT_EQ(Console([] { JobTimeTick(); }),
              "T00000 PlanCnt:12 => IDLE:     0 HOLD:     0 ACC:    12 SLEW:     0 DCC:     0 CREEP:     0 "
              "DELAY:     0 \n\r"
              "T00000 JobTimeTick: 9000000 3600000ms 01:00:00  Vect:3\n\r"
              "Pbd:0,0  Svo:0,0  Enc:-87987,6104\n\r");
    f = JobTimeOf(JobStartTick, JobEndTick);
    EXPECT_EQ((V{f.ms, f.minutes, f.seconds}), (V{3600000, 60, 0}));
}

}  // namespace

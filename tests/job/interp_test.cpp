// The command-file reader and the record interpreter, run in-process on the
// deterministic schedule.
#include "driver/interp.h"
#include "driver/jobtime.h"
#include "fwShare/debug.h"
#include "planner/pen.h"
#include "planner/vdb.h"
#include "raster/raster.h"
#include "support/test_support.h"

using namespace corvanta_test;
using V = std::vector<int64_t>;
using S = std::vector<std::string>;

namespace {

// Every record of the text as "keyword|fields|a|b" (a and b only when read).
S Records(std::string text) {
    FILE* f = fmemopen(text.data(), text.size(), "r");
    S out;
    for (CmdRecord r; ReadCmdRecord(f, r) > 0;)
        out.push_back(std::string(r.keyword) + "|" + std::to_string(r.fields) + "|" +
                      (r.fields > 1 ? std::to_string(r.a) : "") + "|" + (r.fields > 2 ? std::to_string(r.b) : ""));
    std::fclose(f);
    return out;
}

// Numbers wrap modulo 2^32; an over-long keyword is cut to the buffer and reading goes on.
TEST(CmdReader, FieldCountsWrappedNumbersAndLongKeywords) {
    EXPECT_EQ(Records("pd_default 10 -20\r\n\tRasterDPI\n+300 ToPclMode"),
              (S{"pd_default|3|10|-20", "RasterDPI|2|300|", "ToPclMode|1||"}));
    EXPECT_EQ(Records("a 4294967297 -4294967295 b 2147483648 4294967295 " + std::string(300, 'k') +
                      " 5 c 99999999999"),
              (S{"a|3|1|1", "b|3|-2147483648|-1", std::string(CMD_TOKEN_BUF - 1, 'k') + "|2|5|", "c|2|1215752191|"}));
    EXPECT_TRUE(Records(" \n\t ").empty());
}

// A job run through the interpreter; the globals stay for the checks.
struct Job : TempDir {
    int rc = -1;
    std::string console, status;
    explicit Job(const std::string& text) {
        StartMachine(ModelXR7, false);
        ExeDir = path.string();
        WriteFile(*this / "Corvanta.cmd", text);
        console = Console([&] { rc = CorvantaCmdInterpreter(); });
        status = ReadFile(*this / "Corvanta.sts");
    }
};

TEST(Interpreter, StoresFieldsAtTheirWidths) {
    Job("RasterDPI 65537 RasterUnit -1 RasterBandingFree 257 RasterPower 1000 ImageWidth -5 "
        "ImageHeight 2147483647 RasterAccelEngrave 258 RasterBuEngrave 1 RasterSpeedX 65536 "
        "RasterSpeedY 70000 RasterFiringType 3 SetVerticalPositionPCL 1 1016 SetHorizontalPositionPCL 385 -7");
    const CurrentFileRec& cf = *ptCurrentFile;
    EXPECT_EQ((V{cf.RasterDPI, cf.RasterUnit, cf.RasterBandingFree, cf.RasterPower, cf.ImageWidth, cf.ImageHeight,
                 cf.RasterAccelEngrave, cf.RasterBuEngrave, cf.RasterSpeedX, cf.RasterSpeedY, cf.RasterFiringType,
                 cf.ImageOffsetY, cf.ImageOffsetX, cf.ImageAbsPosFlag}),
              (V{1, 65535, 1, 1000, -5, 2147483647, 2, 1, 0, 4464, 3, 1016, -7, -127}));
}

// Each ends the job at that record with a success status and nothing queued: a
// one-value keyword with two values, a keyword alone, a two-value keyword with one
// value, keywords in neither table.
TEST(Interpreter, RecordsThatEndTheJob) {
    for (std::string text : S{"RasterUnit 5 6 RasterPower 7", "SetStartRasterGraphics", "pd_default 5 RasterPower 7",
                              "SetStartRasterGraphics 1 2 RasterPower 7", "Unknown 1 RasterPower 7",
                              "pd_defaultX 1 2 RasterPower 7", std::string(300, 'x') + " 1 RasterPower 7"}) {
        Job j("RasterDPI 300 " + text);
        EXPECT_TRUE(j.status.starts_with("CVQX_OK\r\n\r")) << text;
        EXPECT_EQ((V{j.rc, ptCurrentFile->RasterDPI, ptCurrentFile->RasterUnit, ptCurrentFile->RasterPower,
                     freeptr - VdbOnline}), (V{1, 300, 0, 0, 0})) << text;
    }
}

// Sixteen numbers fill pens 1..16; with fewer the unread pens keep their speeds.
// Either way the next keyword is read; version 1 may come any number of times.
TEST(Interpreter, VectorSpeedAndVersionOne) {
    Job("CorvantaCmdVer 1 VectorSpeed 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 70000 CorvantaCmdVer 1 RasterDPI 77");
    const uint16_t* s = ptCurrentFile->VectorSpeed;
    EXPECT_EQ(V(s, s + 17), (V{500, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 4464}));
    EXPECT_EQ(ptCurrentFile->RasterDPI, 77);
    EXPECT_EQ(Job("VectorSpeed 10 20 30 RasterDPI 77").rc, 1);
    EXPECT_EQ(V(s, s + 17), (V{500, 10, 20, 30, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500}));
    EXPECT_EQ(ptCurrentFile->RasterDPI, 77);
}

TEST(Interpreter, PenChangesOnlyWhenThePenStateDiffers) {
    Job("pd_default 0 0 pd_default 10 0");
    EXPECT_EQ((V{freeptr - VdbOnline, VdbOnline[0].kind, VdbOnline[1].kind, VdbOnline[1].vect.dx, VdbOnline[1].vect.dy,
                 positionx, CmdPenDown, VectCnt}), (V{2, SHORT_PEN_DOWN, VECTOR, 30, 0, 30, 1, 1}));

    // The pen selection lifts the pen but the interpreter still holds it down.
    Job("pd_default 0 0 execute_penselect 2 pd_default 10 -4 pu_default 0 0 pd_default 0 0");
    EXPECT_EQ((V{freeptr - VdbOnline, VdbOnline[0].kind, VdbOnline[1].kind, VdbOnline[2].kind, VdbOnline[3].kind}),
              (V{4, SHORT_PEN_DOWN, SHORT_PEN_UP, VECTOR, SHORT_PEN_DOWN}));
    EXPECT_EQ((V{VdbOnline[2].vect.dy, ptCurrentFile->VectorCurrentPen, CmdPenDown, PenIsUp}), (V{-12, 2, 1, 0}));
}

TEST(Interpreter, ToPclModeConvertsOnlyFromHpgl) {
    Job("execute_penselect 1 pu_default 100 0 ToPclMode 0");
    EXPECT_EQ((V{LanguageMode, PclPosX}), (V{2, -240}));
    Job("ToPclMode 0 ToHpglMode 0 pu_default 100 0 ToPclMode 0 pu_default 100 10 ToPclMode 0");
    EXPECT_EQ((V{LanguageMode, positionx, PclPosX, PclPosY}), (V{2, 600, 60, 55920}));
}

// A later version mismatch: earlier records stand, nothing is printed and the
// accounting is left open.
TEST(Interpreter, VersionMismatchStopsAtOnce) {
    Job j("RasterDPI 5 pu_default 100 0 CorvantaCmdVer 2 RasterUnit 9");
    EXPECT_EQ(j.status + j.console, "CVQX_Error\r\n\rVersionMisMatch\r\n\r");
    EXPECT_EQ((V{j.rc, ptCurrentFile->RasterDPI, ptCurrentFile->RasterUnit}), (V{0, 5, 0}));
    EXPECT_NE(JobTimePhase.load(), 0);
}

TEST(JobTime, ReportUnderShowJobTime) {
    StartMachine(ModelXR7, true);
    JobEndTick = 9000000, VectCnt = 3, PlanCnt[2] = 12;
    DbgSet(ShowJobTime);
    EXPECT_EQ(Console([] { JobTimeTick(); }),
              "T00000 PlanCnt:12 => IDLE:     0 HOLD:     0 ACC:    12 SLEW:     0 DCC:     0 CREEP:     0 "
              "DELAY:     0 \n\rT00000 JobTimeTick: 9000000 3600000ms 01:00:00  Vect:3\n\r"
              "Pbd:0,0  Svo:0,0  Enc:-87987,6104\n\r");
    EXPECT_EQ(JobTimePhase.load(), 0);
}

}  // namespace

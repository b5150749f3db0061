// The command-file reader and the record interpreter, run in-process on the
// deterministic schedule.
#include "support/test_support.h"

using namespace corvanta_test;
using V = std::vector<int64_t>;
using S = std::vector<std::string>;

namespace {

// Every record of the text as "keyword|fields|a|b" (a and b only when read).
S Records(const std::string& text) {
    CmdReader in(text);
    S out;
    for (CmdRecord r; ReadCmdRecord(in, r) > 0;)
        out.push_back(std::string(r.keyword) + "|" + std::to_string(r.fields) + "|" +
                      (r.fields > 1 ? std::to_string(r.a) : "") + "|" + (r.fields > 2 ? std::to_string(r.b) : ""));
    return out;
}

// Numbers wrap modulo 2^32; an over-long keyword is cut to the buffer and reading goes on.
TEST(CmdReader, FieldCountsWrappedNumbersAndLongKeywords) {
    EXPECT_EQ(Records("pd_default 10 -20\r\n\tRasterDPI\n+300 ToPclMode"),
              (S{"pd_default|3|10|-20", "RasterDPI|2|300|", "ToPclMode|1||"}));
    EXPECT_EQ(Records("a 4294967297 -4294967295 b 2147483648 4294967295 " + std::string(300, 'k') + " 5 c 99999999999"),
              (S{"a|3|1|1", "b|3|-2147483648|-1", std::string(CMD_TOKEN_BUF - 1, 'k') + "|2|5|", "c|2|1215752191|"}));
    EXPECT_TRUE(Records(" \n\t ").empty());
}

// A job run through the interpreter on a machine of its own, which stays for the checks.
struct Job : Rig {
    int rc = -1;
    std::string console;
    explicit Job(std::string_view text) : Rig(ModelXR7, false) {
        rc = CorvantaCmdInterpreter(text);
        console = NewConsole();
    }
};

TEST(Interpreter, StoresFieldsAtTheirWidths) {
    Job j(
        "RasterDPI 65537 RasterUnit -1 RasterBandingFree 257 RasterPower 1000 ImageWidth -5 "
        "ImageHeight 2147483647 RasterAccelEngrave 258 RasterBuEngrave 1 RasterSpeedX 65536 "
        "RasterSpeedY 70000 RasterFiringType 3 SetVerticalPositionPCL 1 1016 SetHorizontalPositionPCL 385 -7");
    const CurrentFileRec& cf = *j.ptCurrentFile;
    EXPECT_EQ((V{cf.RasterDPI, cf.RasterUnit, cf.RasterBandingFree, cf.RasterPower, cf.ImageWidth, cf.ImageHeight,
                 cf.RasterAccelEngrave, cf.RasterBuEngrave, cf.RasterSpeedX, cf.RasterSpeedY, cf.RasterFiringType,
                 cf.ImageOffsetY, cf.ImageOffsetX, cf.ImageAbsPosFlag}),
              (V{1, 65535, 1, 1000, -5, 2147483647, 2, 1, 0, 4464, 3, 1016, -7, -127}));
}

// Each ends the job at that record (the second) with a success status and
// nothing queued: a one-value keyword with two values, a keyword alone, a
// two-value keyword with one value, keywords in neither table.  The record is
// quoted as read, the keyword cut to 60 characters.
TEST(Interpreter, RecordsThatEndTheJob) {
    const std::pair<std::string, std::string> cases[] = {
        {"RasterUnit 5 6 RasterPower 7", "RasterUnit 5 6"},
        {"SetStartRasterGraphics", "SetStartRasterGraphics"},
        {"pd_default 5 RasterPower 7", "pd_default 5"},
        {"SetStartRasterGraphics 1 2 RasterPower 7", "SetStartRasterGraphics 1 2"},
        {"Unknown 1 RasterPower 7", "Unknown 1"},
        {"pd_defaultX 1 2 RasterPower 7", "pd_defaultX 1 2"},
        {"RasterSpeedZ 1 RasterPower 7", "RasterSpeedZ 1"},
        {"pd_defaulT 1 2 RasterPower 7", "pd_defaulT 1 2"},
        {"rasterPower 1 RasterPower 7", "rasterPower 1"},
        {std::string(300, 'x') + " 1 RasterPower 7", std::string(60, 'x') + " 1"}};
    for (const auto& [text, quoted] : cases) {
        Job j("RasterDPI 300 " + text);
        ASSERT_FALSE(j.StatusLines.empty()) << text;
        EXPECT_EQ(j.StatusLines[0], "CVQX_OK") << text;
        EXPECT_EQ((V{j.rc, j.ptCurrentFile->RasterDPI, j.ptCurrentFile->RasterUnit, j.ptCurrentFile->RasterPower,
                     j.freeptr - j.VdbOnline}),
                  (V{1, 300, 0, 0, 0}))
            << text;
        ASSERT_TRUE(j.EndedEarly.has_value()) << text;
        EXPECT_EQ(std::tuple(j.EndedEarly->record, j.EndedEarly->text), std::tuple(2u, quoted)) << text;
    }
    EXPECT_FALSE(Job("RasterDPI 300 RasterPower 7").EndedEarly.has_value());
    // A keyword ends at a NUL byte, as the C string the reader stores.
    const Job nul(std::string("RasterDPI 300 RasterPower") + '\0' + "junk 7");
    EXPECT_FALSE(nul.EndedEarly.has_value());
    EXPECT_EQ(nul.ptCurrentFile->RasterPower, 7);
}

// Sixteen numbers fill pens 1..16; with fewer the unread pens keep their speeds.
// Either way the next keyword is read; version 1 may come any number of times.
TEST(Interpreter, VectorSpeedAndVersionOne) {
    Job all("CorvantaCmdVer 1 VectorSpeed 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 70000 CorvantaCmdVer 1 RasterDPI 77");
    const uint16_t* s = all.ptCurrentFile->VectorSpeed;
    EXPECT_EQ(V(s, s + 17), (V{500, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 4464}));
    EXPECT_EQ(all.ptCurrentFile->RasterDPI, 77);
    Job few("VectorSpeed 10 20 30 RasterDPI 77");
    EXPECT_EQ(few.rc, 1);
    s = few.ptCurrentFile->VectorSpeed;
    EXPECT_EQ(V(s, s + 17), (V{500, 10, 20, 30, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500}));
    EXPECT_EQ(few.ptCurrentFile->RasterDPI, 77);
}

TEST(Interpreter, PenChangesOnlyWhenThePenStateDiffers) {
    Job a("pd_default 0 0 pd_default 10 0");
    const VdbData* b = a.VdbOnline;
    EXPECT_EQ(
        (V{a.freeptr - b, b[0].kind, b[1].kind, b[1].vect.dx, b[1].vect.dy, a.positionx, a.CmdPenDown, a.VectCnt}),
        (V{2, SHORT_PEN_DOWN, VECTOR, 30, 0, 30, 1, 1}));

    // The pen selection lifts the pen but the interpreter still holds it down.
    Job s("pd_default 0 0 execute_penselect 2 pd_default 10 -4 pu_default 0 0 pd_default 0 0");
    b = s.VdbOnline;
    EXPECT_EQ((V{s.freeptr - b, b[0].kind, b[1].kind, b[2].kind, b[3].kind}),
              (V{4, SHORT_PEN_DOWN, SHORT_PEN_UP, VECTOR, SHORT_PEN_DOWN}));
    EXPECT_EQ((V{b[2].vect.dy, s.ptCurrentFile->VectorCurrentPen, s.CmdPenDown, s.PenIsUp}), (V{-12, 2, 1, 0}));
}

TEST(Interpreter, ToPclModeConvertsOnlyFromHpgl) {
    Job a("execute_penselect 1 pu_default 100 0 ToPclMode 0");
    EXPECT_EQ((V{a.LanguageMode, a.PclPosX}), (V{2, -240}));
    Job b("ToPclMode 0 ToHpglMode 0 pu_default 100 0 ToPclMode 0 pu_default 100 10 ToPclMode 0");
    EXPECT_EQ((V{b.LanguageMode, b.positionx, b.PclPosX, b.PclPosY}), (V{2, 600, 60, 55920}));
}

// A later version mismatch: earlier records stand, nothing is printed and the
// accounting is left open.
TEST(Interpreter, VersionMismatchStopsAtOnce) {
    Job j("RasterDPI 5 pu_default 100 0 CorvantaCmdVer 2 RasterUnit 9");
    EXPECT_EQ(j.StatusLines, (S{"CVQX_Error", "VersionMisMatch"}));
    EXPECT_EQ(j.console, "");
    EXPECT_EQ((V{j.rc, j.ptCurrentFile->RasterDPI, j.ptCurrentFile->RasterUnit}), (V{0, 5, 0}));
    EXPECT_NE(j.JobTimePhase.load(), 0);
}

}  // namespace

// Pen blocks, pen selection, arming, and the VdbData and planner dumps.
#include <map>
#include <tuple>
#include <vector>

#include "driver/interp.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "planner/dump.h"
#include "planner/pen.h"
#include "planner/vector.h"
#include "support/test_support.h"

using namespace corvanta_test;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0, end; (end = text.find("\n\r", at)) != std::string::npos; at = end + 2)
        out.push_back(text.substr(at, end - at));
    return out;
}

class PenBlocks : public ::testing::Test {
protected:
    void SetUp() override { StartMachine(); }
};

TEST_F(PenBlocks, RepeatedPenDownQueuesOneBlock) {
    DbgSet(PenSel);
    EXPECT_EQ(Console([] { pendnout(); pendnout(); }), "T00000 pendnout(1)\n\rT00000 pendnout(0)\n\r");
    EXPECT_EQ(std::tuple(int{VdbOnline[0].cmd}, freeptr, pbdVelType, PenIsUp),
              std::tuple(int{SHORT_PEN_DOWN}, &VdbOnline[1], int{PEN_DOWN_CLASS}, 0));
}

TEST_F(PenBlocks, FirstPenUpAfterStartQueuesNothing) {
    pbdVelType = RASTER_MOVE_CLASS;
    penupout();
    EXPECT_EQ(std::tuple(freeptr, pbdVelType), std::tuple(&VdbOnline[0], int{RASTER_MOVE_CLASS}));
}

TEST_F(PenBlocks, PenSelectWhileDownLiftsBeforeTheSpeedSetup) {
    pendnout();
    End_Delay_1 = 5, CREEP_VELOCITY = 4;   // raster values, to be put back
    ptCurrentFile->VectorSpeed[3] = 1000;
    DbgSet(SendVdb);
    const std::string out = Console([] { execute_penselect(3); });
    const size_t lift = out.find("sendvdb(S-PenUp)");
    ASSERT_NE(lift, std::string::npos);
    // Pen-up 40 in/s at level 3; pen 3 at 1000/1000 of MaxVelocity.Y (3048 x 41) with XR7's 30.
    EXPECT_LT(lift, out.find("setup_plotbed_speeds(PEN_UP         ,121920,3);\n\r"));
    EXPECT_NE(out.find("setup_plotbed_speeds(PEN_DOWN       ,124968,30);\n\r"), std::string::npos);
    EXPECT_EQ(std::tuple(int{VdbOnline[1].kind}, freeptr, PenIsUp, pbdVelType, int{ptCurrentFile->VectorCurrentPen}),
              std::tuple(int{SHORT_PEN_UP}, &VdbOnline[2], 1, int{PEN_UP_CLASS}, 3));
    EXPECT_EQ(std::tuple(int{End_Delay_1}, CREEP_VELOCITY, SVO_VectPtr.load()), std::tuple(24, 1, nullptr));
}

TEST_F(PenBlocks, PenSelectWhileUpOnlyReloadsTheSpeeds) {
    // Pen 2 keeps the start-up 500/1000: 124968 / 2 = 62484.
    EXPECT_EQ(Console([] { execute_penselect(2); }),
              "setup_plotbed_speeds(PEN_UP         ,121920,3);\n\r"
              "setup_plotbed_speeds(PEN_DOWN       ,62484,30);\n\r");
    EXPECT_EQ(freeptr, &VdbOnline[0]);
}

TEST_F(PenBlocks, PenAboveSixteenEndsTheJob) {
    try {
        execute_penselect(17);
        ADD_FAILURE() << "pen 17 accepted";
    } catch (const JobAbort& a) {
        EXPECT_EQ(a.reason, "PenParamError");
    }
    EXPECT_NO_THROW(Console([] { execute_penselect(16); }));
}

TEST_F(PenBlocks, RasterMoveSelectsTheClassWithoutTouchingThePen) {
    End_Delay_1 = 24;
    srvo_on_raster_move(RASTER_OFFSET_CLASS);
    srvo_on_ve(0, -100);
    srvo_on_raster_move(RASTER_MOVE_CLASS);
    srvo_on_ve(0, -100);
    EXPECT_EQ(std::tuple(int{VdbOnline[0].cmd}, PenIsUp), std::tuple(int{SHORT_PEN_UP}, 1));
    // RASTER_OFFSET vectors always wait 40 ticks, others End_Delay_1.
    EXPECT_EQ(std::tuple(int{VdbOnline[1].vect.end_delay}, int{VdbOnline[3].vect.end_delay}), std::tuple(40, 24));
}

TEST(PenArming, BlocksBeforeArmingDoNotStartTheServo) {
    StartMachine(ModelXR7, false);
    srvo_on_pu();
    EXPECT_EQ(SVO_VectPtr.load(), nullptr);
    srvo_off_to_on();
    srvo_on_pd();
    EXPECT_EQ(SVO_VectPtr.load(), &VdbOnline[1]);
}

TEST(PenInJob, PenSelectWhileDownIsNotFollowedByAnotherPenDown) {
    StartMachine(ModelXR7, false);
    TempDir dir;
    WriteFile(dir / "Corvanta.cmd", "pd_default 100 0\nexecute_penselect 1\npd_default 100 0\n");
    ExeDir = dir.path.string();
    Console([] { CorvantaCmdInterpreter(); });
    // Pen down, vector, pen up, then the second move at once, at pen-up speed.
    std::string kinds;
    for (int i = 0; i < 5; ++i) kinds += VdbKindTraceNames[VdbOnline[i].kind] + std::string(" ");
    EXPECT_EQ(kinds, "S-PenDn Vector S-PenUp Vector Free ");
    EXPECT_EQ(std::tuple(VdbRecordClass[3], CmdPenDown, PenIsUp), std::tuple(int{PEN_UP_CLASS}, 1, 1));
}

TEST_F(PenBlocks, PenBlockDumpsOnlyItsHeader) {
    srvo_on_pd();
    EXPECT_EQ(Console([] { VdbDump(&VdbOnline[0]); }), "==== VdbData S-PenDn  ====================\n\r");
}

TEST_F(PenBlocks, VectorDumpLayout) {
    pbdVelType = PEN_DOWN_CLASS;
    VelAccelPool[PEN_DOWN_CLASS] = {PEN_DOWN_CLASS, 200, 200, 3705, 100000, 0, 0};
    End_Delay_1 = 24;
    srvo_on_ve(100, 0);
    VectData& v = VdbOnline[0].vect;
    v.slope = 32768;
    v.minrdvel = -512;
    v.cnrvel = 65535;   // unsigned 16-bit fields print unsigned
    v.xcrash = 200;
    // Scaled values by hand: -512 as unsigned x 2^-9 = 8388607.00; 3705 << 9 x 2^-9;
    // 1 << 23 x 2^-23; 63 << 16 x 2^-16.
    const std::vector<std::pair<const char*, const char*>> fields = {
        {"slope", "32768(0.50)"},      {"majrdisth", "400"},           {"majrfract", "0"},
        {"minrdisth", "0"},            {"minrfract", "0"},             {"acclcount", "200"},
        {"currvel", "0"},              {"minrdvel", "-512(8388607.00)"}, {"minrdvel_fract", "0"},
        {"minrvel", "0(0.00)"},        {"minrvel_fract", "0"},         {"majrdvel", "1896960(3705.00)"},
        {"majrvel", "8388608(1.00)"},  {"creep", "16"},                {"angle", "0"},
        {"relativeAngle", "0"},        {"anglediff", "0(0.00)"},       {"cnrvel", "65535"},
        {"psuedodist", "0"},           {"ddr", "4128768(63.00)"},      {"high_ddr", "0"},
        {"end_delay", "24"},           {"xcrash", "200"},              {"ycrash", "0"},
        {"dx", "100"},                 {"dy", "0"},                    {"acc_index", "0"},
        {"smoothCnt", "0"},            {"smoothLoop1", "0"},           {"smoothLoop2", "0"},
        {"vectIdx", "0"}};
    std::string expected = "==== VdbData Vector   0 ==================\n\r";
    for (const auto& [name, value] : fields) {
        std::string line = name;
        line.resize(20, ' ');
        expected += line + " = " + value + "\n\r";
    }
    EXPECT_EQ(Console([] { VdbDump(&VdbOnline[0]); }), expected);
}

// srvo_on_ve prints the dump before the hand-over, while the block's kind is
// still the 0 that GetFreeVdb stored: only a free block's header shows.
// The vector dump runs before the hand-over has copied the kind; it shows the
// planned block as the vector it is (kind from cmd), not as a free block.
TEST_F(PenBlocks, DumpWhilePlanningShowsThePlannedVector) {
    DbgSet(ShowVdbVect);
    const std::vector<std::string> lines = Lines(Console([] { srvo_on_ve(100, 0); }));
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], "==== VdbData Vector   0 ==================");
    EXPECT_EQ(lines[2], "majrdisth            = 400");   // 100 plotbed units x 4
}

TEST_F(PenBlocks, PlannerDumpLayout) {
    pbdSps = 0x80000000u;   // printed with %d
    End_Delay_1 = 65535;    // printed with %u
    const std::vector<std::string> lines = Lines(Console([] { PlannerDump(); }));
    const std::vector<std::string> labels = {
        "pbdAxiaVel", "pbdAccel", "min_corner_vel", "CREEP_VELOCITY", "LowSpeed", "lowspeedflag", "pbdVelType",
        "End_Delay_1", "End_Delay_2", "End_Delay_3", "CI_Flag", "CREEP_SPEED", "diag_vel", "factor_num",
        "boundary_speed", "pbdSps", "pipeflag", "null_vector", "save_real_pen_pos_is_down", "stopptr",
        "SVO_VectPtr", "freeptr", "autoptr", "offline_freeptr", "pVelAccelPointer", "VelAccelPool"};
    const std::string rule(40, '=');
    ASSERT_EQ(lines.size(), labels.size() + 2);
    EXPECT_EQ(lines.front(), rule);
    EXPECT_EQ(lines.back(), rule);
    std::map<std::string, std::string> value;
    for (size_t i = 0; i < labels.size(); ++i) {
        std::string label = labels[i];
        label.resize(25, ' ');
        ASSERT_EQ(lines[i + 1].substr(0, 28), label + " = ");
        value[labels[i]] = lines[i + 1].substr(28);
    }
    EXPECT_EQ(std::tuple(value["pbdSps"], value["End_Delay_1"], value["pbdVelType"], value["pipeflag"]),
              std::tuple("-2147483648", "65535", "1", "1"));
    for (const char* null : {"stopptr", "SVO_VectPtr", "autoptr", "pVelAccelPointer"})
        EXPECT_EQ(value[null], "0x00000000") << null;
    EXPECT_EQ(value["freeptr"].substr(0, 2) + std::to_string(value["freeptr"].size()), "0x10");
}

}  // namespace

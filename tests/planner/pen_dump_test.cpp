// Pen blocks, pen selection and the VdbData dump.
#include <tuple>
#include <vector>

#include "support/test_support.h"

using namespace corvanta_test;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0, end; (end = text.find("\n\r", at)) != std::string::npos; at = end + 2)
        out.push_back(text.substr(at, end - at));
    return out;
}

using PenBlocks = MachineTest;

TEST_F(PenBlocks, RequestForTheStateHeldQueuesNothing) {
    pbdVelType = RASTER_MOVE_CLASS;
    penupout();  // up since start-up: no block, the class stays
    EXPECT_EQ(std::tuple(freeptr, pbdVelType), std::tuple(&VdbOnline[0], int{RASTER_MOVE_CLASS}));
    DbgSet(PenSel);
    EXPECT_EQ(Console([this] {
                  pendnout();
                  pendnout();
              }),
              "T00000 pendnout(1)\n\rT00000 pendnout(0)\n\r");
    EXPECT_EQ(std::tuple(int{VdbOnline[0].cmd}, freeptr, pbdVelType, PenIsUp),
              std::tuple(int{SHORT_PEN_DOWN}, &VdbOnline[1], int{PEN_DOWN_CLASS}, 0));
}

TEST_F(PenBlocks, PenSelectWhileDownLiftsThePen) {
    pendnout();
    End_Delay_1 = 5, CREEP_VELOCITY = 4;  // raster values, to be put back
    Console([this] { execute_penselect(3); });
    EXPECT_EQ(std::tuple(int{VdbOnline[1].kind}, freeptr, PenIsUp, pbdVelType, int{ptCurrentFile->VectorCurrentPen}),
              std::tuple(int{SHORT_PEN_UP}, &VdbOnline[2], 1, int{PEN_UP_CLASS}, 3));
    // The speed set-up waited for the servo and put the vector values back.
    EXPECT_EQ(std::tuple(int{End_Delay_1}, CREEP_VELOCITY, SVO_VectPtr.load()), std::tuple(24, 1, nullptr));
}

TEST_F(PenBlocks, PenAboveSixteenEndsTheJob) {
    int accepted = 0;
    std::string reason;
    try {
        execute_penselect(16), ++accepted;
        execute_penselect(17), ++accepted;
    } catch (const JobAbort& a) {
        reason = a.reason;
    }
    EXPECT_EQ(std::tuple(accepted, reason), std::tuple(1, std::string("PenParamError")));
}

TEST_F(PenBlocks, RasterMoveSelectsTheClassWithoutTouchingThePen) {
    srvo_on_raster_move(RASTER_OFFSET_CLASS);
    srvo_on_ve(0, -100);  // RASTER_OFFSET vectors always wait 40 ticks
    EXPECT_EQ(std::tuple(int{VdbOnline[0].cmd}, PenIsUp, int{VdbOnline[1].vect.end_delay}),
              std::tuple(int{SHORT_PEN_UP}, 1, 40));
}

TEST(PenInJob, PenSelectWhileDownIsNotFollowedByAnotherPenDown) {
    Rig m(ModelXR7, false);
    m.CorvantaCmdInterpreter("pd_default 100 0\nexecute_penselect 1\npd_default 100 0\n");
    // Pen down, vector, pen up, then the second move at once, at pen-up speed.
    std::string kinds;
    for (int i = 0; i < 5; ++i) kinds += VdbKindTraceNames[m.VdbOnline[i].kind] + std::string(" ");
    EXPECT_EQ(kinds, "S-PenDn Vector S-PenUp Vector Free ");
    EXPECT_EQ(std::tuple(m.VdbRecordClass[3], m.CmdPenDown, m.PenIsUp), std::tuple(int{PEN_UP_CLASS}, 1, 1));
}

TEST_F(PenBlocks, PenBlockAndVectorDumps) {
    srvo_on_pd();  // a pen block: the header only
    EXPECT_EQ(Console([this] { VdbDump(&VdbOnline[0]); }), "==== VdbData S-PenDn  ====================\n\r");
    srvo_on_ve(100, 0);
    VectData& v = VdbOnline[1].vect;
    v.slope = 32768, v.minrdvel = -512, v.minrvel = 3 << 22;
    v.cnrvel = 65535;  // unsigned 16-bit fields print unsigned
    const std::vector<std::string> lines = Lines(Console([this] { VdbDump(&VdbOnline[1]); }));
    ASSERT_EQ(lines.size(), 32u);
    std::string names;  // each line "%-20s = value"
    for (size_t i = 1; i < lines.size(); ++i) names += lines[i].substr(0, lines[i].find(' ')) + " ";
    EXPECT_EQ(names,
              "slope majrdisth majrfract minrdisth minrfract acclcount currvel minrdvel minrdvel_fract minrvel "
              "minrvel_fract majrdvel majrvel creep angle relativeAngle anglediff cnrvel psuedodist ddr high_ddr "
              "end_delay xcrash ycrash dx dy acc_index smoothCnt smoothLoop1 smoothLoop2 vectIdx ");
    // Scaled by hand: 32768 x 2^-16; -512 as unsigned x 2^-9 = 8388607.00; 3 x 2^22 x 2^-23.
    EXPECT_EQ(lines[1], "slope                = 32768(0.50)");
    EXPECT_EQ(lines[8], "minrdvel             = -512(8388607.00)");
    EXPECT_EQ(lines[10], "minrvel              = 12582912(1.50)");
    EXPECT_EQ(lines[18], "cnrvel               = 65535");
}

// The vector dump runs before the hand-over has copied the kind; it shows the
// planned block as the vector it is (kind from cmd), not as a free block.
TEST_F(PenBlocks, DumpWhilePlanningShowsThePlannedVector) {
    DbgSet(ShowVdbVect);
    const std::vector<std::string> lines = Lines(Console([this] { srvo_on_ve(100, 0); }));
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[0], "==== VdbData Vector   0 ==================");
    EXPECT_EQ(lines[2], "majrdisth            = 400");  // 100 plotbed units x 4
}

}  // namespace

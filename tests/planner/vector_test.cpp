// Vector segment planning: geometry, pen-up bands, linking, angle smoothing,
// the corner pass, FixMulDiv and the moves that cannot be planned.
// No test waits, so the deterministic servo never runs and no block is freed.
#include <tuple>

#include "base/fixpt.h"
#include "support/test_support.h"

using namespace corvanta_test;

namespace {

class Planner : public MachineTest {
protected:
    VectData& V(int i) { return VdbOnline[i].vect; }
};

// Pen-down class with the speed record of the chain example: axial 200 steps,
// accel 3705, creep 1, corner floor 5, end delays 24/100/3.
class VectorPlan : public Planner {
protected:
    void SetUp() override {
        pbdVelType = PEN_DOWN_CLASS;
        VelAccelPool[PEN_DOWN_CLASS] = {PEN_DOWN_CLASS, 200, 200, 3705, 100000, 0, 0};
        CREEP_VELOCITY = 1;
        min_corner_vel = 5;
        End_Delay_1 = 24, End_Delay_2 = 100, End_Delay_3 = 3;
    }
};

TEST_F(VectorPlan, GeometryOfSingleMoves) {
    // Octant, major, minor, slope, angle, acclcount of block i.
    const auto geometry = [this](int i) {
        return std::tuple{int{VdbOnline[i].octant}, V(i).majrdisth.load(), V(i).minrdisth.load(),
                          int{V(i).slope},          int{V(i).angle},       int{V(i).acclcount}};
    };
    for (auto [dx, dy] : {std::pair{300, 0}, {-100, 100}, {0, -50}, {0, 0}}) srvo_on_ve(dx, dy);
    // The zero move took no block.
    EXPECT_EQ(freeptr, &VdbOnline[3]);
    EXPECT_EQ(geometry(0), std::tuple(0, 1200, 0, 0, 0, 200));  // acclcount of slope 0: pbdAxiaVel
    // Equal axes: slope 0xFFFF, theta 45, angle |-180 + 45|; acclcount by hand:
    // (200 x 46340) >> 16 = 141 minus (4 x (65536 - 46340)) >> 16 = 1.
    EXPECT_EQ(geometry(1), std::tuple(2, 400, 400, 0xFFFF, 135, 140));
    EXPECT_EQ(geometry(2), std::tuple(5, 200, 0, 0, 270, 200));
}

// Worked example of a chain of three short vectors.  The figures it does not
// list are by hand: every block is 400 servo units long with majrdvel 3705 << 9
// and majrvel 1 << 23; the first has no minor and no predecessor.
TEST_F(VectorPlan, ChainOfThreeShortVectors) {
    const auto chain = [this](int i) {
        const VectData& v = V(i);
        return std::tuple{int{v.slope},        v.majrdisth.load(),   v.minrdisth.load(), int{v.acclcount},
                          v.majrdvel.load(),   v.majrvel.load(),     v.minrdvel.load(),  v.minrvel.load(),
                          int{v.angle},        int{v.relativeAngle}, int{v.end_delay},   v.anglediff.load(),
                          int{v.cnrvel},       v.psuedodist.load(),  v.smoothCnt.load(), v.smoothLoop1.load(),
                          v.smoothLoop2.load()};
    };
    srvo_on_ve(100, 0);
    srvo_on_ve(100, 10);
    DbgSet(AngleSmooth);
    EXPECT_EQ(Console([this] { srvo_on_ve(100, 20); }),
              "T00000 AngleSmooth prev:11  rel:6   chg:2    6=>5\n\r"
              "T00000  00 cnrvel:50  psuedoDist:99819   angleDiff:6\n\r"
              "T00000  01 cnrvel:76  psuedoDist:200535  angleDiff:5\n\r");
    EXPECT_EQ(chain(0), std::tuple(0, 400, 0, 200, 1896960, 8388608, 0, 0, 0, 0, 3, 360448, 76, 783u, 2, 0, 0));
    EXPECT_EQ(chain(1),
              std::tuple(6553, 400, 40, 199, 1896960, 8388608, 189678, 838784, 5, 5, 3, 393216, 50, 389u, 1, 1, 1));
    EXPECT_EQ(chain(2),
              std::tuple(13107, 400, 80, 196, 1896960, 8388608, 379386, 1677696, 11, 6, 24, 360448, 0, 0u, 0, 2, 2));
    EXPECT_EQ(std::tuple(V(0).creep.load(), V(0).ddr.load()), std::tuple(16u, 4128768u));
}

TEST_F(VectorPlan, EndDelayAndRelativeAngleOfTheLink) {
    srvo_on_ve(100, 0);
    srvo_on_ve(100, 0);  // collinear: relativeAngle 0, the first gets End_Delay_3
    srvo_on_ve(30, 0);   // 120 servo units, a quarter mm, before a 90-degree turn: End_Delay_2
    srvo_on_ve(0, 100);
    srvo_on_ve(29, 0);  // 116 servo units: End_Delay_3
    srvo_on_ve(0, 100);
    srvo_on_ve(100, -10);  // angle |-360 + 5| = 355 ...
    srvo_on_ve(100, 10);   // ... and 5: 350 apart, taken as 10
    EXPECT_EQ(std::tuple(int{V(0).end_delay}, int{V(1).end_delay}, int{V(2).end_delay}, int{V(4).end_delay}),
              std::tuple(3, 3, 100, 3));
    EXPECT_EQ(std::tuple(int{V(1).relativeAngle}, int{V(3).relativeAngle}, int{V(6).angle}, int{V(7).relativeAngle}),
              std::tuple(0, 90, 355, 10));
    // A constant-speed successor (pbdAxiaVel 0) leaves no end delay.
    VelAccelPool[PEN_DOWN_CLASS] = {PEN_DOWN_CLASS, 0, 0, 3705, 600, 30, 0};
    srvo_on_ve(100, 0);
    EXPECT_EQ(V(7).end_delay, 0);
}

TEST_F(VectorPlan, OneDegreeWithCloseSlopesCountsAsNoTurn) {
    // Slopes by hand: (1200 << 16) / 12800 = 6144 (5 deg), (1196 << 16) / 12800 = 6123 (4 deg),
    // (1400 << 16) / 12800 = 7168 (6 deg).
    srvo_on_ve(3200, 300);
    srvo_on_ve(3200, 299);  // 21 counts apart: 0
    srvo_on_ve(3200, 300);
    srvo_on_ve(3200, 350);  // 1024 counts apart: stays 1
    EXPECT_EQ(std::tuple(int{V(1).relativeAngle}, int{V(2).relativeAngle}, int{V(3).relativeAngle}),
              std::tuple(0, 0, 1));
}

TEST_F(VectorPlan, SuccessorLongerThanThreeMm) {
    srvo_on_ve(100, 0);
    srvo_on_ve(361, 0);  // 1444 servo units > 3 x 480
    EXPECT_EQ(std::tuple(int{V(0).cnrvel}, V(0).psuedodist.load()), std::tuple(1, 1440u));
}

TEST_F(VectorPlan, LookBackStopsAfterThirteenBlocks) {
    VelAccelPool[PEN_DOWN_CLASS].axial_vel = 2000;  // so no corner limit ends a pass early
    for (int i = 0; i < 15; ++i) srvo_on_ve(100, 0);
    // 14 short vectors lie behind block 14; block 0 is raised by the passes of
    // blocks 1..13 only (the pass of block 14 stops at block 1).
    EXPECT_EQ(std::tuple(V(14).smoothLoop1.load(), V(14).smoothLoop2.load(), V(12).smoothLoop2.load()),
              std::tuple(13, 13, 12));
    EXPECT_EQ(std::tuple(V(0).smoothCnt.load(), V(1).smoothCnt.load()), std::tuple(13, 13));
}

// Pen-up band rescaling of the record {diag 1000, axial 1200, accel 3705, sps 100000}.
class PenUpBand : public Planner {
protected:
    void SetUp() override { VelAccelPool[PEN_UP_CLASS] = {PEN_UP_CLASS, 1000, 1200, 3705, 100000, 0, 0}; }
    auto Loaded() const { return std::tuple(pbdAccel, diag_vel, pbdAxiaVel, int32_t(pbdSps)); }
};

TEST_F(PenUpBand, WorkedExampleAt300And900Mm) {
    srvo_on_ve(18000, 18000);  // 300 mm, band CD: S 778, V 89, k 39
    EXPECT_EQ(Loaded(), std::tuple(9500, 867, 1041, 222500));
    // On the block, by hand: q = 0x800000 / (9500 << 9) = 1, (1041 x 46340) >> 16 = 736.
    EXPECT_EQ(std::tuple(V(0).majrdvel.load(), int{V(0).acclcount}), std::tuple(9500 << 9, 736));
    srvo_on_ve(54000, 54000);  // 900 mm, band E
    EXPECT_EQ(Loaded(), std::tuple(3705, 4375, 5250, 100000));
}

TEST_F(PenUpBand, BandAndKindOfMove) {
    PuBandTrace = true;
    // Both deltas: 5 mm band A, 6 mm band AB, both S 300 and V 80: by hand k = 370500 / 3600 = 102.
    EXPECT_EQ(Console([this] { srvo_on_ve(300, 300); }), "\n\r PU-DxDy\n\r D<=PartA");
    EXPECT_EQ(Console([this] { srvo_on_ve(360, 360); }), "\n\r PU-DxDy\n\r PartA-B");
    EXPECT_EQ(Loaded(), std::tuple(3632, 2040, 2448, 200000));
    // Only dx: 1016 mm band A (S 3000, V 175: k 10).  Only dy: 16 mm band AB.
    EXPECT_EQ(Console([this] { srvo_on_ve(121920, 0); }), "\n\r PU-OnlyDx\n\r D<=PartA");
    EXPECT_EQ(Loaded(), std::tuple(37050, 437, 525, 437500));
    EXPECT_EQ(Console([this] { srvo_on_ve(0, -1920); }), "\n\r PU-OnlyDy\n\r PartA-B");
}

TEST(FixMulDiv, SignAndOverflow) {
    // floor(42 / 4) = 10, negative when an odd number of the operands are.
    const int32_t signs[][4] = {{6, 7, 4, 10}, {-6, 7, 4, -10}, {6, 7, -4, -10}, {-6, -7, 4, 10}, {-6, -7, -4, -10}};
    for (const auto& s : signs) EXPECT_EQ(FixMulDiv(s[0], s[1], s[2]), s[3]) << s[0] << s[1] << s[2];
    EXPECT_EQ(FixMulDiv(0x10000, 0x10000, 1), 0);             // 1 x 1 >= 1: cannot fit
    EXPECT_EQ(FixMulDiv(0x10000, -0x10000, 3), -1431655765);  // 2^32 / 3
    EXPECT_EQ(FixMulDiv(0x10000, 0x10000, 2), 0);             // 2^31: only 31 bits are produced
    EXPECT_EQ(FixMulDiv(0x7FFF0000, 0xFFFF, 65536), 0x7FFE8001);
}

TEST_F(VectorPlan, MovesBeyondTheServoRange) {
    // Planned on with a diagnostic: 0x20000001 x 4 = 0x80000004, negative but not 0.
    EXPECT_EQ(Console([this] { srvo_on_ve(0x20000001, 0); }),
              "vect->majrdisth < 0\nxdelta(536870913)ydelta(0)\nVARRESO_PbdToSvoX(4)VARRESO_PbdToSvoY(4)\n");
    EXPECT_EQ(std::tuple(int{VdbOnline[0].kind}, V(0).majrdisth.load()), std::tuple(int{VECTOR}, int32_t(0x80000004u)));
    // Record "pd_default -1073741824 5": dx = -1073741824 x 3 wraps to 2^30,
    // 4 x that is 2^32 = 0 servo units, while the minor is 60: the job ends.
    try {
        srvo_on_ve(mul_wrap(-1073741824, 3), 15);
        ADD_FAILURE() << "move accepted";
    } catch (const JobAbort& a) {
        EXPECT_EQ(a.reason, "MoveRangeError");
    }
}

}  // namespace

// Octant stepping of the servo position and the hand-over from a vector with
// a corner velocity to the next one.
#include <array>

#include "servo_blocks.h"

using namespace servo_test;

namespace {

// Displacement of a move (major, minor) in an octant, from the bit meanings
// alone: bit 0 Y major, bit 1 X negative, bit 2 Y negative.
std::tuple<int64_t, int64_t> Displacement(uint8_t oct, int64_t major, int64_t minor) {
    const int64_t dx = oct & 1 ? minor : major, dy = oct & 1 ? major : minor;
    return {oct & 2 ? -dx : dx, oct & 4 ? -dy : dy};
}

// cur executing in ISRSLEW (its tick already subtracted), nxt queued behind.
std::array<VdbData*, 2> Corner(const Vec& cur, const Vec& nxt) {
    VdbData* c = MidVector(cur, ISRSLEW);
    return {c, QueueVector(nxt)};
}

}  // namespace

TEST(OctantStep, EachOctantMovesByItsDirectionBits) {
    for (uint8_t k = 0; k < 8; ++k) {
        Start();
        OctFuncTable[k](3, 1);
        EXPECT_EQ(Vals(DX(), DY()), Displacement(k, 3, 1)) << int{k};
    }
    EXPECT_EQ(Displacement(5, 3, 1), Vals(1, -3));   // octant 5, a = 3, b = 1: X + 1, Y - 3
}

TEST(Handover, SameOctantCreditsOvershootToNext) {
    // Overshoot 2 on slope 0x8000: nxt loses 2 major and (0x8000 x -2) >> 16 =
    // -1 minor; the tick's minor 1 grows by cur's 3 left plus that 1, to 5.
    // Velocity increments are masked to multiples of 4: 0x1003 -> 0x1000.
    auto [cur, nxt] = Corner({.majr = -2, .minr = 3, .currvel = 7, .cnrvel = 5, .ddr = 0x123456, .high_ddr = 2},
                             {.majr = 100, .minr = 50, .majrvel = 0x10000, .majrdvel = 0x1003, .minrvel = 0x40000,
                              .minrdvel = 0x807, .slope = 0x8000});
    SVO_StepVect(5, 1);
    const VectData& n = nxt->vect;
    EXPECT_EQ(Vals(cur->cmd, IsrState, n.majrdisth, n.minrdisth, DX(), DY()), Vals(0, ISRACC, 98, 49, 5, 5));
    EXPECT_EQ(Vals(n.currvel, n.ddr, n.high_ddr, n.majrvel, n.minrvel),
              Vals(7, 0x123456, 2, 0x10000 + 0x1000 * 7, 0x40000 + 0x804 * 7));
    EXPECT_EQ(SVO_VectPtr.load(), nxt);
}

TEST(Handover, OddOctantNegativeMinor) {
    // 0 -> 1, the major axis turns.  M = 5 - 2 = 3 (cur's last X units).  cur
    // minor -1: nxt major 99, t = (0x4000 x -1) >> 16 = -1 (arithmetic shift,
    // not 0), nxt minor 39, M = 4.  Octant 1 moves (2, 4): X + 4, Y + 2.  The
    // minor increment is not masked here: 0x803 x 7.
    auto [cur, nxt] = Corner({.majr = -2, .minr = -1, .currvel = 7, .cnrvel = 5},
                             {.octant = 1, .majr = 100, .minr = 40, .majrdvel = 0x1003, .minrdvel = 0x803,
                              .slope = 0x4000});
    SVO_StepVect(5, 2);
    const VectData& n = nxt->vect;
    EXPECT_EQ(Vals(cur->cmd, IsrState, n.majrdisth, n.minrdisth, DX(), DY(), n.minrvel, n.majrvel),
              Vals(0, ISRACC, 99, 39, 4, 2, 0x803 * 7, 0x1000 * 7));
    // cur minor 2 left: added to the minor movement, nxt untouched: (4, 3).
    const VectData& n2 =
        Corner({.majr = -2, .minr = 2, .cnrvel = 5}, {.octant = 1, .majr = 100, .minr = 40, .slope = 0x4000})[1]->vect;
    SVO_StepVect(5, 2);
    EXPECT_EQ(Vals(n2.majrdisth, n2.minrdisth, DX(), DY()), Vals(100, 40, 3, 4));
}

TEST(Handover, EvenOctantNegatesMinor) {
    // 0 -> 4, Y changes sign.  minor 1 + 2 = 3; t = (0x5555 x -3) >> 16 = -1:
    // nxt 197 / 59, minor 3 - 1 = 2, negated; octant 4 moves Y by -(-2).
    auto [cur, nxt] = Corner({.majr = -3, .minr = 2, .currvel = 4, .cnrvel = 5},
                             {.octant = 4, .majr = 200, .minr = 60, .majrdvel = 0x1003, .minrdvel = 0x807,
                              .slope = 0x5555});
    SVO_StepVect(6, 1);
    const VectData& n = nxt->vect;
    EXPECT_EQ(Vals(cur->cmd, IsrState, n.majrdisth, n.minrdisth, DX(), DY(), n.minrvel, n.majrvel),
              Vals(0, ISRACC, 197, 59, 6, 2, 0x804 * 4, 0x1000 * 4));
}

TEST(Handover, ExactEndMovesInOldDirection) {
    // currvel 0: ISRHOLD with the end mark, nxt untouched; octant 2 moves
    // (4, 1 + 1 left): X - 4, Y + 2.
    const Vec nxtVec{.majr = 50, .majrvel = 0x1234, .minrvel = 0x100, .minrdvel = 0x807};
    auto [cur, nxt] = Corner({.octant = 2, .minr = 1, .cnrvel = 3}, nxtVec);
    JobTimePhase = 2, IsrTick = 777;
    SVO_StepVect(4, 1);
    EXPECT_EQ(Vals(cur->cmd, IsrState, JobEndTick, DX(), DY(), nxt->vect.majrvel, nxt->vect.majrdisth),
              Vals(0, ISRHOLD, 777, -4, 2, 0x1234, 50));
    EXPECT_EQ(SVO_VectPtr.load(), nxt);
    // currvel 5: the profile goes on in nxt, majrvel taken over (not added).
    const VectData& n =
        Corner({.octant = 2, .minr = 1, .majrvel = 7 * U23, .currvel = 5, .cnrvel = 3, .ddr = 0x99999},
               nxtVec)[1]->vect;
    SVO_StepVect(4, 1);
    EXPECT_EQ(Vals(IsrState, n.currvel, n.ddr, n.majrvel, n.minrvel, n.majrdisth, DX(), DY()),
              Vals(ISRACC, 5, 0x99999, 7 * U23, 0x100 + 0x804 * 5, 50, -4, 2));
}

TEST(Handover, UndoesRateDoublingBeforeCarrying) {
    // The planner may raise cnrvel after the vector has doubled its rate.
    // D = 1:0x80000001 doubled is 3:2; 0x10001 >> 1 = 0x8000; 10 -> 20 steps.
    auto [cur, nxt] = Corner({.majr = -1, .majrdvel = 0x20000, .minrdvel = 0x10001, .acclcount = 50, .currvel = 10,
                              .cnrvel = 2, .ddr = 0x80000001u, .high_ddr = 1},
                             {.majr = 100, .majrdvel = 0x1000});
    cur->vect.acc_index = 21;
    SVO_StepVect(2, 0);
    const VectData &c = cur->vect, &n = nxt->vect;
    EXPECT_EQ(Vals(c.majrdvel, c.minrdvel, c.acclcount, c.acc_index), Vals(0x10000, 0x8000, 100, 0));
    EXPECT_EQ(Vals(n.currvel, n.high_ddr, n.ddr, n.majrvel, n.majrdisth), Vals(20, 3, 2, 0x1000 * 20, 99));
}

TEST(Handover, NoCornerVelocityStepsOnPastEnd) {
    // cnrvel 0: an overshoot (-2 left) is no hand-over; the creep step ends it.
    VdbData* cur = Corner({.majr = -2}, {.majr = 100})[0];
    SVO_StepVect(3, 1);
    EXPECT_EQ(Vals(DX(), DY(), cur->cmd, IsrState), Vals(3, 1, VECTOR, ISRSLEW));
    EXPECT_EQ(SVO_VectPtr.load(), cur);
}

TEST(Handover, CornerRunEndsAtSumOfBothVectors) {
    // v1 slews at 3/tick: 10 -> 7, 4, 1, -2 (hand-over in tick 4), or 9 -> 0
    // exactly in tick 3 (tick 4 dispatches v2).  v2 (acclcount 0, D 63 above
    // its distance) creeps at majrvel 2/tick and lands the tick after it
    // reaches 0: from 18 (overshoot credited) in tick 14; in the odd case the
    // overshoot is dropped, 20 left, tick 15; exact end: 20 from tick 4, tick
    // 14.  For these octant pairs the total is v1 + v2 exactly.
    struct Case { uint8_t o1, o2; int32_t majr1, ticks; };
    for (const Case& c : {Case{0, 0, 10, 14}, Case{0, 1, 10, 15}, Case{0, 4, 10, 14}, Case{1, 3, 10, 14},
                          Case{0, 1, 9, 14}}) {
        Start();
        QueueVector({.octant = c.o1, .majr = c.majr1, .minr = 4, .majrvel = 3 * U23, .minrvel = U23 + U23 / 5,
                     .cnrvel = 1, .psuedodist = 100});
        QueueVector({.octant = c.o2, .majr = 20, .minr = 6, .majrvel = 2 * U23, .minrvel = 3 * U23 / 5,
                     .slope = 19660});
        WaitServoIdle();
        const auto [x1, y1] = Displacement(c.o1, c.majr1, 4);
        const auto [x2, y2] = Displacement(c.o2, 20, 6);
        EXPECT_EQ(Vals(DX(), DY(), JobEndTick - JobStartTick + 1), Vals(x1 + x2, y1 + y2, c.ticks))
            << int{c.o1} << "->" << int{c.o2};
    }
}

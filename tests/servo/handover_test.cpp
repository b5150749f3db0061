// Octant stepping of the servo position and the hand-over from a vector with
// a corner velocity to the next one.
#include "servo_blocks.h"

using namespace servo_test;

namespace {

using OctantStep = ServoTest;
TEST_F(OctantStep, EachOctantMovesByItsDirectionBits) {
    // (3, 1) by the bit meanings: bit 0 Y major, bit 1 X negative, bit 2 Y
    // negative.  Octant 5: X + 1, Y - 3.
    const decltype(Vals(0, 0)) want[] = {{3, 1}, {1, 3}, {-3, 1}, {-1, 3}, {3, -1}, {1, -3}, {-3, -1}, {-1, -3}};
    for (uint8_t k = 0; k < 8; ++k) {
        SvoPosX = X0, SvoPosY = Y0;
        OctStep(k, 3, 1);
        EXPECT_EQ(Vals(DX(), DY()), want[k]) << int{k};
    }
}

// cur executes in ISRSLEW with the tick's movement already subtracted, nxt is
// queued behind; SVO_StepVect(major, minor) while counting job time.  Then
// (cur cmd, nxt current, IsrState, nxt majrdisth, minrdisth, DX, DY, nxt
// majrvel, minrvel, currvel, high_ddr, ddr, JobEndTick).
struct HandoverCase {
    Vec cur, nxt;
    int32_t major, minor;
    decltype(Vals(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)) want;
};
const HandoverCase kHandovers[] = {
    // Same octant, overshoot 2, slope 0x8000: nxt loses 2 major and
    // (0x8000 x -2) >> 16 = -1 minor; the tick's minor 1 grows by cur's 3
    // left plus that 1, to 5.  Increments masked to multiples of 4:
    // 0x1003 -> 0x1000, 0x807 -> 0x804, times currvel 7.
    {{.majr = -2, .minr = 3, .currvel = 7, .cnrvel = 5, .ddr = 0x123456, .high_ddr = 2},
     {.majr = 100,
      .minr = 50,
      .majrvel = 0x10000,
      .majrdvel = 0x1003,
      .minrvel = 0x40000,
      .minrdvel = 0x807,
      .slope = 0x8000},
     5,
     1,
     Vals(0, 1, ISRACC, 98, 49, 5, 5, 0x10000 + 0x1000 * 7, 0x40000 + 0x804 * 7, 7, 2, 0x123456, 0)},
    // 0 -> 1, the major axis turns.  M = 5 - 2 = 3.  cur minor -1: nxt
    // major 99, t = (0x4000 x -1) >> 16 = -1 (arithmetic shift, not 0),
    // nxt minor 39, M = 4.  Octant 1 moves (minor 2, M 4): Y + 2, X + 4.
    // minrdvel is not masked here: 0x803 x 7.
    {{.majr = -2, .minr = -1, .currvel = 7, .cnrvel = 5},
     {.octant = 1, .majr = 100, .minr = 40, .majrdvel = 0x1003, .minrdvel = 0x803, .slope = 0x4000},
     5,
     2,
     Vals(0, 1, ISRACC, 99, 39, 4, 2, 0x1000 * 7, 0x803 * 7, 7, 0, kDdr63, 0)},
    // Same turn, cur minor 2 left: added to the minor movement, nxt's
    // distances untouched; (2 + 2, 3) gives Y + 4, X + 3.
    {{.majr = -2, .minr = 2, .cnrvel = 5},
     {.octant = 1, .majr = 100, .minr = 40, .slope = 0x4000},
     5,
     2,
     Vals(0, 1, ISRACC, 100, 40, 3, 4, 0, 0, 0, 0, kDdr63, 0)},
    // 0 -> 4, Y changes sign.  minor 1 + 2 = 3; t = (0x5555 x -3) >> 16 =
    // -1: nxt 197 / 59, minor 3 - 1 = 2, negated; octant 4 moves Y by -(-2).
    {{.majr = -3, .minr = 2, .currvel = 4, .cnrvel = 5},
     {.octant = 4, .majr = 200, .minr = 60, .majrdvel = 0x1003, .minrdvel = 0x807, .slope = 0x5555},
     6,
     1,
     Vals(0, 1, ISRACC, 197, 59, 6, 2, 0x1000 * 4, 0x804 * 4, 4, 0, kDdr63, 0)},
    // Exact end at currvel 0: ISRHOLD with the end mark, nxt untouched;
    // octant 2 moves (4, 1 + 1 left): X - 4, Y + 2.
    {{.octant = 2, .minr = 1, .cnrvel = 3},
     {.majr = 50, .majrvel = 0x1234, .minrvel = 0x100, .minrdvel = 0x807},
     4,
     1,
     Vals(0, 1, ISRHOLD, 50, 0, -4, 2, 0x1234, 0x100, 0, 0, kDdr63, 777)},
    // Exact end at currvel 5: the profile goes on in nxt, majrvel taken
    // over (not added), minrvel + 0x804 x 5.
    {{.octant = 2, .minr = 1, .majrvel = 7 * U23, .currvel = 5, .cnrvel = 3, .ddr = 0x99999},
     {.majr = 50, .majrvel = 0x1234, .minrvel = 0x100, .minrdvel = 0x807},
     4,
     1,
     Vals(0, 1, ISRACC, 50, 0, -4, 2, 7 * U23, 0x100 + 0x804 * 5, 5, 0, 0x99999, 0)},
    // cur had doubled its rate (acc_index 21): undone before carrying.
    // D = 1:0x80000001 doubled is 3:2; currvel 10 -> 20.
    {{.majr = -1,
      .majrdvel = 0x20000,
      .minrdvel = 0x10001,
      .acclcount = 50,
      .currvel = 10,
      .cnrvel = 2,
      .ddr = 0x80000001u,
      .high_ddr = 1,
      .acc_index = 21},
     {.majr = 100, .majrdvel = 0x1000},
     2,
     0,
     Vals(0, 1, ISRACC, 99, 0, 2, 0, 0x1000 * 20, 0, 20, 3, 2, 0)},
    // cnrvel 0: an overshoot (-2 left) is no hand-over; the creep step ends it.
    {{.majr = -2}, {.majr = 100}, 3, 1, Vals(VECTOR, 0, ISRSLEW, 100, 0, 3, 1, 0, 0, 0, 0, kDdr63, 0)},
};

using Handover = ServoCases<HandoverCase>;
TEST_P(Handover, OneTickAtTheEndOfACornerVector) {
    const HandoverCase& c = GetParam();
    const VdbData* cur = MidVector(c.cur, ISRSLEW);
    const VdbData* nxt = QueueVector(c.nxt);
    JobTimePhase = 2, IsrTick = 777;
    SVO_StepVect(c.major, c.minor);
    const VectData& n = nxt->vect;
    EXPECT_EQ(Vals(cur->cmd, SVO_VectPtr.load() == nxt, IsrState, n.majrdisth, n.minrdisth, DX(), DY(), n.majrvel,
                   n.minrvel, n.currvel, n.high_ddr, n.ddr, JobEndTick),
              c.want);
}
INSTANTIATE_TEST_SUITE_P(Rows, Handover, testing::ValuesIn(kHandovers));

}  // namespace

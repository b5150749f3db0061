// Velocity profile of one vector block: acceleration, slew, deceleration,
// creep, the rate doubling and the remaining-distance repair.
#include <vector>

#include "servo_blocks.h"

using namespace servo_test;

namespace {

using VectorProfile = ServoTest;

// One tick from `state`; then (DX, DY, majrdisth, minrdisth, majrfract,
// currvel, ProfileState, IsrState).  D is 63 units unless given.
struct TickCase {
    int16_t state;
    Vec v;
    uint32_t fract;
    decltype(Vals(0, 0, 0, 0, 0, 0, 0, 0)) want;
};
const TickCase kTicks[] = {
    // 3.5 units/tick + a carried half is exactly 4, fraction 0.  Minor 3
    // with 0 left is cut to minrdisth + 1 = 1, leaving -1.
    {ISRSLEW,
     {.majr = 1000, .majrvel = 3 * U23 + (1 << 22), .minrvel = 3 * U23},
     1 << 22,
     Vals(4, 1, 996, -1, 0, 0, PS_SLEW, ISRSLEW)},
    // 1.75 units/tick: step 1, fraction 0.75 = 0x600000 kept.  Minor -5
    // left, limit -4: slew compares signed, 3 > -4, the step is -4.
    {ISRSLEW,
     {.majr = 1000, .minr = -5, .majrvel = U23 + (3 << 21), .minrvel = 3 * U23},
     0,
     Vals(1, -4, 999, -1, 0x600000, 0, PS_SLEW, ISRSLEW)},
    // disth 50 - 2 = 48 < 63: to 1 unit/tick, minor 3 - 1 = 2 units;
    // deceleration compares unsigned, 2 < 0xFFFFFFFC.
    {ISRSLEW,
     {.majr = 50, .minr = -5, .majrvel = 2 * U23, .majrdvel = U23, .minrvel = 3 * U23, .minrdvel = U23, .currvel = 2},
     0,
     Vals(1, 2, 49, -7, 0, 1, PS_DCC, ISRSLEW)},
    // disth 100 - 5 = 95 < dccDist 96: decelerates to 4 units/tick.
    {ISRSLEW,
     {.majr = 100, .majrvel = 5 * U23, .majrdvel = U23, .currvel = 5, .ddr = 96 << 16},
     0,
     Vals(4, 0, 96, 0, 0, 4, PS_DCC, ISRSLEW)},
    // disth 40 < 63, majrdvel above majrvel: nothing to remove, currvel 0,
    // creeps (16 << 19 = one unit) in this tick.
    {ISRSLEW,
     {.majr = 40, .majrvel = U23 / 2, .majrdvel = U23, .acclcount = 5, .currvel = 3},
     0,
     Vals(1, 0, 39, 0, 0, 0, PS_CREEP, ISRCREEP)},
    // D' = 64 + (2 << 23 >> 7 >> 16) = 66, v' = 3: rem 61 + 8 - 3 = 66 is
    // not below 66, accelerates (minor 0 + 1 before the move); from 60,
    // rem 65 is: slews, disth 60 + 8 - 2 = 66 >= 64.
    {ISRACC,
     {.majr = 61,
      .majrvel = 2 * U23,
      .majrdvel = U23,
      .minrdvel = U23,
      .acclcount = 3,
      .currvel = 2,
      .psuedodist = 8,
      .ddr = 64 << 16},
     0,
     Vals(3, 1, 58, -1, 0, 3, PS_ACC, ISRACC)},
    {ISRACC,
     {.majr = 60, .majrvel = 2 * U23, .majrdvel = U23, .acclcount = 3, .currvel = 2, .psuedodist = 8, .ddr = 64 << 16},
     0,
     Vals(2, 0, 58, 0, 0, 2, PS_SLEW, ISRSLEW)},
    // rem 1 - 3 = -2 is 0xFFFFFFFE unsigned, not below D' 65: accelerates past the end.
    {ISRACC,
     {.majr = 1, .majrvel = 2 * U23, .majrdvel = U23, .acclcount = 5, .currvel = 2},
     0,
     Vals(3, 0, -2, 0, 0, 3, PS_ACC, ISRACC)},
    // The last velocity step that fits in 32 bits: 511.99 units/tick, accelerates.
    {ISRACC,
     {.majr = 1000000, .majrvel = static_cast<int32_t>(0xFFFFFFFFu - U23), .majrdvel = U23, .acclcount = 100, .currvel = 5},
     0,
     Vals(511, 0, 999489, 0, 0x7FFFFF, 6, PS_ACC, ISRACC)},
    // One more and v' would wrap to 0: the target counts as reached, the tick slews at the old velocity.
    {ISRACC,
     {.majr = 1000000, .majrvel = static_cast<int32_t>(0x100000000u - U23), .majrdvel = U23, .acclcount = 100, .currvel = 5},
     0,
     Vals(511, 0, 999489, 0, 0, 5, PS_SLEW, ISRSLEW)},
};
using OneTick = ServoCases<TickCase>;
TEST_P(OneTick, FromTheStateOfTheRow) {
    const TickCase& c = GetParam();
    VectData& v = MidVector(c.v, c.state)->vect;
    v.majrfract = c.fract;
    TickPass();
    EXPECT_EQ(Vals(DX(), DY(), v.majrdisth, v.minrdisth, v.majrfract, v.currvel, ProfileState, IsrState), c.want);
}
INSTANTIATE_TEST_SUITE_P(Rows, OneTick, testing::ValuesIn(kTicks));

// Vector mode (1), 3 units at creep 16 = 1/tick: 3 moving ticks, the 4th finds
// 0 and ends.  Raster mode (4), 5 units: 5 -> 4 -> 3, then the 3 left (and the
// 2 minor) at once.  acclcount 0 creeps at majrvel 2: 3 -> 1 -> -1, and the
// end call takes the extra unit back.
struct CreepCase {
    Vec v;
    int16_t creepVel;
    std::vector<int64_t> x;  // DX after each tick
};
const CreepCase kCreeps[] = {{{.majr = 3, .minr = 2, .acclcount = 10}, 1, {1, 2, 3, 3}},
                             {{.majr = 5, .minr = 2, .acclcount = 10}, 4, {1, 2, 5}},
                             {{.majr = 3, .minr = 2, .majrvel = 2 * U23}, 1, {2, 4, 3}}};
using CreepEnd = ServoCases<CreepCase>;
TEST_P(CreepEnd, DependsOnIsrCreepVel) {
    const CreepCase& c = GetParam();
    VdbData* b = MidVector(c.v, ISRCREEP);
    IsrCreepVel = c.creepVel;
    std::vector<int64_t> x;
    for (size_t k = 0; k < c.x.size(); ++k, x.push_back(DX())) TickPass();
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(Vals(DY(), IsrState, b->cmd, SVO_VectPtr.load() == b->next), Vals(2, ISRHOLD, 0, 1));
}
INSTANTIATE_TEST_SUITE_P(Rows, CreepEnd, testing::ValuesIn(kCreeps));

// Constant speed at majrvel 0 (100 >= dccDist 63, so it slews), and creep 0
// (10 < 63, so it creeps at once): neither can ever end.
const Vec kStalls[] = {{.majr = 100}, {.majr = 10, .majrdvel = U23, .acclcount = 5, .creep = 0}};
using MoveStall = ServoCases<Vec>;
TEST_P(MoveStall, ZeroVelocityWithNothingChanging) {
    VdbData* b = MidVector(GetParam(), ISRHOLD);
    TickPass();
    const uint32_t t = IsrTick;
    TickPass();  // no step runs after a fault
    EXPECT_EQ(Vals(SvoFault, SvoFaultBlock, IsrTick), Vals(SVO_FAULT_MOVE_STALL, b->blockIdx, t));
    EXPECT_THROW(WaitServoIdle(), JobAbort);
}
INSTANTIATE_TEST_SUITE_P(Rows, MoveStall, testing::ValuesIn(kStalls));

TEST_F(VectorProfile, ZeroVelocityAtTheEndOfACornerVectorHandsOver) {
    MidVector({.cnrvel = 1, .psuedodist = 100}, ISRHOLD);
    VdbData* nxt = QueueVector({.majr = 5});
    TickPass();
    EXPECT_EQ(Vals(SvoFault, IsrState, SVO_VectPtr.load() == nxt), Vals(SVO_FAULT_NONE, ISRHOLD, true));
}

// majrdvel 0x10000 < 377880.  Before call k majrvel = (k-1) x 0x10000, so
// calls 1..20 add (k-1) x 512 to D: 512 x 190 = 97280.  Call 21 rescales D,
// then adds majrvel >> 7 = 20 x 512 = 10240:
//  D0 = 63<<16: 4226048 - 0x3F0000 = 97280; /2 = 48640; + 0x3F0000 = 4177408
//  D0 = 0:      97280 < 0x3F0000 and high 0: 0x3F0000; /2 + 0x3F0000 = 6193152
//  D0 = 2^32:   high 0, ddr 97280 - 0x3F0000 + 2^32 = 4290935808; /2 + 0x3F0000 = 2149596672
struct DoublingCase {
    uint32_t high, ddr;
    int64_t expect;
};
const DoublingCase kDoublings[] = {{0, kDdr63, 4177408 + 10240}, {0, 0, 6193152 + 10240}, {1, 0, 2149596672LL + 10240}};
using RateDoubling = ServoCases<DoublingCase>;
TEST_P(RateDoubling, OnTheTwentyFirstAccelerationCall) {
    const DoublingCase& c = GetParam();
    const VectData& v = MidVector({.majr = 1000000,
                                   .majrdvel = 0x10000,
                                   .minrdvel = 0x8000,
                                   .acclcount = 100,
                                   .ddr = c.ddr,
                                   .high_ddr = c.high},
                                  ISRHOLD)
                            ->vect;
    for (int i = 0; i < 21; ++i) TickPass();
    // Rates doubled, steps halved (currvel 20 >> 1, then one more), velocities kept.
    EXPECT_EQ(Vals(v.acc_index, v.majrdvel, v.minrdvel, v.acclcount, v.currvel, v.majrvel, v.minrvel),
              Vals(21, 0x20000, 0x10000, 50, 11, 20 * 0x10000 + 0x20000, 20 * 0x8000 + 0x10000));
    EXPECT_EQ(Vals(v.high_ddr, v.ddr), Vals(0, c.expect));
    TickPass();
    EXPECT_EQ(v.majrdvel.load(), 0x20000);  // once per vector
}
INSTANTIATE_TEST_SUITE_P(Rows, RateDoubling, testing::ValuesIn(kDoublings));

// No counting for a vector that continues into the next, nor at 377880.
const Vec kNoDoublings[] = {
    {.majrdvel = 0x10000, .cnrvel = 1}, {.majrdvel = 0x10000, .psuedodist = 5}, {.majrdvel = 377880}};
using NoRateDoubling = ServoCases<Vec>;
TEST_P(NoRateDoubling, ForCornersOrLargeSteps) {
    Vec c = GetParam();
    c.majr = 1000000, c.acclcount = 100;
    const VectData& v = MidVector(c, ISRHOLD)->vect;
    for (int i = 0; i < 25; ++i) TickPass();
    EXPECT_EQ(Vals(v.acc_index, v.majrdvel, v.currvel), Vals(0, c.majrdvel, 25));
}
INSTANTIATE_TEST_SUITE_P(Rows, NoRateDoubling, testing::ValuesIn(kNoDoublings));

TEST_F(VectorProfile, NegativeDistanceIsRepaired) {
    // disth = -5 + 0 - 2 = -7 < 0: diagnostic, then majrdisth = dccDist - 1 = 9.
    VdbData* b = MidVector({.majr = -5, .majrvel = 2 * U23, .ddr = 10 << 16}, ISRSLEW);
    int32_t disth = 0;
    const std::string out = Console([&] { disth = SVO_GetMajrDistH(); });
    EXPECT_EQ(out.rfind("disth < 0\nSVO_GetMajrDistH(-5) SVO_Vect().psuedodist(0)\ndisth(-7)= (", 0), 0u) << out;
    EXPECT_TRUE(out.ends_with("), FPF_Vel_ShiftI(23)\ndisth(-7), dccDist(10)dccDist(10)\n")) << out;
    EXPECT_EQ(Vals(disth, b->vect.majrdisth), Vals(9, 9));
}

TEST_F(VectorProfile, WholeVectorWorkedByHand) {
    // 100 units at 1 unit/tick^2 up to 2 units/tick (acclcount 2), D 63 units:
    //  1: rem 100 - 1 = 99 >= D' 63: speed 1, moves 1 (99 left), D 63 + 0
    //  2: rem 99 - 2 = 97 >= D' 63 + 1: speed 2, moves 2 (97 left), D 64
    //  3-18: currvel + 1 > 2: slew while left - 2 >= 64, 97 -> 65 in 16 ticks
    //  19: disth 65 - 2 = 63 < dccDist 64: decelerate to 1, D 64 - 1 = 63,
    //      moves 1 (64 left)
    //  20: disth 64 - 1 = 63, not below 63: slews again, moves 1 (63 left)
    //  21: disth 62 < 63: decelerate with currvel 1 to 0 (stores ISRCREEP),
    //      moves 0; the next tick runs the creep step
    //  22-84: creeps the 63 units at 1/tick; 85: 0 left, lands; 86: idles.
    const uint32_t t0 = IsrTick;
    const uint8_t ps0 = ProfileState;
    QueueVector({.majr = 100, .majrdvel = U23, .acclcount = 2});
    std::vector<int64_t> x, want;
    while (SVO_VectPtr.load() != nullptr && x.size() < 200) TickPass(), x.push_back(DX());
    // Units moved per tick, from the above: 1; 2 in ticks 2-18; 1, 1; 0; 1 in 22-84; 0, 0.
    for (auto [units, ticks] : {std::pair{1, 1}, {2, 17}, {1, 2}, {0, 1}, {1, 63}, {0, 2}})
        while (ticks-- > 0) want.push_back((want.empty() ? 0 : want.back()) + units);
    EXPECT_EQ(x, want);
    EXPECT_EQ(Vals(JobStartTick, JobEndTick), Vals(t0 + 1, t0 + 85));
    // Booked under the state the tick before left: 2 HOLD (after the
    // dispatch), 3 ACC, 4-19 and 21 SLEW, 20 and 22 DCC, 23-86 CREEP.
    EXPECT_EQ(Vals(PlanCnt[PS_HOLD] - (ps0 == PS_HOLD), PlanCnt[PS_ACC], PlanCnt[PS_SLEW], PlanCnt[PS_DCC],
                   PlanCnt[PS_CREEP], PlanCnt[PS_DELAY]),
              Vals(1, 1, 17, 2, 64, 0));
}

}  // namespace

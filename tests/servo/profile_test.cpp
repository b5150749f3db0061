// Velocity profile of one vector block: acceleration, slew, deceleration,
// creep, the rate doubling and the remaining-distance repair.
#include <vector>

#include "fwShare/servo/profile.h"
#include "servo_blocks.h"

using namespace servo_test;

TEST(VectorProfile, CommonMoveCarriesFractionAndClampsMinor) {
    // 3.5 units/tick plus a carried half unit is exactly 4, fraction 0.  Minor
    // 3 units with 0 left is cut to minrdisth + 1 = 1, leaving -1.
    VectData* v = &MidVector({.majr = 1000, .majrvel = 3 * U23 + (1 << 22), .minrvel = 3 * U23}, ISRSLEW)->vect;
    v->majrfract = 1 << 22;
    TickPass();
    EXPECT_EQ(Vals(DX(), v->majrfract, v->majrdisth, DY(), v->minrdisth, ProfileState),
              Vals(4, 0, 996, 1, -1, PS_SLEW));
    // minrdisth -5, limit -4.  Slew compares signed: 3 > -4, the step is -4.
    v = &MidVector({.majr = 1000, .minr = -5, .majrvel = U23, .minrvel = 3 * U23}, ISRSLEW)->vect;
    TickPass();
    EXPECT_EQ(Vals(DY(), v->minrdisth), Vals(-4, -1));
    // Deceleration (disth 50 - 2 = 48 < 63) compares unsigned: 3 < 0xFFFFFFFC.
    v = &MidVector({.majr = 50, .minr = -5, .majrvel = 2 * U23, .majrdvel = U23, .minrvel = 3 * U23, .currvel = 2},
                   ISRSLEW)->vect;
    TickPass();
    EXPECT_EQ(Vals(ProfileState, DY(), v->minrdisth), Vals(PS_DCC, 3, -8));
}

TEST(VectorProfile, DecelWithNothingToRemoveCreepsAtOnce) {
    // disth 40 < 63 but majrdvel above majrvel: currvel 0, creep (1 unit) now.
    const VectData& v =
        MidVector({.majr = 40, .majrvel = U23 / 2, .majrdvel = U23, .acclcount = 5, .currvel = 3}, ISRSLEW)->vect;
    TickPass();
    EXPECT_EQ(Vals(IsrState, ProfileState, v.currvel, DX()), Vals(ISRCREEP, PS_CREEP, 0, 1));
}

TEST(VectorProfile, CreepEndDependsOnIsrCreepVel) {
    // Vector mode (1), 3 units at 1/tick: 3 moving ticks, the 4th finds 0
    // and ends.  Raster mode (4), 5 units: 5 -> 4 -> 3, then the 3 left (and
    // the 2 minor) at once.  acclcount 0 creeps at majrvel 2: 3 -> 1 -> -1,
    // and the end call takes the extra unit back.
    struct Case { Vec v; int16_t creepVel; std::vector<int64_t> x; };
    for (const Case& c : {Case{{.majr = 3, .minr = 2, .acclcount = 10}, 1, {1, 2, 3, 3}},
                          Case{{.majr = 5, .minr = 2, .acclcount = 10}, 4, {1, 2, 5}},
                          Case{{.majr = 3, .minr = 2, .majrvel = 2 * U23}, 1, {2, 4, 3}}}) {
        VdbData* b = MidVector(c.v, ISRCREEP);
        IsrCreepVel = c.creepVel;
        std::vector<int64_t> x;
        for (size_t k = 0; k < c.x.size(); ++k, x.push_back(DX())) TickPass();
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(Vals(DY(), IsrState, b->cmd), Vals(2, ISRHOLD, 0));
        EXPECT_EQ(SVO_VectPtr.load(), b->next);
    }
}

TEST(VectorProfile, ZeroVelocityWithNothingChangingIsMoveStall) {
    // Constant speed at majrvel 0 (100 >= dccDist 63, so it slews), and creep
    // 0 (10 < 63, so it creeps at once): neither can ever end.
    for (const Vec& v : {Vec{.majr = 100}, Vec{.majr = 10, .majrdvel = U23, .acclcount = 5, .creep = 0}}) {
        VdbData* b = MidVector(v, ISRHOLD);
        TickPass();
        const uint32_t t = IsrTick;
        TickPass();   // no step runs after a fault
        EXPECT_EQ(Vals(SvoFault, SvoFaultBlock, IsrTick), Vals(SVO_FAULT_MOVE_STALL, b->blockIdx, t));
        EXPECT_THROW(WaitServoIdle(), JobAbort);
    }
    // Velocity 0 exactly at the end of a corner vector hands over instead.
    MidVector({.cnrvel = 1, .psuedodist = 100}, ISRHOLD);
    VdbData* nxt = QueueVector({.majr = 5});
    TickPass();
    EXPECT_EQ(Vals(SvoFault, IsrState), Vals(SVO_FAULT_NONE, ISRHOLD));
    EXPECT_EQ(SVO_VectPtr.load(), nxt);
}

TEST(VectorProfile, RateDoublesOnTwentyFirstAccelerationCall) {
    // majrdvel 0x10000 < 377880.  Before call k majrvel = (k-1) x 0x10000, so
    // calls 1..20 add (k-1) x 512 to D: 512 x 190 = 97280.  Call 21 rescales
    // D, then adds majrvel >> 7 = 20 x 512 = 10240:
    //  D0 = 63<<16: 4226048 - 0x3F0000 = 97280; /2 = 48640; + 0x3F0000 = 4177408
    //  D0 = 0:      97280 < 0x3F0000 and high 0: 0x3F0000; /2 + 0x3F0000 = 6193152
    //  D0 = 2^32:   high 0, ddr 97280 - 0x3F0000 + 2^32 = 4290935808; /2 + 0x3F0000 = 2149596672
    struct Case { uint32_t high, ddr; int64_t expect; };
    for (const Case& c : {Case{0, kDdr63, 4177408 + 10240}, Case{0, 0, 6193152 + 10240},
                          Case{1, 0, 2149596672LL + 10240}}) {
        const VectData& v = MidVector({.majr = 1000000, .majrdvel = 0x10000, .minrdvel = 0x8000, .acclcount = 100,
                                       .ddr = c.ddr, .high_ddr = c.high}, ISRHOLD)->vect;
        for (int i = 0; i < 20; ++i) TickPass();
        EXPECT_EQ(Vals(v.acc_index, v.currvel), Vals(20, 20));
        TickPass();
        // Rates doubled, steps halved (20 >> 1, then one more), velocities kept.
        EXPECT_EQ(Vals(v.acc_index, v.majrdvel, v.minrdvel, v.acclcount, v.currvel, v.majrvel, v.minrvel),
                  Vals(21, 0x20000, 0x10000, 50, 11, 20 * 0x10000 + 0x20000, 20 * 0x8000 + 0x10000));
        EXPECT_EQ(Vals(v.high_ddr, v.ddr), Vals(0, c.expect));
        TickPass();
        EXPECT_EQ(v.majrdvel.load(), 0x20000);   // once per vector
    }
    // No counting for a vector that continues into the next, nor at 377880.
    for (Vec c : {Vec{.majrdvel = 0x10000, .psuedodist = 5}, Vec{.majrdvel = 0x10000, .cnrvel = 1},
                  Vec{.majrdvel = 377880}}) {
        c.majr = 1000000, c.acclcount = 100;
        const VectData& v = MidVector(c, ISRHOLD)->vect;
        for (int i = 0; i < 25; ++i) TickPass();
        EXPECT_EQ(Vals(v.acc_index, v.majrdvel, v.currvel), Vals(0, c.majrdvel, 25));
    }
}

TEST(VectorProfile, MajrDistHRepairsNegativeDistance) {
    // disth = -5 + 0 - 2 = -7 < 0: four lines, then majrdisth = dccDist - 1 = 9.
    VdbData* b = MidVector({.majr = -5, .majrvel = 2 * U23, .ddr = 10 << 16}, ISRSLEW);
    int32_t disth = 0;
    std::string out = corvanta_test::Console([&] { disth = SVO_GetMajrDistH(); });
    const std::string head =
        "disth < 0\nSVO_GetMajrDistH(-5) SVO_Vect().psuedodist(0)\ndisth(-7)= (SVO_Vect().majrvel(";
    const std::string tail = "), FPF_Vel_ShiftI(23)\ndisth(-7), dccDist(10)dccDist(10)\n";
    EXPECT_TRUE(out == head + "16777216" + tail || out == head + "2" + tail) << out;   // either form of majrvel
    EXPECT_EQ(Vals(disth, b->vect.majrdisth), Vals(9, 9));
    // 0x1000010 + 3 - 1 = 0x1000012 > 0x1000000: lines only; the starved
    // planner (m_npbdrvCnt 101) adds disth1 with majrvel >> 23 = 1.
    b = MidVector({.majr = 0x1000010, .majrvel = U23, .psuedodist = 3}, ISRSLEW);
    m_npbdrvCnt = 101;
    out = corvanta_test::Console([&] { disth = SVO_GetMajrDistH(); });
    EXPECT_EQ(out.rfind("disth > 0x1000000\nSVO_GetMajrDistH(16777232) SVO_Vect().psuedodist(3)\n", 0), 0u);
    EXPECT_NE(out.find("dccDist(63)\ndisth1(16777234)SVO_Vect().majrvel(1)\ndccDist(63)\n"), std::string::npos);
    EXPECT_EQ(Vals(disth, b->vect.majrdisth), Vals(0x1000012, 0x1000010));
}

TEST(VectorProfile, WholeVectorWorkedByHand) {
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
    Start();
    const uint32_t t0 = IsrTick;
    const uint8_t ps0 = ProfileState;
    auto run = [](const Vec& v) {
        QueueVector(v);
        std::vector<int64_t> x;
        while (SVO_VectPtr.load() != nullptr && x.size() < 200) TickPass(), x.push_back(DX());
        return x;
    };
    const std::vector<int64_t> x = run({.majr = 100, .majrdvel = U23, .acclcount = 2});
    std::vector<int64_t> want = {1, 3};
    for (int64_t p = 5; p <= 35; p += 2) want.push_back(p);
    want.insert(want.end(), {36, 37, 37});
    for (int64_t p = 38; p <= 100; ++p) want.push_back(p);
    want.insert(want.end(), {100, 100});
    EXPECT_EQ(x, want);
    EXPECT_EQ(Vals(JobStartTick, JobEndTick), Vals(t0 + 1, t0 + 85));
    // Booked under the state the tick before left: 2 HOLD (after the
    // dispatch), 3 ACC, 4-19 and 21 SLEW, 20 and 22 DCC, 23-86 CREEP.
    EXPECT_EQ(Vals(PlanCnt[PS_HOLD] - (ps0 == PS_HOLD), PlanCnt[PS_ACC], PlanCnt[PS_SLEW], PlanCnt[PS_DCC],
                   PlanCnt[PS_CREEP], PlanCnt[PS_DELAY]),
              Vals(1, 1, 17, 2, 64, 0));
    // 72 units up to 3/tick.  Tick 3: rem 69 - 3 = 66 equals D' 64 + 2, not
    // below, so it accelerates (6 moved, 66 left, D 66).  4: disth 63 < 66,
    // to 2/tick, D 64 (8).  5: disth 62 < 64, to 1/tick, D 63 (9).  6: to 0,
    // creep.  7-69 creep 63 units; 70 lands; 71 idles.
    Start();
    want = {1, 3, 6, 8, 9, 9};
    for (int64_t p = 10; p <= 72; ++p) want.push_back(p);
    want.insert(want.end(), {72, 72});
    EXPECT_EQ(run({.majr = 72, .majrdvel = U23, .acclcount = 3}), want);
}

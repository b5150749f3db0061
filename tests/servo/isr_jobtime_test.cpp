// ISR hold and delay steps, and job time: the marks, the census, the
// arithmetic, the job-length guard and the end-of-job report.
#include <numeric>

#include "servo_blocks.h"

using namespace servo_test;

namespace {

class Isr : public ServoTest {
protected:
    int64_t CensusSum() const { return std::accumulate(PlanCnt, PlanCnt + PROFILE_STATE_COUNT, int64_t{0}); }
};
using JobTime = Isr;

TEST_F(Isr, PenBlockThenFreeBlockTakesTwoTicks) {
    const uint32_t t0 = IsrTick;
    VdbData* pen = QueuePen(SHORT_PEN_UP);
    TickPass();
    EXPECT_EQ(Vals(pen->cmd, IsrState, ProfileState, SVO_VectPtr.load() == pen->next), Vals(0, ISRHOLD, PS_HOLD, 1));
    TickPass(), TickPass();  // the free block makes the servo idle, then no tick runs
    // Nothing moved; pen blocks never start the count; the census runs while armed.
    EXPECT_EQ(Vals(IsrTick - t0, DX(), DY(), JobTimePhase, JobStartTick, JobEndTick, CensusSum(), !SVO_VectPtr.load()),
              Vals(2, 0, 0, 1, 0, 0, 2, 1));
}

TEST_F(Isr, EndDelayThreeGivesFourDelayTicks) {
    // 2 units creeping at 1/tick (2 < dccDist 63): moves in ticks 1 and 2,
    // lands in 3, counts 3 -> 0 in ticks 4..6, back to hold in 7 (end mark),
    // the pen block behind it goes in tick 8, the free block idles in 9.
    const uint32_t t0 = IsrTick;
    const uint8_t ps0 = ProfileState;
    VdbData* vec = QueueVector({.majr = 2, .majrdvel = U23, .acclcount = 2, .end_delay = 3});
    VdbData* pen = QueuePen(SHORT_PEN_DOWN);
    const std::tuple<int64_t, int64_t, int64_t, int64_t> after[] = {
        {ISRCREEP, PS_HOLD, 0, VECTOR}, {ISRCREEP, PS_CREEP, 0, VECTOR}, {ISRDELAY, PS_CREEP, 3, 0},
        {ISRDELAY, PS_DELAY, 2, 0},     {ISRDELAY, PS_DELAY, 1, 0},      {ISRDELAY, PS_DELAY, 0, 0},
        {ISRHOLD, PS_DELAY, 0, 0},      {ISRHOLD, PS_HOLD, 0, 0},        {ISRHOLD, PS_HOLD, 0, 0}};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(pen->cmd.load(), k < 8 ? SHORT_PEN_DOWN : 0) << "before tick " << k + 1;
        TickPass();
        EXPECT_EQ(Vals(IsrState, ProfileState, EndDelayCount, vec->cmd), after[k]) << "tick " << k + 1;
    }
    EXPECT_EQ(Vals(DX(), JobStartTick, JobEndTick, SVO_VectPtr.load() == nullptr), Vals(2, t0 + 1, t0 + 7, 1));
    // Booked under the state left by the tick before: ticks 2 and 9 HOLD
    // (the first although the dispatch tick moved), 3-4 CREEP, 5-8 DELAY,
    // tick 1 whatever start-up left.
    EXPECT_EQ(Vals(PlanCnt[PS_HOLD] - (ps0 == PS_HOLD), PlanCnt[PS_CREEP], PlanCnt[PS_DELAY], CensusSum()),
              Vals(2, 2, 4, 9));
}

TEST_F(JobTime, MarksFollowStateStores) {
    // (tick, new state, then phase, start, end) in order, from ISRIDLE while
    // armed: leaving ISRIDLE starts nothing; leaving hold starts the count
    // (even for ISRIDLE) once per arming; every return to hold, but not hold
    // to hold, moves the end.
    IsrState = ISRIDLE;
    const int64_t steps[][5] = {{10, ISRACC, 1, 0, 0},    {11, ISRHOLD, 1, 0, 0},   {12, ISRIDLE, 2, 12, 0},
                                {20, ISRHOLD, 2, 12, 20}, {25, ISRHOLD, 2, 12, 20}, {30, ISRDELAY, 2, 12, 20},
                                {40, ISRHOLD, 2, 12, 40}};
    for (const auto& s : steps) {
        IsrTick = static_cast<uint32_t>(s[0]), SVO_SetIsrState(static_cast<int16_t>(s[1]));
        EXPECT_EQ(Vals(JobTimePhase, JobStartTick, JobEndTick), Vals(s[2], s[3], s[4])) << "tick " << s[0];
    }
}

TEST_F(JobTime, TickArithmetic) {
    // ms = 2 x ticks / 5; minutes = ms / 60000; seconds = rest / 1000.
    auto f = [](int32_t s, int32_t e) {
        auto j = JobTimeOf(s, e);
        return Vals(j.ticks, j.ms, j.minutes, j.seconds);
    };
    EXPECT_EQ(f(0, 1000000), Vals(1000000, 400000, 6, 40));         // 2000000 / 5
    EXPECT_EQ(f(0, 9000000), Vals(9000000, 3600000, 60, 0));        // 18000000 / 5
    EXPECT_EQ(f(INT32_MAX - 4, INT32_MIN + 5), Vals(10, 4, 0, 0));  // 32-bit difference
    // 0xA0000000 ticks: 2 x ticks mod 2^32 = 0x40000000 = 1073741824, / 5 =
    // 214748364 ms; 3579 x 60000 = 214740000, rest 8364: 3579:8.
    EXPECT_EQ(f(0, INT32_MIN + 0x20000000), Vals(INT32_MIN + 0x20000000, 214748364, 3579, 8));
}

// The end of the job closes the count (phase 0); the census, the figures and
// the position line are printed only under ShowJobTime.
TEST_F(JobTime, ReportOnlyUnderShowJobTime) {
    JobEndTick = 9000000, VectCnt = 3, PlanCnt[PS_ACC] = 12;
    EXPECT_EQ(Vals(Console([this] { JobTimeTick(); }).size(), JobTimePhase), Vals(0, 0));
    JobTimePhase = 2;
    DbgSet(ShowJobTime);
    EXPECT_EQ(Console([this] { JobTimeTick(); }),
              "T00000 PlanCnt:12 => IDLE:     0 HOLD:     0 ACC:    12 SLEW:     0 DCC:     0 CREEP:     0 "
              "DELAY:     0 \n\rT00000 JobTimeTick: 9000000 3600000ms 01:00:00  Vect:3\n\r"
              "Pbd:0,0  Svo:0,0  Enc:-87987,6104\n\r");
    EXPECT_EQ(JobTimePhase.load(), 0);
}

TEST_F(JobTime, JobLengthGuardStopsStepping) {
    // Limit 5 from the dispatch tick s: steps in s..s+4 move 5 units (50 <
    // 63 creeps at 1/tick); tick s+5 raises the fault instead, then nothing runs.
    JobTickLimit = 5;
    QueueVector({.majr = 50, .majrdvel = U23, .acclcount = 2});
    for (int k = 0; k < 20; ++k) TickPass();
    EXPECT_EQ(Vals(SvoFault, IsrTick - JobStartTick, DX()), Vals(SVO_FAULT_JOB_TOO_LONG, 5, 5));
    std::string reason;
    try {
        WaitServoIdle();
    } catch (const JobAbort& a) {
        reason = a.reason;
    }
    EXPECT_EQ(reason, "JobTooLong");
}

}  // namespace

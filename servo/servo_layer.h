// The servo interrupt layer: one SVO_IsrStep per tick (0.4 ms of machine
// time), the velocity profile of the current vector block, octant stepping of
// the commanded servo position, and the job-time marks and census.
//
// The tick routine is simple and dumb by design.  It runs inside the tick
// pass of whichever schedule drives it; all it knows of the schedule is how
// it reaches the shared words (atomically beside a planning thread, as plain
// memory when it runs alone: the access policy of base/atom.h).  It may not
// allocate, take locks, sleep or do I/O; the only output is the console
// diagnostics of the velocity profile, what a debug category asks for, and
// the tick trace when one is requested.
//
// In the deterministic schedule a run of ticks that only repeats the
// constant-velocity slew or creep step, accelerates, decelerates or counts an
// end delay down is applied at once in closed form (skip-ahead,
// servo/skip.cpp), with the same outcome.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/atom.h"
#include "base/fixpt.h"
#include "corvanta/explain.h"
#include "ring/ring_layer.h"
#include "servo/isr.h"
#include "servo/jobtime.h"

namespace corvanta {

// Remaining major distances (servo units) above this are reported once per block.
constexpr int32_t DISTH_DIAG_LIMIT = 0x1000000;
// Waits of the planner for a free block (1 ms each) after which the servo
// reports a starved planner once per block.
constexpr int32_t STARVED_WAIT_LIMIT = 100;
// majrdvel (9.23) below this is doubled on the 21st acceleration tick of a vector that ends at rest.
constexpr uint32_t RATE_DOUBLING_LIMIT = 377880;  // 0x5C418

// The velocity of the creep step (9.23): the creep velocity of a vector with
// a target velocity, else its constant velocity.
template <class V>
uint32_t CreepVelocity(const V& v) {
    return v.acclcount != 0 ? static_cast<uint32_t>(v.creep) << CREEP_TO_VEL_SHIFT : static_cast<uint32_t>(v.majrvel);
}

struct ServoLayer : RingLayer {
    using RingLayer::RingLayer;

    // --- the interrupt (written by the servo side)
    int16_t IsrState = ISRIDLE;        // ISR state; every store goes through SVO_SetIsrState
    uint8_t ProfileState = PS_IDLE;    // velocity-profile state; indexes PlanCnt
    Atom<uint32_t> IsrTick{};          // ticks so far, incremented before each ISR step
    int32_t EndDelayCount = 0;         // remaining end-of-vector delay ticks
    Atom<int32_t> SvoFault{};          // set once by the servo side; no step runs after it
    uint8_t SvoFaultBlock = 0;         // blockIdx of the block that stalled (written before SvoFault)
    int32_t SvoPosX = 0, SvoPosY = 0;  // commanded servo position, servo units

    // --- job-time marks and census (the servo side; armed by the planner)
    Atom<int32_t> JobTimePhase{};               // 0 not armed, 1 armed, 2 counting
    int32_t JobStartTick = 0;                   // IsrTick when counting began (0 until then)
    int32_t JobEndTick = 0;                     // IsrTick at the last return to hold while counting
    int32_t PlanCnt[PROFILE_STATE_COUNT] = {};  // ticks per ProfileState, counted while armed or counting
    uint32_t JobTickLimit = JOB_TICK_LIMIT;     // job length (ticks) at which the job is stopped
    std::FILE* TickTraceFile = nullptr;         // CSV of every executed ISR step, or null

    // --- the explanation of the job time (servo side; only while Explaining)
    // Ticks of the counting phase are booked to an activity, a pen and a
    // record as they run, and become part of the job time when the end mark
    // moves past them; ticks after the last return to hold are not job time.
    bool Explaining = false;
    uint64_t PendingTicks[explain::kActivities] = {};  // booked since the last end mark
    uint64_t PendingPen[explain::kPens] = {};
    explain::Breakdown Booked{};                   // ticks up to the end mark
    std::vector<explain::TimeSpan> BookedSpans;    // job-time ticks from the start mark
    std::vector<explain::Segment> BookedSegments;  // executed vector blocks
    // Runs of ticks spent on one record's blocks, in execution order.
    struct RecordRun {
        uint32_t record;
        uint32_t firstTick, lastTick;  // IsrTick values
    };
    std::vector<RecordRun> BookedRecords;
    int32_t SegStartX = 0, SegStartY = 0;  // servo position where the next segment starts
    uint32_t BlockPeakVel = 0;             // highest major velocity of the executing block, 9.23
    uint32_t LastBookedRecord = 0;         // record of the last block run (end delays follow it)
    // What the last booking was made for, so that the next ticks of the same
    // block in the same state cost a few additions.
    struct BookingKey {
        const VdbData* block = nullptr;
        int16_t state = -1;             // IsrState
        uint8_t kind = 0;               // the block's kind
        uint8_t activity = 0, pen = 0;  // what was booked
        uint32_t nextTick = 0;          // IsrTick right after the booked ticks
    };
    BookingKey LastBooking;

    // --- skip-ahead (the deterministic schedule only; see servo/skip.cpp)
    bool SkipAheadEnabled = true;  // runs of plain slew, creep and delay ticks are applied in closed form
    // Host-side statistics, not part of any result the machine reports: ticks
    // run one by one through TickPass, and ticks applied by skip-ahead.
    uint64_t TicksRun = 0;
    uint64_t TicksSkipped = 0;

    // One pass of the tick loop: when a block is current and no block is being
    // handed over, count the tick, book it in the census and run one ISR step.
    // The steps are inlined into it (the rare ones are kept out: noinline).
    [[gnu::flatten]] void TickPass();
    // The tick loop of the deterministic schedule, where no other thread
    // touches the machine (its ticks use plain memory, SoleAccess): runs ticks
    // (where skip-ahead applies, a run of plain ticks at once, then one tick)
    // while a block is current, no servo fault is raised and, when `busy` is
    // given, that block is still busy (cmd != 0).
    [[gnu::flatten]] void RunTicks(const VdbData* busy);
    // Applies at once the ticks from here on that would only repeat a
    // constant-velocity slew or creep step or count an end delay down,
    // stopping before the first tick that would do anything else.  Returns
    // the ticks applied (0 when none, or when a tick trace is written).
    [[gnu::noinline]] uint64_t SkipAhead();

    // Store a new ISR state under the job-time rule (start mark when leaving hold
    // while armed, end mark at every return to hold while counting).
    void SVO_SetIsrState(int16_t newState);
    void SVO_IsrStep();
    void SVO_RaiseFault(int32_t code);
    void JobTimeArm();  // JobTimePhase = 1, PlanCnt cleared

    // profile.cpp: the steps of the current block
    void SVO_AccStep();
    void SVO_SlewStep();
    void SVO_DccStep();
    void SVO_CreepStep();
    int32_t SVO_GetMajrDistH();

    // octant.cpp
    void SVO_SetVectPtr(VdbData* b);
    void SVO_StepVect(int32_t major, int32_t minor);
    // Moves the servo position by a major and a minor movement in octant oct
    // (bit0: Y major, bit1: dx < 0, bit2: dy < 0).
    void OctStep(uint8_t oct, int32_t major, int32_t minor);

    void servo_init(int mode, int16_t gainX, int16_t gainY);

    // booking.cpp: the explanation's bookkeeping (called only while Explaining)
    void BookTicks(const VdbData* cur, uint32_t firstTick, uint32_t n);
    void BookEndMark();
    // What the explanation needs of a block, read before the block is freed.
    struct FinishedBlock {
        explain::Activity activity = explain::Activity::Other;
        uint16_t slope = 0;  // minor / major, 0.16
        uint32_t record = 0;
    };
    FinishedBlock FinishedOf(const VdbData* b) const;
    void BookSegmentEnd(const FinishedBlock& f);
    explain::Activity ActivityOf(const VdbData* cur) const;
    void servo_off();

private:
    // The tick and its steps on block b, the current one (SVO_VectPtr), under
    // the access policy A (SharedAccess or SoleAccess, base/atom.h).
    template <class A>
    void Tick(VdbData& b);
    template <class A>
    void IsrStep(VdbData& b);
    template <class A>
    void HoldStep(VdbData& b);
    void DelayStep();
    template <class A>
    void AccStep(VdbData& b);
    template <class A>
    void SlewStep(VdbData& b);
    template <class A>
    void DccStep(VdbData& b);
    template <class A>
    void CreepStep(VdbData& b);
    // The remaining major distance of the slew step (servo units), with its
    // diagnostics; v is the block's view, majr its majrdisth, updated when repaired.
    template <class A, class V>
    int32_t MajrDistH(V& v, int32_t& majr, uint32_t majrvel, int32_t dccDist);
    // After the common move of a tick: the octant step, or the hand-over at
    // the end of a vector with a corner velocity (majrLeft: majrdisth after the move).
    template <class A>
    void StepVect(VdbData& b, int32_t major, int32_t minor, int32_t majrLeft);
    [[gnu::noinline]] void HandOver(VdbData& cur, int32_t major, int32_t minor);
    [[gnu::cold, gnu::noinline]] void Stall(const VdbData& b);
    [[gnu::noinline]] void DoubleRate(VectData& v);
    [[gnu::cold, gnu::noinline]] void TraceTick(uint32_t tick);
    // The remaining-distance diagnostics of SVO_GetMajrDistH (rare; kept out of the tick's hot path).
    [[gnu::cold, gnu::noinline]] void DisthTooLarge(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist);
    [[gnu::cold, gnu::noinline]] int32_t DisthNegative(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist);
    [[gnu::cold, gnu::noinline]] void PlannerStarved(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist);
    int32_t CarryDistance(VectData& nv, int32_t d);
    void Accelerate(VectData& nv, uint16_t currvel, bool maskMinor);

    // skip.cpp
    uint64_t GuardRunLength() const;
    uint64_t SlewRunLength(const VdbData& b) const;
    uint64_t CreepRunLength(const VdbData& b) const;
    uint64_t DelayRunLength() const;
    uint64_t AccRunLength(const VdbData& b) const;
    bool SlewDecelerates(const VectData& v) const;
    uint64_t DccRunLength(const VdbData& b, uint64_t guard) const;
    void ApplyRampRun(VdbData& b, uint64_t n, bool up);
    void ApplyMoveRun(VdbData& b, uint64_t n, uint32_t vel, uint8_t state);
    void BookRun(const VdbData& b, uint64_t n, uint8_t state);
};

}  // namespace corvanta

// The servo interrupt layer: one SVO_IsrStep per tick (0.4 ms of machine
// time), the velocity profile of the current vector block, octant stepping of
// the commanded servo position, and the job-time marks and census.
//
// The tick routine is simple and dumb by design.  It runs inside the tick
// pass of whichever schedule drives it and never knows which.  It may not
// allocate, take locks, sleep or do I/O; the only output is the console
// diagnostics of the velocity profile, what a debug category asks for, and
// the tick trace when one is requested.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/atom.h"
#include "corvanta/explain.h"
#include "ring/ring_layer.h"
#include "servo/isr.h"
#include "servo/jobtime.h"

namespace corvanta {

struct ServoLayer : RingLayer {
    using RingLayer::RingLayer;

    // --- the interrupt (written by the servo side)
    int16_t IsrState = ISRIDLE;          // ISR state; every store goes through SVO_SetIsrState
    uint8_t ProfileState = PS_IDLE;      // velocity-profile state; indexes PlanCnt
    Atom<uint32_t> IsrTick{};            // ticks so far, incremented before each ISR step
    int32_t EndDelayCount = 0;           // remaining end-of-vector delay ticks
    Atom<int32_t> SvoFault{};            // set once by the servo side; no step runs after it
    uint8_t SvoFaultBlock = 0;           // blockIdx of the block that stalled (written before SvoFault)
    int32_t SvoPosX = 0, SvoPosY = 0;    // commanded servo position, servo units

    // --- job-time marks and census (the servo side; armed by the planner)
    Atom<int32_t> JobTimePhase{};        // 0 not armed, 1 armed, 2 counting
    int32_t JobStartTick = 0;            // IsrTick when counting began (0 until then)
    int32_t JobEndTick = 0;              // IsrTick at the last return to hold while counting
    int32_t PlanCnt[PROFILE_STATE_COUNT] = {};   // ticks per ProfileState, counted while armed or counting
    uint32_t JobTickLimit = JOB_TICK_LIMIT;      // job length (ticks) at which the job is stopped
    std::FILE* TickTraceFile = nullptr;  // CSV of every executed ISR step, or null

    // --- the explanation of the job time (servo side; only while Explaining)
    // Ticks of the counting phase are booked to an activity, a pen and a
    // record as they run, and become part of the job time when the end mark
    // moves past them; ticks after the last return to hold are not job time.
    bool Explaining = false;
    uint64_t PendingTicks[explain::kActivities] = {};   // booked since the last end mark
    uint64_t PendingPen[explain::kPens] = {};
    explain::Breakdown Booked{};                         // ticks up to the end mark
    std::vector<explain::TimeSpan> BookedSpans;          // job-time ticks from the start mark
    std::vector<explain::Segment> BookedSegments;        // executed vector blocks
    // Runs of ticks spent on one record's blocks, in execution order.
    struct RecordRun {
        uint32_t record;
        uint32_t firstTick, lastTick;                    // IsrTick values
    };
    std::vector<RecordRun> BookedRecords;
    int32_t SegStartX = 0, SegStartY = 0;                // servo position where the next segment starts
    uint32_t BlockPeakVel = 0;                           // highest major velocity of the executing block, 9.23
    uint32_t LastBookedRecord = 0;                       // record of the last block run (end delays follow it)

    // One pass of the tick loop: when a block is current and no block is being
    // handed over, count the tick, book it in the census and run one ISR step.
    void TickPass();

    // Store a new ISR state under the job-time rule (start mark when leaving hold
    // while armed, end mark at every return to hold while counting).
    void SVO_SetIsrState(int16_t newState);
    void SVO_IsrStep();
    void SVO_RaiseFault(int32_t code);
    void JobTimeArm();                   // JobTimePhase = 1, PlanCnt cleared

    // profile.cpp
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
        uint16_t slope = 0;       // minor / major, 0.16
        uint32_t record = 0;
    };
    FinishedBlock FinishedOf(const VdbData* b) const;
    void BookSegmentEnd(const FinishedBlock& f);
    explain::Activity ActivityOf(const VdbData* cur) const;
    void servo_off();

private:
    void HoldStep();
    void DelayStep();
    void Stall(const VdbData* b);
    // The remaining-distance diagnostics of SVO_GetMajrDistH (rare; kept out of the tick's hot path).
    [[gnu::cold, gnu::noinline]] void DisthTooLarge(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist);
    [[gnu::cold, gnu::noinline]] int32_t DisthNegative(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist);
    [[gnu::cold, gnu::noinline]] void PlannerStarved(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist);
    int32_t CarryDistance(VectData& nv, int32_t d);
    void Accelerate(VectData& nv, uint16_t currvel, bool maskMinor);
};

}  // namespace corvanta

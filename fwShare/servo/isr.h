// The servo interrupt: one SVO_IsrStep per tick (0.4 ms of machine time).
//
// This routine is simple and dumb by design.  It runs on the tick thread
// inside IsrLock (or, in the deterministic schedule, on the main thread inside
// the planner's waits) and never knows which.  It may not allocate, take
// locks, sleep or do I/O; the only output is the console diagnostics of the
// velocity profile and what a debug category asks for.  One tick, with the
// tick loop around it, costs about 20 ns in the deterministic schedule and
// 30 ns on the tick thread on the development machine (corvanta_bench on
// examples/*).
#pragma once
#include <cstdint>

#include "fwShare/atom.h"

enum IsrStateValue : int16_t {
    ISRIDLE = 0, ISRHOLD = 1, ISRACC = 2, ISRSLEW = 3, ISRDCC = 4, ISRCREEP = 5, ISRCORN = 6,
    ISRPENUP = 7, ISRPENDOWN = 8, ISRDELAY = 9, R_HOME = 10, RY_FOCUS = 11, ISRPAUSE = 12,
    ISRPLANMOVE = 13,
};
enum ProfileStateValue : uint8_t {
    PS_IDLE = 0, PS_HOLD = 1, PS_ACC = 2, PS_SLEW = 3, PS_DCC = 4, PS_CREEP = 5, PS_DELAY = 6,
};
extern const char* const IsrStateNames[14];
extern const char* const ProfileStateNames[7];

extern int16_t IsrState;              // ISR state; every store goes through SVO_SetIsrState
extern uint8_t ProfileState;          // velocity-profile state; indexes PlanCnt
extern Atom<uint32_t> IsrTick;        // ticks so far, incremented before each ISR step
extern int32_t EndDelayCount;         // remaining end-of-vector delay ticks
extern Atom<int16_t> IsrCreepVel;     // creep-end threshold, whole servo units (1 vector, 4 raster)

// Faults found by the servo side that end the job (the planner side reports them).
enum SvoFaultCode : int32_t { SVO_FAULT_NONE = 0, SVO_FAULT_JOB_TOO_LONG = 1, SVO_FAULT_MOVE_STALL = 2 };
extern Atom<int32_t> SvoFault;        // set once by the servo side; no step runs after it
extern uint8_t SvoFaultBlock;         // blockIdx of the block that stalled (written before SvoFault)

// Store a new ISR state under the job-time rule (start mark when leaving hold
// while armed, end mark at every return to hold while counting).
void SVO_SetIsrState(int16_t newState);
void SVO_IsrStep();
void SVO_RaiseFault(int32_t code);
void ResetIsrState();

// Where ticks run: the threaded schedule (a tick thread running the servo as
// fast as the host allows, beside the planner) or the deterministic one (the
// servo runs on the main thread, only inside the planner's waits).  Both run
// the same tick body, TickPass(); the schedule decides only where.
#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "fwShare/atom.h"

struct VdbData;

extern bool SchedDeterministic;     // chosen before the run starts
extern Atom<int32_t> SimDone;       // 1: worker threads end
extern std::mutex IsrLock;          // held by the tick thread for each whole tick
extern FILE* TickTraceFile;         // CSV of every executed ISR step, or null
extern uint32_t JobTickLimit;       // job length (ticks) at which the job is stopped: 2^31

// A job that cannot go on ends with a failure status: the reason word and one
// console line.  Thrown on the main thread only; the interpreter catches it.
struct JobAbort {
    std::string reason;
    std::string message;   // console line without line ending; empty for none
};
[[noreturn]] void JobFail(const char* reason, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// One pass of the tick loop: when a block is current and no vector is being
// handed over, count the tick, book it in the census and run one ISR step.
void TickPass();

// Hand-over section: VdbSendBusy = 1 and, in the threaded schedule, wait until
// a tick that had already started is over, so no tick overlaps the hand-over
// (on the machine the interrupt never runs in the middle of the planner's step).
void SchedSendBusyEnter();
void SchedSendBusyLeave();

void SchedWaitServoIdle();             // until SVO_VectPtr is null
void SchedWaitBlockFree(VdbData* b);   // until b->cmd is 0 (GetFreeVdb's wait)
void ThrowIfServoFault();              // turns a servo-side fault into JobAbort

void SchedStartThreads();              // threaded schedule: idle thread, then tick thread
void SchedStopThreads();               // SimDone = 1, wait for the tick thread
void ResetScheduleState();

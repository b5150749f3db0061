// Job-time accounting: which ticks count as job time, the per-profile-state
// census, and the optional end-of-job report.
//
// Job time is the span of IsrTick from the servo's first departure from
// ISRHOLD after arming to its last return to ISRHOLD.  One tick = 0.4 ms;
// milliseconds = (2 x ticks, as unsigned 32-bit) / 5.
#pragma once
#include <cstdint>

#include "fwShare/atom.h"

extern Atom<int32_t> JobTimePhase;   // 0 not armed, 1 armed, 2 counting
extern int32_t JobStartTick;         // IsrTick when counting began (0 until then)
extern int32_t JobEndTick;           // IsrTick at the last return to hold while counting
extern int32_t PlanCnt[7];           // ticks per ProfileState, counted while armed or counting
extern int32_t VectCnt;              // vectors planned so far (never reset)
extern int32_t EncX, EncY;           // encoder positions of the last position line

// Job-time arithmetic shared by the status file, the console line and the report.
struct JobTimeFigures {
    int32_t ticks;     // JobEndTick - JobStartTick, 32-bit
    uint32_t ms;       // (2 x ticks mod 2^32) / 5
    uint32_t minutes;  // ms / 60000
    uint32_t seconds;  // (ms - minutes x 60000) / 1000
};
JobTimeFigures JobTimeOf(int32_t startTick, int32_t endTick);

void JobTimeArm();                 // JobTimePhase = 1, PlanCnt cleared
void JobTimeTick();                // end-of-job close and optional report
const char* FormatPosition();      // "Pbd:%d,%d  Svo:%d,%d  Enc:%d,%d"
void ResetJobTimeState();

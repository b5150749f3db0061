#include "driver/jobtime.h"

#include <cstdio>

#include "fwShare/debug.h"
#include "fwShare/fixpt.h"
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "planner/vdb.h"
#include "setup/machine.h"
#include "setup/varreso.h"

Atom<int32_t> JobTimePhase;
int32_t JobStartTick, JobEndTick;
int32_t PlanCnt[7];
int32_t VectCnt;
int32_t EncX, EncY;

static char PositionText[128];

void ResetJobTimeState() {
    JobTimePhase = 0;
    JobStartTick = JobEndTick = 0;
    for (int32_t& c : PlanCnt) c = 0;
    VectCnt = 0;
    EncX = EncY = 0;
    PositionText[0] = '\0';
}

JobTimeFigures JobTimeOf(int32_t startTick, int32_t endTick) {
    JobTimeFigures f;
    uint32_t d = ticks_between(static_cast<uint32_t>(startTick), static_cast<uint32_t>(endTick));
    f.ticks = static_cast<int32_t>(d);
    f.ms = (2u * d) / 5u;
    f.minutes = f.ms / 1000u / 60u;
    f.seconds = (f.ms - f.minutes * 60000u) / 1000u;
    return f;
}

void JobTimeArm() {
    JobTimePhase = 1;
    for (int32_t& c : PlanCnt) c = 0;
}

// Encoder count of a servo position: offset +/- trunc(pos x scale / 65536), product exact.
static int32_t EncTerm(int32_t pos, int32_t scaleQ16) {
    return static_cast<int32_t>((static_cast<int64_t>(pos) * scaleQ16) / 65536);
}

const char* FormatPosition() {
    EncY = static_cast<int32_t>(static_cast<int64_t>(EncOffsetY) - EncTerm(SvoPosY, EncScaleY));
    EncX = static_cast<int32_t>(static_cast<int64_t>(EncOffsetX) + EncTerm(SvoPosX, EncScaleX));
    std::snprintf(PositionText, sizeof PositionText, "Pbd:%d,%d  Svo:%d,%d  Enc:%d,%d", positionx, positiony,
                  SvoPosX, SvoPosY, EncX, EncY);
    return PositionText;
}

void JobTimeTick() {
    JobTimePhase = 0;
    if (!DbgOn(ShowJobTime)) return;
    char census[7 * 24];
    int used = 0;
    int32_t sum = 0;
    census[0] = '\0';
    for (int i = 0; i < 7; ++i) {
        used += std::snprintf(census + used, sizeof census - static_cast<size_t>(used), "%s:%6d ",
                              ProfileStateNames[i], PlanCnt[i]);
        sum = static_cast<int32_t>(static_cast<uint32_t>(sum) + static_cast<uint32_t>(PlanCnt[i]));
    }
    Trace("PlanCnt:%d => %s\n\r", sum, census);
    JobTimeFigures f = JobTimeOf(JobStartTick, JobEndTick);
    uint32_t s = f.ms / 1000u;
    Trace("JobTimeTick: %d %dms %02d:%02d:%02d  Vect:%d\n\r", f.ticks, static_cast<int32_t>(f.ms),
          static_cast<int32_t>(s / 3600u), static_cast<int32_t>((s % 3600u) / 60u), static_cast<int32_t>(s % 60u),
          VectCnt);
    WaitServoIdle();
    Con("%s\n\r", FormatPosition());
}

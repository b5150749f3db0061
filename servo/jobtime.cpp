#include "servo/jobtime.h"

#include "base/fixpt.h"

namespace corvanta {

JobTimeFigures JobTimeOf(int32_t startTick, int32_t endTick) {
    JobTimeFigures f;
    uint32_t d = ticks_between(static_cast<uint32_t>(startTick), static_cast<uint32_t>(endTick));
    f.ticks = static_cast<int32_t>(d);
    f.ms = TicksToMs(d);
    f.minutes = f.ms / 1000u / 60u;
    f.seconds = (f.ms - f.minutes * 60000u) / 1000u;
    return f;
}

}  // namespace corvanta

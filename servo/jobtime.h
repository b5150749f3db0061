// Job-time arithmetic: which ticks count as job time and how they become
// milliseconds.
//
// Job time is the span of IsrTick from the servo's first departure from
// ISRHOLD after arming to its last return to ISRHOLD.  One tick = 0.4 ms;
// milliseconds = (2 x ticks, as unsigned 32-bit) / 5.
#pragma once
#include <cstdint>

namespace corvanta {

struct JobTimeFigures {
    int32_t ticks;     // JobEndTick - JobStartTick, 32-bit
    uint32_t ms;       // (2 x ticks mod 2^32) / 5
    uint32_t minutes;  // ms / 60000
    uint32_t seconds;  // (ms - minutes x 60000) / 1000
};
JobTimeFigures JobTimeOf(int32_t startTick, int32_t endTick);

// Milliseconds of a tick count: (2 x ticks mod 2^32) / 5.
constexpr uint32_t TicksToMs(uint32_t ticks) { return (2u * ticks) / 5u; }

// The job-length guard: the job stops when it passes this many ticks, where
// its millisecond figure would wrap.
constexpr uint32_t JOB_TICK_LIMIT = 0x80000000u;

}  // namespace corvanta

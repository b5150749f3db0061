// A realistic synthetic explained job for tests and for looking at the
// outputs: a rectangle cut, pen-up travel, two raster bands and a circle of
// 180 segments cut at varying speeds, with end delays and pen changes.
// Timing is simple kinematics (no planner), but every figure is consistent:
// spans tile the job, the breakdown sums to the job's ticks.
#pragma once
#include "corvanta/explain.h"

namespace corvanta::explain::sample {

JobExplain SampleJob();

// A large job of `segments` random moves on the bed (a random walk of every
// activity, end delays standing still), one span per segment of 1..40 ticks,
// one record per segment.  The same seed gives the same job.
JobExplain RandomJob(uint32_t segments, uint32_t seed);

// Fills breakdown (from spans and the pen of each span's segment) and ticks
// of a job built from timed pieces; exposed so tests can build small jobs.
class JobBuilder {
public:
    // A motion from the current position to (xMm, yMm) at a cruise speed,
    // taking length / speed plus a fixed accelerate-decelerate allowance.
    void Move(Activity a, uint8_t pen, double xMm, double yMm, double speedMmS, std::string_view keyword);
    // Time with no motion (end delay, pen change).
    void Wait(Activity a, uint8_t pen, double ms, std::string_view keyword);
    // A record that takes no job time.
    void Record(std::string_view keyword);
    JobExplain Take();

    JobExplain job;
    int32_t x = 0, y = 0;  // current position, servo units

private:
    void Span(Activity a, uint8_t pen, uint64_t ticks, std::string_view keyword);
};

}  // namespace corvanta::explain::sample

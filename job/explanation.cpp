// The explanation of one estimate, assembled after the run from the servo's
// bookings and the records as the interpreter applied them.
#include <algorithm>
#include <unordered_map>

#include "base/fixpt.h"
#include "job/machine.h"

namespace corvanta {

explain::JobExplain Machine::BuildExplanation() const {
    explain::JobExplain e;
    e.breakdown = Booked;
    e.segments = BookedSegments;
    e.spans = BookedSpans;
    e.ticks = static_cast<uint32_t>(JobTimeOf(JobStartTick, JobEndTick).ticks);
    e.bedXsvo = mul_wrap(CurrentRomParam.MachParam.MaxDistance.X, VARRESO_PbdToSvoX);
    e.bedYsvo = mul_wrap(CurrentRomParam.MachParam.MaxDistance.Y, VARRESO_PbdToSvoY);
    e.vectors = static_cast<uint32_t>(VectCnt);
    e.rasterLines = RasterLinesOut;
    e.penChanges = PenSelections;

    // Job time of a tick: tick t ends at t - JobStartTick; ticks before the
    // start mark are at 0.
    const auto jobTick = [&](uint32_t t) -> uint64_t {
        const uint32_t d = ticks_between(static_cast<uint32_t>(JobStartTick), t);
        return d >= JOB_TICK_LIMIT ? 0 : d;
    };
    std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> motion;  // record -> first, last tick
    for (const RecordRun& run : BookedRecords) {
        auto [it, fresh] = motion.try_emplace(run.record, run.firstTick, run.lastTick);
        if (!fresh) it->second.second = run.lastTick;
    }
    uint64_t prevStart = 0, prevEnd = 0;
    for (const AppliedRecord& a : AppliedRecords) {
        explain::RecordTime rt;
        rt.record = a.record;
        rt.keyword = a.keyword;
        const auto m = motion.find(a.record);
        if (m != motion.end()) {
            rt.startTick = jobTick(m->second.first) - 1;
            rt.endTick = jobTick(m->second.second);
        } else {
            rt.startTick = rt.endTick = std::max(prevEnd, jobTick(a.tick));
        }
        rt.startTick = std::max(rt.startTick, prevStart);
        rt.endTick = std::min<uint64_t>(std::max(rt.endTick, rt.startTick), e.ticks);
        rt.startTick = std::min(rt.startTick, rt.endTick);
        prevStart = rt.startTick;
        prevEnd = std::max(prevEnd, rt.endTick);
        e.records.push_back(std::move(rt));
    }
    return e;
}

}  // namespace corvanta

// The bars of the time strip: the job's activity spans reduced to what a
// strip a few thousand pixels wide can show.
#include <algorithm>
#include <array>

#include "corvanta/explain.h"

namespace corvanta::explain {

namespace {

Activity Valid(Activity a) { return static_cast<uint8_t>(a) < kActivities ? a : Activity::Other; }

// Appends a bar, joining it to the last one when both have one activity and
// the gap between them is shorter than minTicks.
void Push(std::vector<TimeSpan>& bars, TimeSpan s, uint64_t minTicks) {
    if (!bars.empty() && bars.back().activity == s.activity && s.startTick - bars.back().endTick < minTicks)
        bars.back().endTick = s.endTick;
    else
        bars.push_back(s);
}

// The activity with the most ticks (the first in enumeration order on a tie).
Activity Majority(const std::array<uint64_t, kActivities>& ticks) {
    return static_cast<Activity>(std::max_element(ticks.begin(), ticks.end()) - ticks.begin());
}

}  // namespace

std::vector<TimeSpan> StripBars(const std::vector<TimeSpan>& spans, uint64_t ticks, uint64_t minTicks) {
    minTicks = std::max<uint64_t>(minTicks, 1);

    // Clamp into [0, ticks], drop what is empty or lies behind the previous
    // span, and join neighbours of one activity.
    std::vector<TimeSpan> clean;
    uint64_t reached = 0;
    for (const TimeSpan& in : spans) {
        TimeSpan s{Valid(in.activity), std::max(std::min(in.startTick, ticks), reached), std::min(in.endTick, ticks)};
        if (s.endTick <= s.startTick) continue;
        reached = s.endTick;
        Push(clean, s, minTicks);
    }

    std::vector<TimeSpan> bars;
    uint64_t pullBackTo = UINT64_MAX;  // start for the next wide span, when a short run folds into it
    for (size_t i = 0; i < clean.size();) {
        if (clean[i].endTick - clean[i].startTick >= minTicks) {
            TimeSpan s = clean[i++];
            if (pullBackTo != UINT64_MAX) s.startTick = pullBackTo, pullBackTo = UINT64_MAX;
            Push(bars, s, minTicks);
            continue;
        }
        // A run of short spans without a gap of minTicks between them.
        size_t j = i + 1;
        while (j < clean.size() && clean[j].endTick - clean[j].startTick < minTicks &&
               clean[j].startTick - clean[j - 1].endTick < minTicks)
            ++j;
        const uint64_t runStart = clean[i].startTick, runEnd = clean[j - 1].endTick;
        const bool prevTouches = !bars.empty() && runStart - bars.back().endTick < minTicks;
        const bool nextTouches = j < clean.size() && clean[j].startTick - runEnd < minTicks;
        if (runEnd - runStart < minTicks && (prevTouches || nextTouches)) {
            // Too short to show: the neighbour takes it over.  A following
            // neighbour is always a wide span (the run would include it otherwise).
            if (prevTouches)
                bars.back().endTick = runEnd;
            else
                pullBackTo = runStart;
            i = j;
            continue;
        }
        // Cut the run into pieces of at least minTicks, each in its majority
        // activity; a short remainder goes to the last piece.
        std::array<uint64_t, kActivities> count{};
        uint64_t pieceStart = runStart;
        bool emitted = false;
        for (size_t k = i; k < j; ++k) {
            count[static_cast<uint8_t>(clean[k].activity)] += clean[k].endTick - clean[k].startTick;
            const bool last = k + 1 == j;
            if (clean[k].endTick - pieceStart >= minTicks || (last && !emitted)) {
                Push(bars, TimeSpan{Majority(count), pieceStart, clean[k].endTick}, minTicks);
                emitted = true;
                count.fill(0);
                pieceStart = clean[k].endTick;
            } else if (last) {
                bars.back().endTick = clean[k].endTick;
            }
        }
        i = j;
    }
    return bars;
}

}  // namespace corvanta::explain

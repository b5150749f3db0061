// The explanation's bookkeeping on the servo side: every tick of the counting
// phase to one activity, one pen and one record; spans of one activity over
// job time; the path of every executed vector block.  Runs only while
// Explaining is set, so a plain estimate pays one predictable branch per tick.
#include <cmath>

#include "base/fixpt.h"
#include "servo/servo_layer.h"

namespace corvanta {

using explain::Activity;

explain::Activity ServoLayer::ActivityOf(const VdbData* cur) const {
    if (IsrState == ISRDELAY) return Activity::EndDelay;
    if (!VdbIsVector(cur)) return Activity::Other;
    switch (VdbRecordClass[cur->blockIdx % VDB_RING_SIZE]) {
        case PEN_DOWN_CLASS: return Activity::Cutting;
        case PEN_UP_CLASS:
        case PEN_UPC_CLASS: return Activity::Travel;
        case RASTER_FORWARD_CLASS:
        case RASTER_BACKWARD_CLASS: return Activity::RasterStroke;
        case RASTER_OFFSET_CLASS:
        case RASTER_MOVE_CLASS: return Activity::RasterMove;
        default: return Activity::Other;
    }
}

// n ticks from IsrTick firstTick on, all spent as at the start of the first
// one (a run of ticks in which nothing but fractions and positions change).
void ServoLayer::BookTicks(const VdbData* cur, uint32_t firstTick, uint32_t n) {
    // The common case: the ticks right after the last booked ones, on the same
    // block in the same state (and so the same activity, pen and record).
    BookingKey& k = LastBooking;
    const uint8_t kind = VdbCmdKind(cur);
    if (cur == k.block && IsrState == k.state && kind == k.kind && firstTick == k.nextTick) {
        PendingTicks[k.activity] += n;
        PendingPen[k.pen] += n;
        BookedSpans.back().endTick += n;
        BookedRecords.back().lastTick += n;
        k.nextTick += n;
        return;
    }
    const Activity act = ActivityOf(cur);
    const uint8_t pen = ptCurrentFile->VectorCurrentPen <= PEN_MAX ? ptCurrentFile->VectorCurrentPen : 0;
    PendingTicks[static_cast<int>(act)] += n;
    PendingPen[pen] += n;

    // Job time of these ticks: tick t occupies [t - start - 1, t - start).
    const uint64_t from = ticks_between(static_cast<uint32_t>(JobStartTick), firstTick) - 1u;
    if (!BookedSpans.empty() && BookedSpans.back().activity == act && BookedSpans.back().endTick == from)
        BookedSpans.back().endTick = from + n;
    else
        BookedSpans.push_back({act, from, from + n});

    // End delays and the tick that finds a free block belong to the record
    // whose block ran last.
    const bool ownTick = IsrState != ISRDELAY && VdbCmdKind(cur) != NULL_CMD;
    const uint32_t record = ownTick ? VdbRecordNo[cur->blockIdx % VDB_RING_SIZE] : LastBookedRecord;
    const uint32_t last = firstTick + n - 1u;
    if (!BookedRecords.empty() && BookedRecords.back().record == record)
        BookedRecords.back().lastTick = last;
    else
        BookedRecords.push_back({record, firstTick, last});
    LastBookedRecord = record;
    k = {cur, IsrState, kind, static_cast<uint8_t>(act), pen, firstTick + n};
}

// The end mark moved to this tick: everything booked so far is job time.
void ServoLayer::BookEndMark() {
    for (int a = 0; a < explain::kActivities; ++a) {
        Booked.ticks[a] += PendingTicks[a];
        PendingTicks[a] = 0;
    }
    for (int p = 0; p < explain::kPens; ++p) {
        Booked.penTicks[p] += PendingPen[p];
        PendingPen[p] = 0;
    }
}

ServoLayer::FinishedBlock ServoLayer::FinishedOf(const VdbData* b) const {
    FinishedBlock f;
    f.activity = VdbIsVector(b) ? ActivityOf(b) : Activity::Other;
    f.slope = b->vect.slope;
    f.record = VdbRecordNo[b->blockIdx % VDB_RING_SIZE];
    return f;
}

// A vector block has ended at the current servo position.
void ServoLayer::BookSegmentEnd(const FinishedBlock& f) {
    // Speed along the path: the major axis's velocity (9.23 units/tick) scaled
    // by the slope, in servo units per second.
    const double major_svo_s = static_cast<double>(BlockPeakVel) / static_cast<double>(1u << FPF_Vel_ShiftI) *
                               static_cast<double>(explain::kTicksPerSecond);
    const double slope = f.slope / 65536.0;
    const double path_svo_s = major_svo_s * std::sqrt(1.0 + slope * slope);
    explain::Segment seg;
    seg.x0 = SegStartX;
    seg.y0 = SegStartY;
    seg.x1 = SvoPosX;
    seg.y1 = SvoPosY;
    seg.activity = f.activity;
    seg.pen = ptCurrentFile->VectorCurrentPen <= PEN_MAX ? ptCurrentFile->VectorCurrentPen : 0;
    seg.peakSpeed = path_svo_s < 4e9 ? static_cast<uint32_t>(path_svo_s) : 4000000000u;
    BookedSegments.push_back(seg);
    SegStartX = SvoPosX;
    SegStartY = SvoPosY;
    BlockPeakVel = 0;
}

}  // namespace corvanta

#include "sample_job.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace corvanta::explain::sample {

namespace {
int32_t Svo(double mm) { return static_cast<int32_t>(std::lround(mm * kServoPerMm)); }
}  // namespace

void JobBuilder::Span(Activity a, uint8_t pen, uint64_t ticks, std::string_view keyword) {
    const uint64_t start = job.ticks;
    job.ticks += ticks;
    if (!job.spans.empty() && job.spans.back().activity == a && job.spans.back().endTick == start)
        job.spans.back().endTick = job.ticks;
    else
        job.spans.push_back({a, start, job.ticks});
    job.breakdown.ticks[static_cast<int>(a)] += ticks;
    job.breakdown.penTicks[pen] += ticks;
    job.records.push_back({static_cast<uint32_t>(job.records.size() + 1), std::string(keyword), start, job.ticks});
}

void JobBuilder::Move(Activity a, uint8_t pen, double xMm, double yMm, double speedMmS, std::string_view keyword) {
    const int32_t nx = Svo(xMm), ny = Svo(yMm);
    const double lengthMm = std::hypot(nx - x, ny - y) / kServoPerMm;
    const double seconds = lengthMm / speedMmS + 0.02;  // 20 ms for speeding up and slowing down
    job.segments.push_back({x, y, nx, ny, a, pen, static_cast<uint32_t>(speedMmS * kServoPerMm)});
    Span(a, pen, static_cast<uint64_t>(seconds * kTicksPerSecond), keyword);
    x = nx, y = ny;
    if (a == Activity::Cutting || a == Activity::Travel) ++job.vectors;
    if (a == Activity::RasterStroke) ++job.rasterLines;
}

void JobBuilder::Wait(Activity a, uint8_t pen, double ms, std::string_view keyword) {
    Span(a, pen, static_cast<uint64_t>(ms * kTicksPerSecond / 1000), keyword);
}

void JobBuilder::Record(std::string_view keyword) {
    job.records.push_back({static_cast<uint32_t>(job.records.size() + 1), std::string(keyword), job.ticks, job.ticks});
}

JobExplain JobBuilder::Take() { return std::move(job); }

namespace {

// Raster lines from y0 to y1 (mm, upward), engraving in both directions with
// a 13 mm run-up each side.
void RasterBand(JobBuilder& b, double x0, double x1, double y0, double y1, double pitch) {
    b.Record("SetStartRasterGraphics");
    bool forward = true;
    for (double yy = y1; yy >= y0 - 1e-9; yy -= pitch) {  // top line first
        const double from = forward ? x0 - 13 : x1 + 13, to = forward ? x1 + 13 : x0 - 13;
        b.Move(Activity::RasterMove, 0, from, yy, 500, "SetVerticalPositionPCL");
        b.Move(Activity::RasterStroke, 0, to, yy, 400, "RasterLineOut");
        forward = !forward;
    }
    b.Record("SetEndRasterGraphics");
}

}  // namespace

JobExplain SampleJob() {
    JobBuilder b;
    b.job.hostSeconds = 0.734;
    for (const char* k : {"CorvantaCmdVer", "VectorSpeed", "RasterDPI", "RasterUnit"}) b.Record(k);

    // Pen 1: a 200 x 120 mm rectangle, corners slow.
    b.Wait(Activity::Other, 1, 180, "execute_penselect");
    ++b.job.penChanges;
    b.Move(Activity::Travel, 1, 60, 60, 1000, "pu_default");
    const double rect[][2] = {{260, 60}, {260, 180}, {60, 180}, {60, 60}};
    for (const auto& p : rect) {
        b.Move(Activity::Cutting, 1, p[0], p[1], 45, "pd_default");
        b.Wait(Activity::EndDelay, 1, 12, "pd_default");
    }

    // Pen 2: a circle of radius 70 mm in 180 segments, faster on the flat
    // stretches of the approximation, slower where the planner brakes.
    b.Wait(Activity::Other, 2, 180, "execute_penselect");
    ++b.job.penChanges;
    const double cx = 480, cy = 150, r = 70;
    b.Move(Activity::Travel, 2, cx + r, cy, 1000, "pu_default");
    for (int i = 1; i <= 180; ++i) {
        const double a = 2 * std::numbers::pi * i / 180;
        const double speed = 150 + 110 * std::sin(3 * a) * std::cos(a / 2);
        b.Move(Activity::Cutting, 2, cx + r * std::cos(a), cy + r * std::sin(a), speed, "pd_default");
    }
    b.Wait(Activity::EndDelay, 2, 12, "pd_default");

    // Pen 0: raster engraving, a wide band and a narrow label band.
    b.Move(Activity::Travel, 0, 100, 330, 1000, "ToPclMode");
    RasterBand(b, 100, 330, 260, 400, 0.5);
    RasterBand(b, 420, 620, 300, 330, 0.25);
    b.Record("ToHpglMode");

    // Pen 3: a small triangle at high speed, then home.
    b.Wait(Activity::Other, 3, 180, "execute_penselect");
    ++b.job.penChanges;
    b.Move(Activity::Travel, 3, 620, 60, 1000, "pu_default");
    b.Move(Activity::Cutting, 3, 700, 60, 300, "pd_default");
    b.Move(Activity::Cutting, 3, 660, 130, 300, "pd_default");
    b.Move(Activity::Cutting, 3, 620, 60, 300, "pd_default");
    b.Wait(Activity::EndDelay, 3, 12, "pd_default");
    b.Move(Activity::Travel, 3, 0, 0, 1000, "pu_default");
    return b.Take();
}

JobExplain RandomJob(uint32_t segments, uint32_t seed) {
    std::mt19937 rng(seed);
    const auto pick = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
    JobExplain job;
    int32_t x = static_cast<int32_t>(pick(static_cast<uint32_t>(job.bedXsvo)));
    int32_t y = static_cast<int32_t>(pick(static_cast<uint32_t>(job.bedYsvo)));
    for (uint32_t i = 0; i < segments; ++i) {
        const auto a = static_cast<Activity>(pick(kActivities));
        const auto pen = static_cast<uint8_t>(pick(kPens));
        int32_t nx = x, ny = y;
        if (a != Activity::EndDelay) {
            nx = std::clamp<int32_t>(x + static_cast<int32_t>(pick(20001)) - 10000, 0, job.bedXsvo);
            ny = std::clamp<int32_t>(y + static_cast<int32_t>(pick(20001)) - 10000, 0, job.bedYsvo);
        }
        job.segments.push_back({x, y, nx, ny, a, pen, pick(500 * kServoPerMm)});
        const uint64_t ticks = 1 + pick(40);
        job.spans.push_back({a, job.ticks, job.ticks + ticks});
        job.records.push_back({i + 1, "pd_default", job.ticks, job.ticks + ticks});
        job.breakdown.ticks[static_cast<int>(a)] += ticks;
        job.breakdown.penTicks[pen] += ticks;
        job.ticks += ticks;
        x = nx, y = ny;
    }
    job.vectors = segments;
    return job;
}

}  // namespace corvanta::explain::sample

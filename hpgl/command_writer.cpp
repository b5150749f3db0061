#include "hpgl/command_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace corvanta::hpgl {

namespace {

// Liang-Barsky: the part t0..t1 (0 <= t0 <= t1 <= 1) of segment a-b inside `r`; false when none is.
bool ClipSegment(Point a, Point b, const Rect& r, double& t0, double& t1) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - r.x0, r.x1 - a.x, a.y - r.y0, r.y1 - a.y};
    t0 = 0.0, t1 = 1.0;
    for (int32_t i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

}  // namespace

void CommandWriter::Extent::Add(int64_t x, int64_t y) {
    if (empty) {
        minX = maxX = x, minY = maxY = y, empty = false;
        return;
    }
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
}

CommandWriter::CommandWriter(uint64_t maxRecords, uint64_t maxMoves, NoteBook& notes)
    : maxRecords_(std::max<uint64_t>(maxRecords, 1)), maxMoves_(maxMoves), notes_(notes) {
    Record("CorvantaCmdVer", 1, 0, false);
}

bool CommandWriter::Record(std::string_view keyword, int64_t a, int64_t b, bool twoValues) {
    if (full_) return false;
    if (records_ >= maxRecords_) {
        full_ = true;
        return false;
    }
    char buf[64];
    text_.append(keyword);
    for (int32_t i = 0; i < (twoValues ? 2 : 1); ++i) {
        const auto r = std::to_chars(buf, buf + sizeof buf, i == 0 ? a : b);
        text_.push_back(' ');
        text_.append(buf, r.ptr);
    }
    text_.push_back('\n');
    ++records_;
    return true;
}

CommandWriter::GridPoint CommandWriter::ToGrid(Point p) {
    auto one = [&](double v) -> int64_t {
        const double limit = static_cast<double>(kCoordinateLimitPu);
        if (std::isnan(v)) {
            notes_.Add("not a number", "a coordinate was not a number; the position was kept");
            return 0;
        }
        if (v > limit || v < -limit) {
            notes_.Add("clamped coordinate",
                       "coordinates beyond +-50,000,000 plotter units (1.25 km) were clamped there");
            v = std::clamp(v, -limit, limit);
        }
        return std::llround(v);
    };
    if (std::isnan(p.x) || std::isnan(p.y)) {
        notes_.Add("not a number", "a coordinate was not a number; the position was kept");
        return at_;
    }
    return {one(p.x), one(p.y)};
}

void CommandWriter::EnsurePen() {
    if (pen_ >= 0) return;
    notes_.Add("pen 1 first", "the plot moves before selecting a pen: pen 1 is selected first");
    pen_ = 1;
    Record("execute_penselect", 1, 0, false);
}

void CommandWriter::MoveRecord(bool down, int64_t dx, int64_t dy) {
    if (full_) return;
    EnsurePen();
    if (!Record(down ? "pd_default" : "pu_default", dx, dy, true)) return;
    const double len = std::hypot(static_cast<double>(dx), static_cast<double>(dy));
    const GridPoint from = at_;
    at_ = {at_.x + dx, at_.y + dy};
    down_ = down;
    lowerPending_ = liftPending_ = false;
    if (down) {
        drawnPu_ += len;
        drawn_.Add(from.x, from.y);
        drawn_.Add(at_.x, at_.y);
    } else {
        travelPu_ += len;
        travelled_.Add(at_.x, at_.y);
    }
}

void CommandWriter::WritePendingDot() {
    if (!lowerPending_) return;
    lowerPending_ = false;
    const double x = static_cast<double>(at_.x), y = static_cast<double>(at_.y);
    if (clip_ && (x < clip_->x0 || x > clip_->x1 || y < clip_->y0 || y > clip_->y1)) return;
    MoveRecord(true, 0, 0);
}

void CommandWriter::SelectPen(int32_t pen) {
    WritePendingDot();
    pen_ = pen;
    Record("execute_penselect", pen, 0, false);
    down_ = lowerPending_ = liftPending_ = false;  // the selection raises the pen
}

void CommandWriter::SpeedTable(const std::array<int32_t, 16>& thousandths) {
    if (full_ || records_ >= maxRecords_) {
        full_ = true;
        return;
    }
    text_.append("VectorSpeed");
    for (int32_t v : thousandths) text_.append(" ").append(std::to_string(v));
    text_.push_back('\n');
    ++records_;
}

void CommandWriter::PenDown() {
    if (liftPending_) MoveRecord(false, 0, 0);
    if (!down_) lowerPending_ = true;
}

void CommandWriter::PenUp() {
    WritePendingDot();
    if (down_) liftPending_ = true;
}

bool CommandWriter::CountMove() {
    if (++moves_ > maxMoves_) full_ = true;
    return !full_;
}

void CommandWriter::Travel(Point to) {
    if (!CountMove()) return;
    const GridPoint g = ToGrid(to);
    lowerPending_ = false;  // the pen leaves before it was ever lowered: no dot
    if (g == at_) return;
    MoveRecord(false, g.x - at_.x, g.y - at_.y);
}

void CommandWriter::Draw(Point from, Point to) {
    if (!CountMove()) return;
    if (!clip_) {
        DrawInside(from, to);
        return;
    }
    double t0 = 0.0, t1 = 1.0;
    if (!ClipSegment(from, to, *clip_, t0, t1)) {
        notes_.Add("clipped", "pen-down moves outside the IW window were made with the pen up");
        PenUp();
        Travel(to);
        return;
    }
    const Point d = to - from;
    const Point a = t0 > 0.0 ? from + d * t0 : from;
    const Point b = t1 < 1.0 ? from + d * t1 : to;
    if (t0 > 0.0 || t1 < 1.0) {
        notes_.Add("clipped", "pen-down moves outside the IW window were made with the pen up");
    }
    if (t0 > 0.0) {
        PenUp();
        Travel(a);
    }
    DrawInside(a, b);
    if (t1 < 1.0) {
        PenUp();
        Travel(to);
    }
}

void CommandWriter::DrawInside(Point from, Point to) {
    const GridPoint f = ToGrid(from);
    if (!(f == at_)) MoveRecord(false, f.x - at_.x, f.y - at_.y);
    if (liftPending_) MoveRecord(false, 0, 0);
    const GridPoint t = ToGrid(to);
    if (t == at_) {
        if (!down_) lowerPending_ = true;
        return;
    }
    MoveRecord(true, t.x - at_.x, t.y - at_.y);
}

void CommandWriter::Finish() {
    WritePendingDot();
    if (liftPending_) MoveRecord(false, 0, 0);
}

}  // namespace corvanta::hpgl

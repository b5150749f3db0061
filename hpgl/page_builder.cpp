#include "hpgl/page_builder.h"

#include <algorithm>
#include <cmath>

#include "design/writer.h"
#include "hpgl/hpgl.h"

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

PageBuilder::PageBuilder(uint64_t maxPoints, uint64_t maxMoves, NoteBook& notes)
    : maxPoints_(std::max<uint64_t>(maxPoints, 1)), maxMoves_(maxMoves), notes_(notes) {
    // The page: the bed from the PCL origin.
    page_.width = design::kBedWidthMm - design::kPclOriginXmm;
    page_.height = design::kPclOriginYmm;
}

design::Point PageBuilder::PagePoint(double x, double y) const {
    return {x / kPuPerMm - design::kPclOriginXmm, design::kPclOriginYmm - y / kPuPerMm};
}

PageBuilder::GridPoint PageBuilder::ToGrid(Point p) {
    if (std::isnan(p.x) || std::isnan(p.y)) {
        notes_.Add("not a number", "a coordinate was not a number; the position was kept");
        return at_;
    }
    auto one = [&](double v) -> int64_t {
        const double limit = static_cast<double>(design::kCoordinateLimitPu);
        if (v > limit || v < -limit) {
            notes_.Add("clamped coordinate",
                       "coordinates beyond +-50,000,000 plotter units (1.25 km) were clamped there");
            v = std::clamp(v, -limit, limit);
        }
        return std::llround(v);
    };
    return {one(p.x), one(p.y)};
}

void PageBuilder::EnsurePen() {
    if (pen_ >= 0) return;
    notes_.Add("pen 1 first", "the plot draws before selecting a pen: pen 1 is selected first");
    pen_ = 1;
}

bool PageBuilder::CountPoint() {
    if (++points_ > maxPoints_) full_ = true;
    return !full_;
}

bool PageBuilder::CountMove() {
    if (++moves_ > maxMoves_) full_ = true;
    return !full_;
}

void PageBuilder::EndStroke() { open_ = false; }

void PageBuilder::StrokeTo(GridPoint to) {
    if (!open_) {
        if (!CountPoint()) return;
        EnsurePen();
        if (pen_ >= 0 && pen_ <= 16) cutWith_[static_cast<std::size_t>(pen_)] = true;
        design::Path path;
        path.pen = pen_;
        path.points.push_back(PagePoint(static_cast<double>(at_.x), static_cast<double>(at_.y)));
        page_.cuts.push_back(std::move(path));
        open_ = true;
    }
    lowerPending_ = false;
    if (!(to == at_)) {
        if (!CountPoint()) return;
        page_.cuts.back().points.push_back(PagePoint(static_cast<double>(to.x), static_cast<double>(to.y)));
        at_ = to;
    }
}

void PageBuilder::WritePendingDot() {
    if (!lowerPending_) return;
    lowerPending_ = false;
    const double x = static_cast<double>(at_.x), y = static_cast<double>(at_.y);
    if (clip_ && (x < clip_->x0 || x > clip_->x1 || y < clip_->y0 || y > clip_->y1)) return;
    if (!open_) StrokeTo(at_);
}

void PageBuilder::SelectPen(int32_t pen) {
    WritePendingDot();
    EndStroke();
    pen_ = pen;
}

void PageBuilder::PenSpeed(int32_t pen, double mmPerS) {
    if (pen < 1 || pen > 16) return;
    double& speed = page_.penSpeedMmS[pen - 1];
    if (speed != mmPerS && cutWith_[static_cast<std::size_t>(pen)]) {
        notes_.Add("speed changed",
                   "VS changed the speed of a pen that had already cut: one speed table comes before the cuts, "
                   "so the pen's last speed holds for all its cuts");
    }
    speed = mmPerS;
}

void PageBuilder::PenDown() {
    if (!open_) lowerPending_ = true;
}

void PageBuilder::PenUp() {
    WritePendingDot();
    EndStroke();
}

void PageBuilder::Travel(Point to) {
    if (!CountMove()) return;
    const GridPoint g = ToGrid(to);
    lowerPending_ = false;  // the pen leaves before it was ever lowered: no dot
    if (g == at_) return;
    EndStroke();
    at_ = g;
}

void PageBuilder::Draw(Point from, Point to) {
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

void PageBuilder::DrawInside(Point from, Point to) {
    const GridPoint f = ToGrid(from);
    if (!(f == at_)) EndStroke(), at_ = f, lowerPending_ = false;
    const GridPoint t = ToGrid(to);
    if (t == at_) {
        if (!open_) lowerPending_ = true;
        return;
    }
    StrokeTo(t);
}

void PageBuilder::Fill(const std::vector<std::vector<Point>>& rings, design::FillRegion::Rule rule) {
    design::FillRegion region;
    region.rule = rule;
    for (const std::vector<Point>& ring : rings) {
        std::vector<design::Point> out;
        for (const Point& p : ring) {
            if (!IsFinite(p) || !CountPoint()) continue;
            out.push_back(PagePoint(p.x, p.y));
        }
        if (out.size() >= 3) region.rings.push_back(std::move(out));
    }
    if (region.rings.empty()) return;
    EnsurePen();
    region.pen = pen_;
    page_.fills.push_back(std::move(region));
}

void PageBuilder::Finish() {
    WritePendingDot();
    EndStroke();
}

}  // namespace corvanta::hpgl

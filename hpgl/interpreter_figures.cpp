// The interpreter's figures: arcs, circles, Bezier curves, rectangles, wedges, polygons, PE and ticks.
#include <algorithm>
#include <cmath>

#include "hpgl/curves.h"
#include "hpgl/interpreter.h"
#include "hpgl/polyline_encoded.h"

namespace corvanta::hpgl {

// --- arcs, circles, curves -------------------------------------------------------------------------------
//
// Arcs, circles and wedges are computed in the plot's user units and mapped afterwards, so that a scaling
// with different units along x and y turns a circle into the ellipse the plot asks for.

void Interpreter::ToFrame(std::vector<Point>& points) const {
    for (Point& p : points) p = frame_.UserToFrame(p);
}

std::vector<Point> Interpreter::UserArc(Point center, Point start, double sweepDeg, std::optional<double> chord) {
    const double deg = ChordAngleDeg(chord, chordTolerance_, Length(start - center), notes_);
    return ArcPoints(center, start, sweepDeg, deg, frame_.UnitMax());
}

void Interpreter::Arc(Point center, double sweepDeg, std::optional<double> chord) {
    if (!std::isfinite(sweepDeg) || !IsFinite(center)) return;
    if (std::fabs(sweepDeg) > 360.0) {
        notes_.Add("sweep", "arc sweeps beyond 360 degrees were drawn as 360 degrees");
        sweepDeg = std::copysign(360.0, sweepDeg);
    }
    std::vector<Point> points = UserArc(center, User(pos_), sweepDeg, chord);
    ToFrame(points);
    Chords(points, penDown_);
}

void Interpreter::ThreePointArc(Point through, Point end, std::optional<double> chord) {
    const Point start = User(pos_);
    if (!IsFinite(through) || !IsFinite(end) || !IsFinite(start)) return;
    if (end == start) {
        // Back to the start: the full circle whose diameter runs from the start to the intermediate point.
        if (!(through == start)) Arc((start + through) * 0.5, 360.0, chord);
        return;
    }
    const std::optional<Point> c = CircleCenter(start, through, end);
    if (!c) {  // the three points on a line: a line to the end point
        Chords({frame_.UserToFrame(end)}, penDown_);
        return;
    }
    const double a0 = std::atan2(start.y - c->y, start.x - c->x);
    const auto turn = [&](Point p) {  // counterclockwise angle from the start, 0..2 pi
        const double a = std::atan2(p.y - c->y, p.x - c->x) - a0;
        return a < 0.0 ? a + 2.0 * kPi : a;
    };
    const double toEnd = turn(end), toThrough = turn(through);
    const double sweep = (toThrough < toEnd ? toEnd : toEnd - 2.0 * kPi) * 180.0 / kPi;
    std::vector<Point> points = UserArc(*c, start, sweep, chord);
    if (!points.empty()) points.back() = end;
    ToFrame(points);
    Chords(points, penDown_);
}

void Interpreter::Circle(const std::vector<double>& p) {
    if (p.empty() || !std::isfinite(p[0])) return notes_.Add("malformed CI", "CI without a radius: skipped");
    const double r = p[0];  // user units; a negative radius starts the circle at 180 degrees
    const std::optional<double> chord = p.size() > 1 ? std::optional<double>(p[1]) : std::nullopt;
    const Point centerUser = User(pos_);
    const Point center = pos_, start = frame_.UserToFrame(centerUser + Point{r, 0.0});
    const double deg = ChordAngleDeg(chord, chordTolerance_, std::fabs(r), notes_);
    std::vector<Point> points = ArcPoints(centerUser, centerUser + Point{r, 0.0}, 360.0, deg, frame_.UnitMax());
    ToFrame(points);
    if (polygonMode_) {
        if (polygonVertices_ + points.size() + 2 > kMaxPolygonVertices) {
            return notes_.Add("polygon full",
                              "polygon mode holds at most 1,000,000 vertices: further ones were dropped");
        }
        std::vector<PolygonVertex> circle{{start, false}};
        for (const Point& q : points) circle.push_back({q, true});
        polygonVertices_ += circle.size();
        polygon_.push_back(std::move(circle));
        polygon_.push_back({{center, false}});
        ++polygonVertices_;
        return;
    }
    out_.PenUp();
    out_.Travel(Phys(start));
    Point prev = start;
    if (points.empty()) out_.Draw(Phys(start), Phys(start));  // radius 0: a dot
    for (const Point& q : points) {
        if (out_.Full()) return;
        out_.Draw(Phys(prev), Phys(q));
        prev = q;
    }
    out_.PenUp();
    out_.Travel(Phys(center));
}

void Interpreter::FillRing(const std::vector<Point>& frameRing, design::FillRegion::Rule rule) {
    std::vector<Point> ring;
    ring.reserve(frameRing.size());
    for (const Point& q : frameRing) ring.push_back(Phys(q));
    out_.Fill({ring}, rule);
}

void Interpreter::Wedge(const std::vector<double>& p, bool fill) {
    const char* name = fill ? "WG" : "EW";
    if (p.size() < 3)
        return notes_.Add(std::string("malformed ") + name,
                          std::string(name) + " needs a radius, a start and a sweep angle: skipped");
    if (polygonMode_) return notes_.Add("in polygon", "EA, ER, RA, RR, EW and WG inside polygon mode were skipped");
    double r = p[0], start = p[1], sweep = p[2];  // user units and degrees
    if (!std::isfinite(r) || !std::isfinite(start) || !std::isfinite(sweep)) return;
    if (r < 0.0) r = -r, start += 180.0;
    if (std::fabs(sweep) > 360.0) {
        notes_.Add("sweep", "arc sweeps beyond 360 degrees were drawn as 360 degrees");
        sweep = std::copysign(360.0, sweep);
    }
    const std::optional<double> chord = p.size() > 3 ? std::optional<double>(p[3]) : std::nullopt;
    const Point center = User(pos_), first = center + RotatedBy({r, 0.0}, DegToRad(start));
    std::vector<Point> path{center, first};
    for (const Point& q : UserArc(center, first, sweep, chord)) path.push_back(q);
    path.push_back(center);
    ToFrame(path);
    if (fill)
        FillRing(path, design::FillRegion::Rule::NonZero);
    else
        Outline(path);
}

void Interpreter::Rectangle(const std::vector<double>& p, bool relative, bool fill) {
    if (p.size() < 2) return notes_.Add("malformed rectangle", "EA, ER, RA or RR without a corner: skipped");
    if (polygonMode_) return notes_.Add("in polygon", "EA, ER, RA, RR, EW and WG inside polygon mode were skipped");
    const Point c = relative ? pos_ + frame_.UserDeltaToFrame({p[0], p[1]}) : frame_.UserToFrame({p[0], p[1]});
    if (!IsFinite(c)) return;
    const std::vector<Point> path{pos_, {c.x, pos_.y}, c, {pos_.x, c.y}, pos_};
    if (fill)
        FillRing(path, design::FillRegion::Rule::NonZero);
    else
        Outline(path);
}

void Interpreter::Bezier(const std::vector<double>& p, bool relative) {
    if (p.size() % 6 != 0) {
        notes_.Add("malformed bezier", "a Bezier curve (BZ, BR) lacked control points: the incomplete one was skipped");
    }
    for (std::size_t i = 0; i + 5 < p.size() && !out_.Full(); i += 6) {
        const Point p0 = pos_;
        auto at = [&](std::size_t k) {
            const Point v{p[i + k], p[i + k + 1]};
            return relative ? p0 + frame_.UserDeltaToFrame(v) : frame_.UserToFrame(v);
        };
        const Point p1 = at(0), p2 = at(2), p3 = at(4);
        if (!IsFinite(p1) || !IsFinite(p2) || !IsFinite(p3)) continue;
        Chords(BezierPoints(p0, p1, p2, p3), penDown_);
    }
}

// --- polygons --------------------------------------------------------------------------------------------

void Interpreter::PolygonMode(const std::vector<double>& p) {
    const std::optional<int32_t> mode = p.empty() ? 0 : Integer(p[0]);
    if (mode == 0) {
        polygonMode_ = true;
        polygon_.assign(1, {{pos_, false}});
        polygonVertices_ = 1;
    } else if ((mode == 1 || mode == 2) && polygonMode_) {
        CloseSubpolygon();
        if (mode == 1) {
            polygon_.push_back({{pos_, false}});
        } else {
            polygonMode_ = false;
            if (!penDown_) out_.PenUp();  // pen changes inside polygon mode were only recorded
        }
    } else if (mode != 1 && mode != 2) {
        notes_.Add("malformed PM", "PM with a mode other than 0, 1 or 2: skipped");
    }
}

// PM 1 and PM 2 close the subpolygon back to its first point; that edge is drawn (by EP) when the pen is down
// as it is closed.
void Interpreter::CloseSubpolygon() {
    if (polygon_.empty() || polygon_.back().size() < 2) return;
    std::vector<PolygonVertex>& sub = polygon_.back();
    if (!(sub.back().at == sub.front().at)) sub.push_back({sub.front().at, penDown_});
}

// EP: the edges of the polygon buffer that were defined with the pen down.
void Interpreter::EdgePolygon() {
    if (polygonMode_) return notes_.Add("ep in polygon", "EP or FP inside polygon mode was skipped");
    for (const std::vector<PolygonVertex>& sub : polygon_) {
        if (sub.size() < 2 || out_.Full()) continue;
        out_.PenUp();
        out_.Travel(Phys(sub[0].at));
        Point prev = sub[0].at;
        for (std::size_t i = 1; i < sub.size(); ++i) {
            if (sub[i].down) {
                out_.Draw(Phys(prev), Phys(sub[i].at));
            } else {
                out_.PenUp();
                out_.Travel(Phys(sub[i].at));
            }
            prev = sub[i].at;
        }
    }
    out_.PenUp();
    out_.Travel(Phys(pos_));
}

// FP: the polygon buffer filled, every subpolygon a ring, with the even-odd rule (FP 0) or non-zero (FP 1).
void Interpreter::FillPolygon(const std::vector<double>& p) {
    if (polygonMode_) return notes_.Add("ep in polygon", "EP or FP inside polygon mode was skipped");
    const design::FillRegion::Rule rule =
        (!p.empty() && Integer(p[0]) == 1) ? design::FillRegion::Rule::NonZero : design::FillRegion::Rule::EvenOdd;
    std::vector<std::vector<Point>> rings;
    for (const std::vector<PolygonVertex>& sub : polygon_) {
        std::vector<Point> ring;
        for (const PolygonVertex& v : sub) ring.push_back(Phys(v.at));
        if (ring.size() >= 3) rings.push_back(std::move(ring));
    }
    if (!rings.empty()) out_.Fill(rings, rule);
}

// --- polyline encoded ------------------------------------------------------------------------------------

void Interpreter::PolylineEncoded() {
    bool found = false;
    // Each step is drawn as it is decoded, so the output limits apply as the data is read.
    const EncodedPolyline pe = DecodePolylineEncoded(scanner_.Encoded(found), [&](const EncodedStep& s) {
        if (out_.Full()) return false;
        if (s.kind == EncodedStep::Kind::SelectPen) {
            SelectPen({static_cast<double>(s.pen)});
            return true;
        }
        const Point to = s.absolute ? frame_.UserToFrame(s.value) : pos_ + frame_.UserDeltaToFrame(s.value);
        if (!IsFinite(to)) return true;
        penDown_ = !s.penUp;
        Segment(pos_, to, penDown_);
        pos_ = carriageReturn_ = to;
        return true;
    });
    if (!found)
        notes_.Add("malformed PE", "PE without its closing ';': read to the end of the input or the next escape");
    if (pe.stopped) return;
    if (pe.badNumber) notes_.Add("malformed PE", "PE held a malformed number: it was skipped");
    if (pe.unpairedCoordinate || pe.danglingFlag) {
        notes_.Add("malformed PE", "PE ended with an incomplete coordinate pair or a flag without its value");
    }
}

void Interpreter::Tick(bool xTick) {
    if (polygonMode_) return;
    const Point span = frame_.P2() - frame_.P1();
    const Point plus = xTick ? Point{0.0, tickPlus_ / 100.0 * span.y} : Point{tickPlus_ / 100.0 * span.x, 0.0};
    const Point minus = xTick ? Point{0.0, -tickMinus_ / 100.0 * span.y} : Point{-tickMinus_ / 100.0 * span.x, 0.0};
    out_.Draw(Phys(pos_), Phys(pos_ + plus));
    out_.Draw(Phys(pos_ + plus), Phys(pos_ + minus));
    out_.PenUp();
    out_.Travel(Phys(pos_));
}

}  // namespace corvanta::hpgl

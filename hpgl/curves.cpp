#include "hpgl/curves.h"

#include <algorithm>
#include <cmath>

namespace corvanta::hpgl {

double ChordAngleDeg(std::optional<double> parameter, bool toleranceMode, double radius, NoteBook& notes) {
    double deg = kDefaultChordDeg;
    if (parameter && toleranceMode) {
        // The chord of angle a on radius r lies r (1 - cos(a/2)) inside the arc at most.
        const double tolerance = std::fabs(*parameter);
        deg = (radius <= 0.0 || tolerance >= 2.0 * radius) ? kMaxChordDeg
                                                           : 2.0 * std::acos(1.0 - tolerance / radius) * 180.0 / kPi;
    } else if (parameter) {
        deg = std::fabs(*parameter);
    }
    if (!(deg >= kMinChordDeg)) {  // also NaN
        notes.Add("fine chords",
                  "chord angles finer than 0.5 degree (or tighter chord tolerances) were drawn "
                  "with 0.5 degree chords");
        return kMinChordDeg;
    }
    if (deg > kMaxChordDeg) {
        if (!toleranceMode) notes.Add("coarse chords", "chord angles above 180 degrees were drawn with 180 degrees");
        return kMaxChordDeg;
    }
    return deg;
}

std::vector<Point> ArcPoints(Point center, Point start, double sweepDeg, double chordDeg, double puPerUnit) {
    std::vector<Point> out;
    if (!(std::fabs(sweepDeg) > 0.0) || !(chordDeg > 0.0)) return out;
    const Point r = start - center;
    const double sweepRad = DegToRad(sweepDeg);
    double chords = std::ceil(std::fabs(sweepDeg) / chordDeg - 1e-9);
    // Chords shorter than kMinChordPu cannot show in moves of whole plotter units: no more of them.
    const double arcPu = Length(r) * std::fabs(sweepRad) * puPerUnit;
    if (arcPu >= 0.0) chords = std::min(chords, std::max(1.0, std::ceil(arcPu / kMinChordPu)));
    const int32_t n = static_cast<int32_t>(std::clamp(chords, 1.0, 360.0 / kMinChordDeg));
    out.reserve(static_cast<std::size_t>(n));
    // Each chord end is the previous one turned by one step; the last is computed directly.
    const double c = std::cos(sweepRad / n), s = std::sin(sweepRad / n);
    Point v = r;
    for (int32_t k = 1; k < n; ++k) {
        v = {v.x * c - v.y * s, v.x * s + v.y * c};
        out.push_back(center + v);
    }
    out.push_back(center + RotatedBy(r, sweepRad));
    return out;
}

std::optional<Point> CircleCenter(Point a, Point b, Point c) {
    const Point ab = b - a, ac = c - a;
    const double d = 2.0 * (ab.x * ac.y - ab.y * ac.x);
    const double scale = std::max({Length(ab), Length(ac), Length(c - b)});
    if (!(std::fabs(d) > 1e-12 * scale * scale)) return std::nullopt;
    const double ab2 = ab.x * ab.x + ab.y * ab.y, ac2 = ac.x * ac.x + ac.y * ac.y;
    const Point center{a.x + (ac.y * ab2 - ab.y * ac2) / d, a.y + (ab.x * ac2 - ac.x * ab2) / d};
    if (!IsFinite(center)) return std::nullopt;
    return center;
}

std::vector<Point> BezierPoints(Point p0, Point p1, Point p2, Point p3) {
    // With n equal parameter steps a cubic stays within |B''|max / (8 n^2) of its chords, and |B''| is at
    // most 6 times the larger second difference of the control points.
    const double m = std::max(Length(p0 - p1 * 2.0 + p2), Length(p1 - p2 * 2.0 + p3));
    const double steps = std::ceil(std::sqrt(6.0 * m / (8.0 * kBezierTolerancePu)));
    const int32_t n =
        static_cast<int32_t>(std::clamp(std::isfinite(steps) ? steps : 1.0, 1.0, double{kMaxBezierChords}));
    std::vector<Point> out;
    out.reserve(static_cast<std::size_t>(n));
    for (int32_t k = 1; k <= n; ++k) {
        const double t = static_cast<double>(k) / n, u = 1.0 - t;
        out.push_back(p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t));
    }
    return out;
}

}  // namespace corvanta::hpgl

// Points and small vector helpers of the HP-GL reader.  All coordinates are doubles; which unit a point is in
// (user units, plotter units of the rotated frame, physical plotter units) is said where it is declared.
#pragma once
#include <cmath>

namespace corvanta::hpgl {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, double k) { return {a.x * k, a.y * k}; }
inline bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
inline double Length(Point a) { return std::hypot(a.x, a.y); }
inline bool IsFinite(Point a) { return std::isfinite(a.x) && std::isfinite(a.y); }

// Rotates `a` counterclockwise by `rad` radians about the origin.
inline Point RotatedBy(Point a, double rad) {
    const double c = std::cos(rad), s = std::sin(rad);
    return {a.x * c - a.y * s, a.x * s + a.y * c};
}

inline constexpr double kPi = 3.14159265358979323846;
inline double DegToRad(double deg) { return deg * kPi / 180.0; }

}  // namespace corvanta::hpgl

// Affine maps, transform lists, and outlines: shapes in user units flattened into page millimetres.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "design/design.h"

namespace corvanta::svg {

struct Vec {
    double x = 0, y = 0;
};

// An affine map: x' = a x + c y + e, y' = b x + d y + f.
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Vec Apply(Vec p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
    // This map after `inner`.
    Matrix operator*(const Matrix& inner) const;
    static Matrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static Matrix Scale(double x, double y) { return {x, 0, 0, y, 0, 0}; }
    // Largest stretch of a unit length (for tolerances given on the page).
    double MaxScale() const;
};

// A transform attribute (matrix, translate, scale, rotate, skewX, skewY); nullopt when malformed.
std::optional<Matrix> ParseTransform(std::string_view text);

// Points the whole drawing may still produce; once spent, outlines take no more.
struct Budget {
    std::size_t pointsLeft = 0;
    bool exhausted = false;
};

struct Subpath {
    std::vector<design::Point> points;  // page millimetres
    bool closed = false;
};

// A shape's outline: commands in user units, curves flattened within a tolerance on the page.
class Outline {
public:
    Outline(const Matrix& toPage, double toleranceMm, Budget& budget)
        : toPage_(toPage), toleranceMm_(toleranceMm), budget_(budget) {}
    void MoveTo(Vec p);
    void LineTo(Vec p);
    void QuadTo(Vec control, Vec p);
    void CubicTo(Vec control1, Vec control2, Vec p);
    // An elliptical arc as SVG states it: radii, x-axis rotation in degrees, the two flags, the end point.
    void ArcTo(double rx, double ry, double rotationDeg, bool large, bool sweep, Vec p);
    void Close();
    Vec Current() const { return current_; }
    // False when a point went out of the range of doubles (the shape is then dropped).
    bool Finite() const { return finite_; }
    std::size_t Segments() const { return segments_; }
    std::vector<Subpath>& Subpaths() { return subpaths_; }

private:
    void Emit(Vec pageMm);
    void StartIfClosed();

    Matrix toPage_;
    double toleranceMm_;
    Budget& budget_;
    std::vector<Subpath> subpaths_;
    Vec current_, start_;  // user units
    bool open_ = false;    // a subpath takes points
    bool finite_ = true;
    std::size_t segments_ = 0;
};

// Path data ("d"): every command, absolute and relative.  False when the data has an error; what came before
// the error is drawn, as SVG renders it.
bool ParsePathData(std::string_view data, Outline& outline);

}  // namespace corvanta::svg

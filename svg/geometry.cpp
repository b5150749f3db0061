#include "svg/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "svg/scan.h"

namespace corvanta::svg {

Matrix Matrix::operator*(const Matrix& m) const {
    return {a * m.a + c * m.b, b * m.a + d * m.b,     a * m.c + c * m.d,
            b * m.c + d * m.d, a * m.e + c * m.f + e, b * m.e + d * m.f + f};
}

double Matrix::MaxScale() const { return std::max(std::hypot(a, b), std::hypot(c, d)); }

std::optional<Matrix> ParseTransform(std::string_view text) {
    Matrix m;
    Scanner scan(text);
    scan.SkipCommaSpace();
    while (!scan.AtEnd()) {
        std::string_view rest = scan.Rest();
        std::size_t nameLength = 0;
        while (nameLength < rest.size() && std::isalpha(static_cast<unsigned char>(rest[nameLength]))) ++nameLength;
        const std::string_view name = rest.substr(0, nameLength);
        for (std::size_t i = 0; i < nameLength; ++i) scan.Advance();
        scan.SkipSpace();
        if (scan.Peek() != '(') return std::nullopt;
        scan.Advance();
        double v[6];
        int n = 0;
        scan.SkipSpace();
        while (scan.Peek() != ')') {
            if (n == 6 || !scan.Number(v[n++])) return std::nullopt;
            scan.SkipCommaSpace();
        }
        scan.Advance();
        const double rad = n > 0 ? v[0] * std::numbers::pi / 180 : 0;
        Matrix t;
        if (name == "matrix" && n == 6) {
            t = {v[0], v[1], v[2], v[3], v[4], v[5]};
        } else if (name == "translate" && (n == 1 || n == 2)) {
            t = Matrix::Translate(v[0], n == 2 ? v[1] : 0);
        } else if (name == "scale" && (n == 1 || n == 2)) {
            t = Matrix::Scale(v[0], n == 2 ? v[1] : v[0]);
        } else if (name == "rotate" && (n == 1 || n == 3)) {
            t = {std::cos(rad), std::sin(rad), -std::sin(rad), std::cos(rad), 0, 0};
            if (n == 3) t = Matrix::Translate(v[1], v[2]) * t * Matrix::Translate(-v[1], -v[2]);
        } else if (name == "skewX" && n == 1) {
            t = {1, 0, std::tan(rad), 1, 0, 0};
        } else if (name == "skewY" && n == 1) {
            t = {1, std::tan(rad), 0, 1, 0, 0};
        } else {
            return std::nullopt;
        }
        m = m * t;
        scan.SkipCommaSpace();
    }
    return m;
}

// --- Outline -------------------------------------------------------------------------------------------------

namespace {

// Pieces a curve is cut into so that no chord strays more than the tolerance: a polynomial curve cut into n
// equal steps of its parameter strays at most (largest second derivative) / (8 n^2).
constexpr int kMaxPiecesPerCurve = 4096;

int Pieces(double secondDerivative, double toleranceMm) {
    const double n = std::ceil(std::sqrt(secondDerivative / (8 * toleranceMm)));
    if (!(n >= 1)) return 1;
    return n > kMaxPiecesPerCurve ? kMaxPiecesPerCurve : static_cast<int>(n);
}

double Norm(Vec v) { return std::hypot(v.x, v.y); }
Vec Combine(Vec p, double a, Vec q, double b) { return {p.x * a + q.x * b, p.y * a + q.y * b}; }

}  // namespace

void Outline::Emit(Vec p) {
    if (budget_.exhausted) return;
    if (budget_.pointsLeft == 0) {
        budget_.exhausted = true;
        return;
    }
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) finite_ = false;
    --budget_.pointsLeft;
    subpaths_.back().points.push_back({p.x, p.y});
}

void Outline::MoveTo(Vec p) {
    subpaths_.emplace_back();
    current_ = start_ = p;
    open_ = true;
    Emit(toPage_.Apply(p));
}

void Outline::StartIfClosed() {
    if (!open_) MoveTo(current_);  // drawing on after a close starts at the closed subpath's start
}

void Outline::LineTo(Vec p) {
    StartIfClosed();
    current_ = p;
    ++segments_;
    Emit(toPage_.Apply(p));
}

void Outline::QuadTo(Vec control, Vec p) {
    StartIfClosed();
    const Vec p0 = toPage_.Apply(current_), p1 = toPage_.Apply(control), p2 = toPage_.Apply(p);
    const Vec second{p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y};
    const int n = Pieces(2 * Norm(second), toleranceMm_);
    for (int i = 1; i < n; ++i) {
        const double t = double(i) / n, s = 1 - t;
        Emit(Combine(Combine(p0, s * s, p1, 2 * s * t), 1, p2, t * t));
    }
    current_ = p;
    segments_ += std::size_t(n);
    Emit(p2);
}

void Outline::CubicTo(Vec control1, Vec control2, Vec p) {
    StartIfClosed();
    const Vec p0 = toPage_.Apply(current_), p1 = toPage_.Apply(control1), p2 = toPage_.Apply(control2),
              p3 = toPage_.Apply(p);
    const double d1 = Norm({p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y});
    const double d2 = Norm({p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y});
    const int n = Pieces(6 * std::max(d1, d2), toleranceMm_);
    for (int i = 1; i < n; ++i) {
        const double t = double(i) / n, s = 1 - t;
        const Vec a = Combine(p0, s * s * s, p1, 3 * s * s * t);
        const Vec b = Combine(p2, 3 * s * t * t, p3, t * t * t);
        Emit(Combine(a, 1, b, 1));
    }
    current_ = p;
    segments_ += std::size_t(n);
    Emit(p3);
}

void Outline::ArcTo(double rx, double ry, double rotationDeg, bool large, bool sweep, Vec p) {
    const Vec p1 = current_;
    if (p1.x == p.x && p1.y == p.y) return;  // an arc to its own start is left out
    rx = std::fabs(rx), ry = std::fabs(ry);
    if (rx == 0 || ry == 0) return LineTo(p);
    // From end points to centre: the ellipse through both ends, enlarged when too small to reach.
    const double phi = rotationDeg * std::numbers::pi / 180, cs = std::cos(phi), sn = std::sin(phi);
    const double dx = (p1.x - p.x) / 2, dy = (p1.y - p.y) / 2;
    const double x1 = cs * dx + sn * dy, y1 = -sn * dx + cs * dy;
    const double lambda = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
    if (lambda > 1) rx *= std::sqrt(lambda), ry *= std::sqrt(lambda);
    const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    const double k = (large == sweep ? -1 : 1) * std::sqrt(std::max(0.0, num / den));
    const double cxp = k * rx * y1 / ry, cyp = -k * ry * x1 / rx;
    const double cx = cs * cxp - sn * cyp + (p1.x + p.x) / 2, cy = sn * cxp + cs * cyp + (p1.y + p.y) / 2;
    const auto angle = [](double ux, double uy, double vx, double vy) {
        return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
    };
    const double theta = angle(1, 0, (x1 - cxp) / rx, (y1 - cyp) / ry);
    double delta = angle((x1 - cxp) / rx, (y1 - cyp) / ry, (-x1 - cxp) / rx, (-y1 - cyp) / ry);
    if (!sweep && delta > 0) delta -= 2 * std::numbers::pi;
    if (sweep && delta < 0) delta += 2 * std::numbers::pi;
    if (!std::isfinite(theta + delta + cx + cy)) return LineTo(p);
    // Cubic pieces of at most a quarter turn each.
    const int n = std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (std::numbers::pi / 2) - 1e-9)));
    const double step = delta / n, t = 4.0 / 3.0 * std::tan(step / 4);
    const auto onEllipse = [&](double x, double y) {
        return Vec{cx + rx * cs * x - ry * sn * y, cy + rx * sn * x + ry * cs * y};
    };
    for (int i = 0; i < n; ++i) {
        const double a = theta + i * step, b = a + step;
        const Vec c1 = onEllipse(std::cos(a) - t * std::sin(a), std::sin(a) + t * std::cos(a));
        const Vec c2 = onEllipse(std::cos(b) + t * std::sin(b), std::sin(b) - t * std::cos(b));
        CubicTo(c1, c2, i + 1 == n ? p : onEllipse(std::cos(b), std::sin(b)));
    }
}

void Outline::Close() {
    if (!open_) return;
    Subpath& s = subpaths_.back();
    s.closed = true;
    if (!s.points.empty()) {
        const design::Point first = s.points.front(), last = s.points.back();
        if (first.x != last.x || first.y != last.y) {
            ++segments_;
            Emit({first.x, first.y});
        }
    }
    current_ = start_;
    open_ = false;
}

}  // namespace corvanta::svg

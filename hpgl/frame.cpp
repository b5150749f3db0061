#include "hpgl/frame.h"

#include <algorithm>
#include <cmath>

#include "hpgl/hpgl.h"

namespace corvanta::hpgl {

Frame::Frame() : pageW_(kBedWidthPu), pageH_(kBedHeightPu) { Reset(); }

void Frame::Reset() {
    rotation_ = 0;
    scaling_.reset();
    DefaultP1P2();
}

void Frame::SetPage(double width, double height) {
    pageW_ = std::max(1.0, width);
    pageH_ = std::max(1.0, height);
    DefaultP1P2();
}

void Frame::DefaultPage() { SetPage(kBedWidthPu, kBedHeightPu); }

Point Frame::PageSize() const {
    return (rotation_ == 90 || rotation_ == 270) ? Point{pageH_, pageW_} : Point{pageW_, pageH_};
}

Point Frame::ToPhysical(Point f) const {
    switch (rotation_) {
        case 90: return {pageW_ - f.y, f.x};
        case 180: return {pageW_ - f.x, pageH_ - f.y};
        case 270: return {f.y, pageH_ - f.x};
        default: return f;
    }
}

Point Frame::FromPhysical(Point p) const {
    switch (rotation_) {
        case 90: return {p.y, pageW_ - p.x};
        case 180: return {pageW_ - p.x, pageH_ - p.y};
        case 270: return {pageH_ - p.y, p.x};
        default: return p;
    }
}

bool Frame::Rotate(int32_t degrees) {
    if (degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270) return false;
    const Point p1 = ToPhysical(p1_), p2 = ToPhysical(p2_);
    rotation_ = degrees;
    if (p1p2Set_) {
        p1_ = FromPhysical(p1), p2_ = FromPhysical(p2);
        Recompute();
    } else {
        DefaultP1P2();
    }
    return true;
}

void Frame::SetP1P2(Point p1, Point p2) {
    if (p1.x == p2.x) p2.x += 1.0;
    if (p1.y == p2.y) p2.y += 1.0;
    p1_ = p1, p2_ = p2, p1p2Set_ = true;
    Recompute();
}

void Frame::DefaultP1P2() {
    p1_ = {0.0, 0.0};
    p2_ = PageSize();
    p1p2Set_ = false;
    Recompute();
}

bool Frame::SetScaling(const Scaling& s) {
    if (s.type != Scaling::Type::PointFactor && (s.xmax == s.xmin || s.ymax == s.ymin)) return false;
    const std::optional<Scaling> old = scaling_;
    scaling_ = s;
    Recompute();
    const bool usable = std::isfinite(ax_) && std::isfinite(ay_) && std::isfinite(bx_) && std::isfinite(by_) &&
                        ax_ != 0.0 && ay_ != 0.0;
    if (!usable) {
        scaling_ = old;
        Recompute();
    }
    return usable;
}

Point Frame::FrameToUser(Point f) const { return {(f.x - bx_) / ax_, (f.y - by_) / ay_}; }

void Frame::Recompute() {
    ax_ = ay_ = 1.0, bx_ = by_ = 0.0;
    if (!scaling_) return;
    const Scaling& s = *scaling_;
    const double spanX = p2_.x - p1_.x, spanY = p2_.y - p1_.y;  // frame units
    switch (s.type) {
        case Scaling::Type::PointFactor:
            ax_ = s.xmax, ay_ = s.ymax;
            bx_ = p1_.x - s.xmin * ax_, by_ = p1_.y - s.ymin * ay_;
            return;
        case Scaling::Type::Anisotropic:
            ax_ = spanX / (s.xmax - s.xmin), ay_ = spanY / (s.ymax - s.ymin);
            bx_ = p1_.x - s.xmin * ax_, by_ = p1_.y - s.ymin * ay_;
            return;
        case Scaling::Type::Isotropic: {
            const double sx = spanX / (s.xmax - s.xmin), sy = spanY / (s.ymax - s.ymin);
            const double k = std::min(std::fabs(sx), std::fabs(sy));
            ax_ = std::copysign(k, sx), ay_ = std::copysign(k, sy);
            // The user rectangle is smaller than P1P2 along one axis; that spare room is shared out by the
            // left / bottom percentages, measured from P1 toward P2.
            const double spareX = std::fabs(spanX) - k * std::fabs(s.xmax - s.xmin);
            const double spareY = std::fabs(spanY) - k * std::fabs(s.ymax - s.ymin);
            bx_ = p1_.x + std::copysign(spareX * s.left / 100.0, spanX) - s.xmin * ax_;
            by_ = p1_.y + std::copysign(spareY * s.bottom / 100.0, spanY) - s.ymin * ay_;
            return;
        }
    }
}

}  // namespace corvanta::hpgl

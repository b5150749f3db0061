// The plotter's coordinate frame: page, rotation (RO), scaling points P1/P2 (IP, IR) and user scaling (SC).
//
// Three kinds of coordinates:
//   user units      what the plot's numbers mean while SC is on (plotter units while it is off);
//   frame units     plotter units in the frame rotated by RO, origin at the rotated page's lower left corner;
//   physical units  plotter units on the bed, origin at plotter 0,0, what the records move in.
// RO n turns the frame n degrees counterclockwise on the page: with RO 90 the frame's x axis points up the
// page and its origin sits at the page's lower right corner, so the rotated page covers the same physical
// rectangle as the unrotated one.  The page is the bed unless PS gives another size.
#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>

#include "hpgl/geometry.h"

namespace corvanta::hpgl {

// The parameters of an SC instruction, kept so the scaling follows later changes of P1/P2.
struct Scaling {
    enum class Type { Anisotropic, Isotropic, PointFactor };
    Type type = Type::Anisotropic;
    double xmin = 0, xmax = 1, ymin = 0, ymax = 1;  // user units; for PointFactor xmax/ymax are the factors
    double left = 50, bottom = 50;                  // isotropic: per cent of the spare room left / below
};

class Frame {
public:
    Frame();

    // IN: rotation 0, default P1/P2, scaling off.  The page size is kept.
    void Reset();
    // PS: page of width x height physical units (clamped to at least 1); P1/P2 back to their defaults.
    void SetPage(double width, double height);
    void DefaultPage();
    // RO: 0, 90, 180 or 270 (false for any other angle).  P1/P2 keep their physical places when they were
    // set by IP/IR, and take the defaults of the rotated page otherwise.
    bool Rotate(int32_t degrees);
    int32_t Rotation() const { return rotation_; }

    // IP / IR: P1 and P2 in frame units.  Coincident coordinates are moved 1 unit apart (a plotter does).
    void SetP1P2(Point p1, Point p2);
    void DefaultP1P2();
    Point P1() const { return p1_; }
    Point P2() const { return p2_; }
    Point PageSize() const;  // the page in frame units: width and height after rotation

    // SC.  Returns false (and changes nothing) when the scaling would divide by zero.
    bool SetScaling(const Scaling& s);
    void ScalingOff() { scaling_.reset(), Recompute(); }
    bool ScalingOn() const { return scaling_.has_value(); }

    Point UserToFrame(Point user) const { return {ax_ * user.x + bx_, ay_ * user.y + by_}; }
    Point UserDeltaToFrame(Point d) const { return {ax_ * d.x, ay_ * d.y}; }
    Point FrameToUser(Point f) const;
    // Frame units per user unit along x: the factor of radii, chord tolerances and other lengths.
    double UnitX() const { return ax_ < 0 ? -ax_ : ax_; }
    // Frame units per user unit along the longer axis: how fine a curve computed in user units must be.
    double UnitMax() const { return std::max(UnitX(), ay_ < 0 ? -ay_ : ay_); }

    Point ToPhysical(Point frame) const;
    Point FromPhysical(Point physical) const;

private:
    void Recompute();

    double pageW_, pageH_;  // physical units, unrotated
    int32_t rotation_ = 0;  // degrees, 0 / 90 / 180 / 270
    Point p1_, p2_;         // frame units
    bool p1p2Set_ = false;  // P1/P2 given by IP/IR rather than defaults
    std::optional<Scaling> scaling_;
    double ax_ = 1, bx_ = 0, ay_ = 1, by_ = 0;  // frame = a * user + b, per axis
};

}  // namespace corvanta::hpgl

// Arcs, circles and Bezier curves as chains of chords.  All lengths here are frame units (plotter units).
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "hpgl/geometry.h"
#include "hpgl/notes.h"

namespace corvanta::hpgl {

inline constexpr double kDefaultChordDeg = 5.0;  // chord angle of arcs and circles when none is given
inline constexpr double kMinChordDeg = 0.5;      // finest chord angle: at most 720 chords per circle
inline constexpr double kMaxChordDeg = 180.0;
inline constexpr double kMinChordPu = 0.25;         // shortest chord worth computing, plotter units
inline constexpr double kBezierTolerancePu = 10.0;  // a Bezier's chords stay within 0.25 mm of the curve
inline constexpr int32_t kMaxBezierChords = 1000;

// Chord angle in degrees, kMinChordDeg..kMaxChordDeg, for an arc of radius `radius`.  `parameter` is the
// instruction's chord parameter: an angle in degrees, or with `toleranceMode` (CT 1) the largest distance
// of a chord from the arc in frame units.  Clamping is noted.
double ChordAngleDeg(std::optional<double> parameter, bool toleranceMode, double radius, NoteBook& notes);

// The chord ends of an arc about `center` from `start`, turning `sweepDeg` (counterclockwise when positive):
// ceil(|sweep| / chord) equal chords, fewer when they would be shorter than kMinChordPu; the start itself
// not included.  The points are in any unit of which `puPerUnit` plotter units make one (the plot's user
// units: an arc is computed where the plot defines it and mapped afterwards).
std::vector<Point> ArcPoints(Point center, Point start, double sweepDeg, double chordDeg, double puPerUnit = 1.0);

// Centre of the circle through three points; nullopt when they are (nearly) on one line.
std::optional<Point> CircleCenter(Point a, Point b, Point c);

// Chord ends of the cubic Bezier p0..p3, p0 not included, within kBezierTolerancePu of the curve.
std::vector<Point> BezierPoints(Point p0, Point p1, Point p2, Point p3);

}  // namespace corvanta::hpgl

// Lays out label text (LB) in the stroke font: a character cell is 1.5 character widths wide and two
// character heights tall (ES adds to both); a capital fills the character width and height, descenders go
// a third of the height below the baseline.  Coordinates are frame units.
//
// Text positions are measured from the carriage-return point: u along the text direction, v across it (up).
// Control characters: CR returns to the carriage-return point's u, LF moves one line down, BS one cell
// back; other control characters are not printed.  Characters outside printable ASCII are left blank.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "hpgl/geometry.h"
#include "hpgl/stroke_font.h"

namespace corvanta::hpgl {

struct LabelStyle {
    double width = 74.8;        // character width, frame units (SI 0.187 cm); negative mirrors
    double height = 107.6;      // capital height, frame units (SI 0.269 cm); negative mirrors
    Point direction{1.0, 0.0};  // unit vector of the text direction (DI / DR)
    double slant = 0.0;         // SL: tangent of the slant angle
    double extraSpace = 0.0;    // ES: extra space between characters, in character cells
    double extraLine = 0.0;     // ES: extra space between lines, in lines
    int32_t origin = 1;         // LO 1..9 or 11..19

    double Advance() const { return 1.5 * width * (1.0 + extraSpace); }
    double LineStep() const { return 2.0 * height * (1.0 + extraLine); }
    Point Across() const { return {-direction.y, direction.x}; }
};

// Receives the label's pen-down polylines in drawing order; returns false to stop the layout.
using StrokeSink = std::function<bool(const std::vector<Point>& stroke)>;

struct LaidOutLabel {
    Point end;            // the current position after the label
    uint64_t blanks = 0;  // characters without a glyph, left blank
};

// Lays out the label `text` starting at `start`, handing each stroke to `sink`; `carriageReturn` is the point
// CR returns to.  The position after the label follows its last character as it was placed, whatever the
// label origin.
LaidOutLabel LayOutLabel(std::string_view text, const LabelStyle& style, Point start, Point carriageReturn,
                         const StrokeFont& font, const StrokeSink& sink);

// The strokes of one character centred on `at` (symbol mode, SM).
std::vector<std::vector<Point>> SymbolStrokes(unsigned char c, const LabelStyle& style, Point at,
                                              const StrokeFont& font);

}  // namespace corvanta::hpgl

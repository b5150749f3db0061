// PE, polyline encoded: coordinates packed as base-64 (8-bit mode) or base-32 (7-bit mode) digits.
//
// A number n is sent as 2n (n >= 0) or 2|n| + 1 (n < 0), least significant digit first; the digits before
// the last are bytes 63..126 (value byte - 63), the last digit is 191..254 (value byte - 191) in 8-bit mode,
// or in 7-bit mode 63..94 and 95..126 (value byte - 95).  Flags before a number:
//   ':' the number is a pen to select      '<' the next pair is a pen-up move
//   '>' the number is the count of fractional bits of the coordinates that follow (-26..26)
//   '=' the next pair is an absolute position (otherwise pairs are relative)
//   '7' 7-bit mode for the rest of the instruction
// Other bytes (blanks, line breaks) are skipped.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

#include "hpgl/geometry.h"

namespace corvanta::hpgl {

struct EncodedStep {
    enum class Kind { SelectPen, Move };
    Kind kind = Kind::Move;
    int32_t pen = 0;        // SelectPen: the pen number
    Point value;            // Move: user units, fractional bits applied
    bool penUp = false;     // Move: made with the pen up
    bool absolute = false;  // Move: an absolute position rather than a relative move
};

// What was wrong with the data as a whole; the steps themselves go to the caller one by one.
struct EncodedPolyline {
    bool stopped = false;             // the caller asked to stop before the end of the data
    bool unpairedCoordinate = false;  // an x without its y at the end
    bool danglingFlag = false;        // a flag at the end with nothing after it
    bool badNumber = false;           // a number too long to be a coordinate, or a flag inside a number
};

// Decodes the data and hands each step to `step` as it is found, so memory does not grow with the data;
// `step` returns false to stop (a limit was reached).
EncodedPolyline DecodePolylineEncoded(std::string_view data, const std::function<bool(const EncodedStep&)>& step);

}  // namespace corvanta::hpgl

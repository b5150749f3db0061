// Resolutions per unit and axis, and the conversion factors derived from them.
//
// Units: plotbed unit 1/3048 in; servo unit 1/12192 in (4 per plotbed unit);
// encoder count X 1/3048 in, Y 1/6096 in; HPGL unit 1/1016 in (3 plotbed
// units); millimetre = 120 plotbed units; tick 0.4 ms; acceleration in servo
// units per tick^2, Q14 (16384 = 1 servo unit/tick^2).
#pragma once
#include <cstdint>

namespace corvanta {

struct Xyz {
    int32_t X, Y, Z;
};

// One resolution set: 15 int32 in this order, each quantity for X, Y, Z.
struct ResoSet {
    Xyz HwScale;   // servo units per encoder count at base resolution, Q12 (4096 = 1.0)
    Xyz SvoReso;   // servo units per inch
    Xyz PbdReso;   // plotbed units per inch
    Xyz AuxReso;   // a further resolution per inch (not read)
    Xyz HpglReso;  // HPGL units per inch
};
static_assert(sizeof(ResoSet) == 15 * sizeof(int32_t));

// Entry k (0..14) of a resolution set in its storage order.
int32_t ResoEntry(const ResoSet& s, int k);

}  // namespace corvanta

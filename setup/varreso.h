// Resolutions per unit and axis, and the conversion factors derived from them.
//
// Units: plotbed unit 1/3048 in; servo unit 1/12192 in (4 per plotbed unit);
// encoder count X 1/3048 in, Y 1/6096 in; HPGL unit 1/1016 in (3 plotbed
// units); millimetre = 120 plotbed units; tick 0.4 ms; acceleration in servo
// units per tick^2, Q14 (16384 = 1 servo unit/tick^2).
#pragma once
#include <cstdint>

struct Xyz {
    int32_t X, Y, Z;
};

// One resolution set: 15 int32 in this order, each quantity for X, Y, Z.
struct ResoSet {
    Xyz HwScale;    // servo units per encoder count at base resolution, Q12 (4096 = 1.0)
    Xyz SvoReso;    // servo units per inch
    Xyz PbdReso;    // plotbed units per inch
    Xyz AuxReso;    // a further resolution per inch (not read)
    Xyz HpglReso;   // HPGL units per inch
};
static_assert(sizeof(ResoSet) == 15 * sizeof(int32_t));

extern ResoSet ResoRequested;   // filled with the working resolution; not read
extern ResoSet ResoBase;        // base mechanics: 2032 plotbed, 8128 servo units per inch
extern ResoSet ResoCurrent;     // working resolution: 3048 plotbed, 12192 servo units per inch

extern int32_t ResoPerMm[15];   // each ResoCurrent entry x 10 / 254, truncating
extern int32_t SvoPerMmX;       // servo units per mm (480)
extern int32_t PbdPerMmX, PbdPerMmY;                   // plotbed units per mm (120)
extern int32_t VARRESO_PbdToSvoX, VARRESO_PbdToSvoY;   // servo units per plotbed unit (4)
extern int32_t VARRESO_PbdToSvoZ;
extern int32_t HpglToPbdX, HpglToPbdY, HpglToPbdZ;     // plotbed units per HPGL unit (3)
extern int32_t EncToSvoX, EncToSvoY, EncToSvoZ;        // Q12 servo units per encoder count (16385, 8192)
extern int32_t EncScaleX, EncScaleY, EncScaleZ;        // Q16 encoder counts per servo unit (16383, 32768)
extern int32_t OneG;            // 1 g (386.4 in/s^2) in Q14 servo units per tick^2 (12350)
extern float ServoTickPeriod;   // seconds per tick, the float nearest to 0.0004
extern int32_t RasterMoveSpeed; // 40 in/s in plotbed units per second (121920)

void varreso_Initial();
void varreso_Derive();
void DumpMachineParams();
// Entry k (0..14) of a resolution set in its storage order.
int32_t ResoEntry(const ResoSet& s, int k);

// Machine parameter records and the start-up initialisation.
//
// All values are compiled-in defaults of the modelled machine.  Lengths are
// plotbed units (1/3048 in) unless a field says otherwise.  The two model
// variants differ only in VectorAccelLevels[3] (and the status file's tag).
#pragma once
#include <cstdint>

namespace corvanta {

struct XY32 {
    int32_t X, Y;
};

// Servo gain set: fourteen int16 gains, then two int32 integral limits.
struct ServoGainRec {
    int16_t XGain, YGain, XRateFactor, YRateFactor, XIGain, YIGain, K3X, K3Y;
    int16_t rXGain, rGain, rXratefactor, rratefactor, rXIGain, rIGain;
    int32_t XILimit, YILimit;
};

struct MachParamRec {
    XY32 MaxDistance;                         // travel limits, plotbed units (89520, 56400)
    XY32 MaxVelocity;                         // plotbed units/s: X 80 in/s (243840), Y 41 in/s (124968)
    XY32 MaxAcceleration;                     // tenths of 1 g (X 50; Y 1, dump only)
    XY32 TableSize;                           // work area, plotbed units (76800, 55200)
    XY32 InitDistance;                        // PCL origin in plotbed units (240, 55920)
    XY32 DefInitDistance;                     // default of InitDistance (dump only)
    XY32 Resolution;                          // read by the raster margin logic; 0 (never set)
    int32_t EndDelay1, EndDelay2, EndDelay3;  // ticks, vector mode end delays (24, 100, 3)
    int32_t EndDelay4;                        // ticks, raster mode end delay (5)
    int32_t EndDelay5, EndDelay6;             // dump only (0)
    ServoGainRec ServoAux;                    // not read
    ServoGainRec ServoVector;                 // printed by the parameter dump only
};

struct RomParamRec {
    MachParamRec MachParam;
};

// Pens 0..16: pen 0 plus the sixteen pens of the speed table.
constexpr int PEN_COUNT = 17;
constexpr uint8_t PEN_MAX = PEN_COUNT - 1;

// The current job's settings, written by the command interpreter.
struct CurrentFileRec {
    uint8_t VectorCurrentPen;  // pen 0..16
    uint8_t RasterMode;
    uint16_t RasterUnit;              // PCL rows per inch (Y)
    uint16_t RasterDPI;               // PCL dots per inch (X)
    uint16_t RasterPower;             // per mille
    int8_t ImageAbsPosFlag;           // nonzero: image offsets are absolute
    int32_t ImageOffsetX;             // PCL dots
    int32_t ImageOffsetY;             // PCL rows
    int32_t ImageWidth;               // PCL dots
    int32_t ImageHeight;              // raster lines
    uint8_t RasterAccelEngrave;       // nonzero: fixed 13 mm run-up
    uint8_t RasterBuEngrave;          // nonzero: lines step toward +Y (bottom-up)
    uint16_t RasterSpeedX;            // thousandths of MaxVelocity.X
    uint16_t RasterSpeedY;            // thousandths of MaxVelocity.Y
    uint8_t RasterAccelX;             // tenths of 1 g; 0 becomes 50 at raster start
    uint8_t RasterAccelY;             // tenths of 1 g; 0 becomes 50 at raster start
    uint16_t RasterFiringType;        // 0: both directions, else forward only
    uint8_t RasterBandingFree;        // PCL rows per raster line
    uint16_t VectorSpeed[PEN_COUNT];  // per pen, thousandths of MaxVelocity.Y
    int16_t VectorAccel[PEN_COUNT];   // per pen, pen-down acceleration in thousandths of 1 g
};

struct LaserVectorParamRec {
    uint8_t VectorAccel[PEN_COUNT];  // acceleration level 1..3 per pen
};
struct LaserRasterParamRec {
    int32_t RasterMargin[5];  // not read
};

struct MsDirectiveRec {
    uint8_t FineCuttingMode;
    uint8_t ComnetTurboMode;
    int32_t CCDSpeedAdjust;
    int16_t ImageTuning;
};
struct MsPlotbedRec {
    uint8_t CornerTable;  // corner mode; set to 1 by every vector
};

struct PosLimit {
    int32_t x, y;
};

// The model variant: the status file's tag and the third acceleration level.
struct ModelVariant {
    const char* tag;      // "XR7" or "K730"
    int16_t accelLevel3;  // 30 or 60
};
extern const ModelVariant ModelXR7, ModelK730;

}  // namespace corvanta

// The machine set-up layer: the compiled-in machine parameters, the current
// job's settings, resolutions and conversion factors, and the speed records
// of the speed classes.  Everything a planner or the servo reads as settings.
//
// Units: plotbed unit 1/3048 in; servo unit 1/12192 in (4 per plotbed unit);
// encoder count X 1/3048 in, Y 1/6096 in; HPGL unit 1/1016 in (3 plotbed
// units); millimetre = 120 plotbed units; tick 0.4 ms; acceleration in servo
// units per tick^2, Q14 (16384 = 1 servo unit/tick^2).
#pragma once
#include <cstdint>

#include "base/atom.h"
#include "base/base_layer.h"
#include "setup/machine.h"
#include "setup/speeds.h"
#include "setup/varreso.h"

namespace corvanta {

struct SetupLayer : BaseLayer {
    SetupLayer(Console& sink, const ModelVariant& model) : BaseLayer(sink), CorvantaModel(model) {}

    // --- machine parameters and job settings (written at start-up and by the interpreter)
    RomParamRec CurrentRomParam{};
    CurrentFileRec CurrentFile{};
    CurrentFileRec* const ptCurrentFile = &CurrentFile;
    LaserVectorParamRec LaserVectorParam{};
    LaserRasterParamRec LaserRasterParam{};
    LaserVectorParamRec* const pLaserVectorParam = &LaserVectorParam;
    LaserRasterParamRec* const pLaserRasterParam = &LaserRasterParam;
    MsDirectiveRec MsDirective{};
    MsPlotbedRec MsPlotbed{};
    MsDirectiveRec* const pMsDirective = &MsDirective;
    MsPlotbedRec* const pMsPlotbed = &MsPlotbed;
    PosLimit hard_min{}, hard_max{};                          // position limits, plotbed units; 0, never changed
    int16_t VectorAccelLevels[4] = {};                        // thousandths of 1 g per level 1..3
    int16_t HwScaleFactorX = 0, HwScaleFactorY = 0;           // Q12 (10923, 5461)
    int32_t EncOffsetX = 0, EncOffsetY = 0;                   // encoder counts at servo position 0
    int32_t RasterMarginEngrave = 0, RasterMarginNormal = 0;  // plotbed units (1440, 600)
    int32_t UsePseudoDist = 0;                                // 1 for the whole run
    const ModelVariant CorvantaModel;                         // the status file's tag and the third acceleration level

    // --- resolutions and conversion factors (varreso_Initial)
    ResoSet ResoRequested{};               // filled with the working resolution; not read
    ResoSet ResoBase{};                    // base mechanics: 2032 plotbed, 8128 servo units per inch
    ResoSet ResoCurrent{};                 // working resolution: 3048 plotbed, 12192 servo units per inch
    int32_t ResoPerMm[15] = {};            // each ResoCurrent entry x 10 / 254, truncating
    int32_t SvoPerMmX = 0;                 // servo units per mm (480)
    int32_t PbdPerMmX = 0, PbdPerMmY = 0;  // plotbed units per mm (120)
    int32_t VARRESO_PbdToSvoX = 0, VARRESO_PbdToSvoY = 0;  // servo units per plotbed unit (4)
    int32_t VARRESO_PbdToSvoZ = 0;
    int32_t HpglToPbdX = 0, HpglToPbdY = 0, HpglToPbdZ = 0;  // plotbed units per HPGL unit (3)
    int32_t EncToSvoX = 0, EncToSvoY = 0, EncToSvoZ = 0;     // Q12 servo units per encoder count (16385, 8192)
    int32_t EncScaleX = 0, EncScaleY = 0, EncScaleZ = 0;     // Q16 encoder counts per servo unit (16383, 32768)
    int32_t OneG = 0;                                        // 1 g (386.4 in/s^2) in Q14 servo units per tick^2 (12350)
    float ServoTickPeriod = 0.0f;                            // seconds per tick, the float nearest to 0.0004
    int32_t RasterMoveSpeed = 0;                             // 40 in/s in plotbed units per second (121920)

    // --- speed records and creep settings (setup_plotbed_speeds, SetVectorMode)
    VelAccelRec VelAccelPool[SPEED_CLASS_COUNT] = {};
    int32_t CREEP_VELOCITY = 0;  // creep velocity selector: 1 vector mode, 4 raster mode
    int32_t CREEP_SPEED = 0;     // plotbed units/s at or below which a record is low-speed (625 / 2500)
    uint16_t End_Delay_1 = 0, End_Delay_2 = 0, End_Delay_3 = 0;  // end delays given to vector blocks, ticks
    int32_t boundary_speed = 0;                                  // CREEP_SPEED of the last set-up
    int32_t factor_num = 0;       // multiplier of the last set-up: 65 when CREEP_VELOCITY is 4, else 15
    int32_t min_corner_vel = 0;   // 30 % of MaxVelocity.Y in acceleration steps of the last set-up record
    int32_t PenUpSpeed = 0;       // pen-up travel speed, plotbed units/s (121920 = 40 in/s)
    Atom<int16_t> IsrCreepVel{};  // creep-end threshold the servo reads, whole servo units (1 vector, 4 raster)

    // --- settled plotbed position, recomputed from the servo position whenever
    // the planning side waits for an idle servo; plotbed units
    int32_t positionx = 0, positiony = 0;

    // resolutions (varreso.cpp)
    void varreso_Initial();
    void varreso_Derive();
    void DumpMachineParams();
    // parameters (machine.cpp)
    void FillMachParam();
    void InitLaserParamDefaults();
    void InitVectorParams();
    void InitPlotbedSpeeds();
    // speeds (speeds.cpp)
    void setup_plotbed_speeds(int32_t accel, int32_t speedClass, uint32_t speed);
    void SetVectorMode();
    void lsrinp_SetVectSpeed();
    void PrintVelAccel(const VelAccelRec& r);

private:
    void FillSet(ResoSet& s, int32_t svo, int32_t pbd) const;
    void DumpRule();
    void DumpLine(const char* label, int32_t v);
    void DumpText(const char* label, const char* text);
    template <class T>
    void DumpList(const char* label, const T* values, int n);
};

}  // namespace corvanta

#include "setup/machine.h"

#include <cstring>

#include "fwShare/debug.h"
#include "fwShare/fixpt.h"
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "planner/pen.h"
#include "planner/vdb.h"
#include "raster/raster.h"
#include "setup/speeds.h"
#include "setup/varreso.h"
#include "driver/interp.h"

RomParamRec CurrentRomParam;
static CurrentFileRec CurrentFile;
CurrentFileRec* const ptCurrentFile = &CurrentFile;
static LaserVectorParamRec LaserVectorParam;
static LaserRasterParamRec LaserRasterParam;
LaserVectorParamRec* const pLaserVectorParam = &LaserVectorParam;
LaserRasterParamRec* const pLaserRasterParam = &LaserRasterParam;
static MsDirectiveRec MsDirective;
static MsPlotbedRec MsPlotbed;
MsDirectiveRec* const pMsDirective = &MsDirective;
MsPlotbedRec* const pMsPlotbed = &MsPlotbed;
PosLimit hard_min, hard_max;
int16_t VectorAccelLevels[4];
int16_t HwScaleFactorX, HwScaleFactorY;
int32_t EncOffsetX, EncOffsetY;
int32_t RasterMarginEngrave, RasterMarginNormal;
int32_t UsePseudoDist;

const ModelVariant ModelXR7 = {"XR7", 30};
const ModelVariant ModelK730 = {"K730", 60};
ModelVariant CorvantaModel = ModelXR7;

void ResetMachineState() {
    std::memset(&CurrentRomParam, 0, sizeof CurrentRomParam);
    std::memset(&CurrentFile, 0, sizeof CurrentFile);
    std::memset(&LaserVectorParam, 0, sizeof LaserVectorParam);
    std::memset(&LaserRasterParam, 0, sizeof LaserRasterParam);
    std::memset(&MsDirective, 0, sizeof MsDirective);
    std::memset(&MsPlotbed, 0, sizeof MsPlotbed);
    hard_min = {0, 0};
    hard_max = {0, 0};
    std::memset(VectorAccelLevels, 0, sizeof VectorAccelLevels);
    HwScaleFactorX = HwScaleFactorY = 0;
    EncOffsetX = EncOffsetY = 0;
    RasterMarginEngrave = RasterMarginNormal = 0;
    UsePseudoDist = 0;
}

static ServoGainRec Gains(int16_t xg, int16_t yg, int16_t xr, int16_t yr, int16_t xi, int16_t yi,
                          int16_t k3x, int16_t k3y, int32_t xl, int32_t yl) {
    ServoGainRec g{};
    g.XGain = xg; g.YGain = yg; g.XRateFactor = xr; g.YRateFactor = yr;
    g.XIGain = xi; g.YIGain = yi; g.K3X = k3x; g.K3Y = k3y;
    g.XILimit = xl; g.YILimit = yl;
    return g;
}

static void FillMachParam() {
    MachParamRec& m = CurrentRomParam.MachParam;
    m.MaxDistance = {PbdPerMmX * 746, PbdPerMmY * 470};
    m.MaxVelocity = {ResoCurrent.PbdReso.X * 80, ResoCurrent.PbdReso.X * 41};
    m.MaxAcceleration = {50, 1};
    m.TableSize = {PbdPerMmX * 640, PbdPerMmY * 460};
    m.InitDistance = {PbdPerMmX * 2, PbdPerMmY * 466};
    m.DefInitDistance = {PbdPerMmX * 2, PbdPerMmY * 466};
    m.EndDelay1 = 24; m.EndDelay2 = 100; m.EndDelay3 = 3;
    m.EndDelay4 = 5; m.EndDelay5 = 0; m.EndDelay6 = 0;
    m.ServoAux = Gains(120, 150, 3700, 3300, 5, 5, 250, 10, 4800, 6400);
    m.ServoVector = Gains(100, 140, 4000, 4100, 4, 5, 120, 160, 2400, 3200);
}

void InitLaserParamDefaults() {
    for (int i = 0; i < 5; ++i) pLaserRasterParam->RasterMargin[i] = 0;
    for (int p = 0; p <= 16; ++p) {
        pLaserVectorParam->VectorAccel[p] = 3;
        ptCurrentFile->VectorSpeed[p] = 500;
        ptCurrentFile->VectorAccel[p] = 75;
    }
}

void InitVectorParams() {
    VectorAccelLevels[1] = 32;
    VectorAccelLevels[2] = 32;
    VectorAccelLevels[3] = CorvantaModel.accelLevel3;
    CREEP_VELOCITY = 1;
    CREEP_SPEED = 625;
    servo_online_comrst();
    servo_offline_comrst();
    RasterMarginEngrave = PbdPerMmX * 12;
    RasterMarginNormal = PbdPerMmX * 5;
    PenUpSpeed = ResoCurrent.PbdReso.X * 40;
    for (int p = 1; p <= 16; ++p) {
        uint8_t level = pLaserVectorParam->VectorAccel[p];
        ptCurrentFile->VectorAccel[p] = level <= 3 ? VectorAccelLevels[level] : 0;
    }
    ptCurrentFile->VectorAccel[0] = 1;
}

void InitPlotbedSpeeds() {
    for (int k = 0; k < 8; ++k) VelAccelPool[k].id = k;
    setup_plotbed_speeds(1, PEN_UP_CLASS, static_cast<uint32_t>(PbdPerMmX * 10));
    setup_plotbed_speeds(1, PEN_DOWN_CLASS, static_cast<uint32_t>(PbdPerMmX * 10));
    setup_plotbed_speeds(50, RASTER_FORWARD_CLASS, static_cast<uint32_t>(PbdPerMmX * 2040));
    setup_plotbed_speeds(50, RASTER_BACKWARD_CLASS, static_cast<uint32_t>(PbdPerMmX * 2040));
    setup_plotbed_speeds(1, RASTER_OFFSET_CLASS, static_cast<uint32_t>(PbdPerMmX * 20));
    setup_plotbed_speeds(1, RASTER_MOVE_CLASS, static_cast<uint32_t>(PbdPerMmX * 13));
}

void servo_off() {
    WaitServoIdle();
    SVO_SetIsrState(ISRIDLE);
}

void servo_init(int mode, int16_t gainX, int16_t gainY) {
    if (DbgOn(CorvantaDbg)) Trace("^^ servo_init(%d,%d,%d,%d,%d)\n\r", mode, gainX, 1000, gainY, 1000);
    SVO_VectPtr = nullptr;
    SVO_SetIsrState(ISRHOLD);
    if (mode == 0) servo_off();
    IsrCreepVel = 1;
}

void InitMachine() {
    PenIsUp = 1;
    CmdPenDown = 0;
    HwScaleFactorX = 10923;
    HwScaleFactorY = 5461;
    varreso_Initial();
    FillMachParam();
    InitLaserParamDefaults();
    int32_t savedX = positionx, savedY = positiony;
    if (DbgOn(CorvantaDbg)) Trace("^^ InitHardwareScaleFactor()\n\r");
    UsePseudoDist = 1;
    HwScaleFactorX = 10923;
    HwScaleFactorY = 5461;
    EncOffsetX = -87987;
    EncOffsetY = 6104;
    servo_init(0, 100, 100);
    InitVectorParams();
    servo_init(1, 200, 200);
    InitPlotbedSpeeds();
    positionx = savedX;
    positiony = savedY;
    SvoPosX = shl_wrap(positionx, 2);
    SvoPosY = shl_wrap(positiony, 2);
    WaitServoIdle();
    PclPosX = sub_wrap(positionx, CurrentRomParam.MachParam.InitDistance.X);
    PclPosY = sub_wrap(CurrentRomParam.MachParam.InitDistance.Y, positiony);
}

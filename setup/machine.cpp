#include "base/fixpt.h"
#include "setup/setup_layer.h"

namespace corvanta {

const ModelVariant ModelXR7 = {"XR7", 30};
const ModelVariant ModelK730 = {"K730", 60};

// clang-format off
static ServoGainRec Gains(int16_t xg, int16_t yg, int16_t xr, int16_t yr, int16_t xi, int16_t yi,
                          int16_t k3x, int16_t k3y, int32_t xl, int32_t yl) {
    ServoGainRec g{};
    g.XGain = xg; g.YGain = yg; g.XRateFactor = xr; g.YRateFactor = yr;
    g.XIGain = xi; g.YIGain = yi; g.K3X = k3x; g.K3Y = k3y;
    g.XILimit = xl; g.YILimit = yl;
    return g;
}
// clang-format on

void SetupLayer::FillMachParam() {
    MachParamRec& m = CurrentRomParam.MachParam;
    m.MaxDistance = {PbdPerMmX * 746, PbdPerMmY * 470};
    m.MaxVelocity = {ResoCurrent.PbdReso.X * 80, ResoCurrent.PbdReso.X * 41};
    m.MaxAcceleration = {50, 1};
    m.TableSize = {PbdPerMmX * 640, PbdPerMmY * 460};
    m.InitDistance = {PbdPerMmX * 2, PbdPerMmY * 466};
    m.DefInitDistance = {PbdPerMmX * 2, PbdPerMmY * 466};
    // clang-format off
    m.EndDelay1 = 24; m.EndDelay2 = 100; m.EndDelay3 = 3;
    m.EndDelay4 = 5; m.EndDelay5 = 0; m.EndDelay6 = 0;
    // clang-format on
    m.ServoAux = Gains(120, 150, 3700, 3300, 5, 5, 250, 10, 4800, 6400);
    m.ServoVector = Gains(100, 140, 4000, 4100, 4, 5, 120, 160, 2400, 3200);
}

void SetupLayer::InitLaserParamDefaults() {
    for (int i = 0; i < 5; ++i) pLaserRasterParam->RasterMargin[i] = 0;
    for (int p = 0; p <= PEN_MAX; ++p) {
        pLaserVectorParam->VectorAccel[p] = 3;
        ptCurrentFile->VectorSpeed[p] = 500;
        ptCurrentFile->VectorAccel[p] = 75;
    }
}

// The vector-mode start values.  (The block rings are reset beside this by
// the start-up sequence.)
void SetupLayer::InitVectorParams() {
    VectorAccelLevels[1] = 32;
    VectorAccelLevels[2] = 32;
    VectorAccelLevels[3] = CorvantaModel.accelLevel3;
    CREEP_VELOCITY = 1;
    CREEP_SPEED = 625;
    RasterMarginEngrave = PbdPerMmX * 12;
    RasterMarginNormal = PbdPerMmX * 5;
    PenUpSpeed = ResoCurrent.PbdReso.X * 40;
    for (int p = 1; p <= PEN_MAX; ++p) {
        uint8_t level = pLaserVectorParam->VectorAccel[p];
        ptCurrentFile->VectorAccel[p] = level <= 3 ? VectorAccelLevels[level] : 0;
    }
    ptCurrentFile->VectorAccel[0] = 1;
}

void SetupLayer::InitPlotbedSpeeds() {
    for (int k = 0; k < SPEED_CLASS_COUNT; ++k) VelAccelPool[k].id = k;
    setup_plotbed_speeds(1, PEN_UP_CLASS, static_cast<uint32_t>(PbdPerMmX * 10));
    setup_plotbed_speeds(1, PEN_DOWN_CLASS, static_cast<uint32_t>(PbdPerMmX * 10));
    setup_plotbed_speeds(50, RASTER_FORWARD_CLASS, static_cast<uint32_t>(PbdPerMmX * 2040));
    setup_plotbed_speeds(50, RASTER_BACKWARD_CLASS, static_cast<uint32_t>(PbdPerMmX * 2040));
    setup_plotbed_speeds(1, RASTER_OFFSET_CLASS, static_cast<uint32_t>(PbdPerMmX * 20));
    setup_plotbed_speeds(1, RASTER_MOVE_CLASS, static_cast<uint32_t>(PbdPerMmX * 13));
}

}  // namespace corvanta

// Raster margins, run-up distance, stroke length, line-step tables, raster
// speeds and the plotbed-to-PCL conversion.
#include "base/fixpt.h"
#include "raster/raster_layer.h"

namespace corvanta {
namespace {
template <size_t N>
constexpr std::array<int32_t, N> StepTable(int32_t base, const std::array<int, 8>& longer, size_t nLonger) {
    std::array<int32_t, N> t{};
    for (auto& e : t) e = base;
    for (size_t i = 0; i < nLonger; ++i) t[static_cast<size_t>(longer[i])] = base + 1;
    return t;
}
}  // namespace

constexpr std::array<int32_t, RASTER_STEP_TABLE_304> RasterStep304 =
    StepTable<RASTER_STEP_TABLE_304>(10, {37, 75, 113, 151, 189, 227, 265, 303}, 8);
constexpr std::array<int32_t, RASTER_STEP_TABLE_609> RasterStep609 =
    StepTable<RASTER_STEP_TABLE_609>(5, {202, 405, 608, 0, 0, 0, 0, 0}, 3);
void RasterLayer::HandleRasterMargin() {
    const MachParamRec& m = CurrentRomParam.MachParam;
    const CurrentFileRec& cf = *ptCurrentFile;
    const int32_t reso = m.Resolution.X;
    const uint32_t dpi = cf.RasterDPI;
    const int32_t off = trunc_div(mul_wrap(x_mrg, reso), ResoCurrent.PbdReso.X);
    if (DbgOn(TempOff)) {
        Trace("HandleRasterMargin(pclx:%d x_mrg:%d ImgW:%d ImgOff:%d Pwe:%d)\n\r", PclPosX, x_mrg, cf.ImageWidth,
              cf.ImageOffsetX, cf.RasterPower);
        Trace("HandleRasterMargin(reso:%d unit:%d dpi:%d off:%d spd:%d)\n\r", reso, cf.RasterUnit, cf.RasterDPI, off,
              cf.RasterSpeedX);
    }
    const uint32_t imageSpan = udiv(static_cast<uint32_t>(cf.ImageWidth) * static_cast<uint32_t>(reso), dpi);
    const int32_t powerTrim =
        trunc_div(trunc_div(mul_wrap(999 - cf.RasterPower, reso), 1000), static_cast<int32_t>(dpi));
    const int32_t width = static_cast<int32_t>(imageSpan - static_cast<uint32_t>(powerTrim));
    MarginL = off;
    MarginR = add_wrap(off, width);
    const uint32_t half = static_cast<uint32_t>(ResoCurrent.PbdReso.X / 2);
    MarginMid = add_wrap(PclPosX, static_cast<int32_t>(udiv(half * static_cast<uint32_t>(cf.ImageWidth), dpi)));
    if (DbgOn(RasterProc) || DbgOn(TempOff))
        Trace("MARGIN_ENCODER factor:%d,%d L:%d R:%d mid:%d off:%d width:%d\n\r", 0, 0, MarginL, MarginR, MarginMid,
              off, width);
}

uint16_t RasterLayer::CalAccelDistance() {
    const MachParamRec& m = CurrentRomParam.MachParam;
    const uint32_t pbd = static_cast<uint32_t>(ResoCurrent.PbdReso.X);
    const uint32_t maxIPS = udiv(static_cast<uint32_t>(m.MaxVelocity.X), pbd);
    const uint32_t ips = maxIPS * ptCurrentFile->RasterSpeedX / 1000u;
    uint32_t a = static_cast<uint32_t>(m.MaxAcceleration.X) / 10u;
    if (a <= 5) a = 5;
    const uint32_t d = ((pbd * ips * ips) / 2u) / a;
    const double run_pbd = static_cast<double>(d) / 386.4 + PbdPerMmX;
    const uint16_t result = static_cast<uint16_t>(static_cast<int64_t>(run_pbd));
    if (DbgOn(AccDist))
        Trace("CalAccelDistance(ips=%d, speedx=%d, maxIPS=%d) = %d\n\r", static_cast<int32_t>(ips),
              ptCurrentFile->RasterSpeedX, static_cast<int32_t>(maxIPS), result);
    return result;
}

void RasterLayer::HandleRasterMoving() {
    CurrentFileRec& cf = *ptCurrentFile;
    const MachParamRec& m = CurrentRomParam.MachParam;
    if (DbgOn(TempOff)) Trace("Handle Raster Moving()\n\r");
    const uint32_t width =
        udiv(static_cast<uint32_t>(cf.ImageWidth) * static_cast<uint32_t>(ResoCurrent.PbdReso.X), cf.RasterDPI);
    const int32_t mm = PbdPerMmX;
    int32_t acc, dist;
    if (cf.RasterAccelEngrave != 0) {
        acc = PbdPerMmX + RasterMarginEngrave;
        dist = add_wrap(static_cast<int32_t>(width), mul_wrap(2, acc));
        if (DbgOn(TempOff))
            Trace("NoAccelDistance(1)=%d(%d),%d(%d),%d(%d),%d(%d)\n\r", trunc_div(PbdPerMmX, mm), PbdPerMmX,
                  trunc_div(RasterMarginEngrave, mm), RasterMarginEngrave,
                  static_cast<int32_t>(udiv(width, static_cast<uint32_t>(mm))), static_cast<int32_t>(width),
                  trunc_div(dist, mm), dist);
    } else {
        acc = CalAccelDistance() + RasterMarginNormal;
        dist = add_wrap(static_cast<int32_t>(width), mul_wrap(2, acc));
        if (DbgOn(TempOff)) {
            const int32_t c1 = CalAccelDistance();
            const int32_t c2 = CalAccelDistance();
            Trace("CalAccelDistance(2)=%d(%d),%d(%d),%d(%d),%d(%d)\n\r", trunc_div(c1, mm), c2,
                  trunc_div(RasterMarginNormal, mm), RasterMarginNormal,
                  static_cast<int32_t>(udiv(width, static_cast<uint32_t>(mm))), static_cast<int32_t>(width),
                  trunc_div(dist, mm), dist);
        }
    }
    RasterAccelDist = acc;
    if (DbgOn(RasterProc) || DbgOn(TempOff))
        Trace("HandleRasterMoving(width=%d, acc=%d)\n\r", static_cast<int32_t>(width), RasterAccelDist);
    if (DbgOn(TempOff)) Trace("SetRasterDistance(x:%d y:%d unit:%d\n\r", dist, PclPosY, cf.RasterUnit);
    SetRasterDistance(dist, PclPosY, cf.RasterUnit);

    const uint32_t velX = cf.RasterSpeedX * static_cast<uint32_t>(m.MaxVelocity.X) / 1000u;
    const uint32_t velY = cf.RasterSpeedY * static_cast<uint32_t>(m.MaxVelocity.Y) / 1000u;
    int32_t accX = cf.RasterAccelX;
    if (accX == 0) cf.RasterAccelX = 50, accX = 50;
    int32_t accY = cf.RasterAccelY;
    if (accY == 0) cf.RasterAccelY = 50, accY = 50;
    setup_plotbed_speeds(accX, RASTER_FORWARD_CLASS, velX);
    setup_plotbed_speeds(accX, RASTER_BACKWARD_CLASS, velX);
    setup_plotbed_speeds(accY, RASTER_OFFSET_CLASS, velY);
    setup_plotbed_speeds(accY, RASTER_MOVE_CLASS, static_cast<uint32_t>(RasterMoveSpeed));
    if (DbgOn(TempOff))
        Trace("HandleRasterMoving() vel:%d,%d acc:%d,%d\n\r", static_cast<int32_t>(velX), static_cast<int32_t>(velY),
              accX, accY);
}

void RasterLayer::SetRasterDistance(int32_t x, int32_t y, int32_t unit) {
    RasterDistanceX = x;
    const int32_t P = ResoCurrent.PbdReso.Y;
    const int32_t cur_point = trunc_div(mul_wrap(trunc_mod(y, P), unit), P);
    RasterIndicatorY = cur_point != 0 ? cur_point + 1 : 0;
    if (unit != 0 && trunc_mod(P, unit) == 0) {
        const int32_t step = trunc_div(P, unit);
        RasterStepEven[0] = RasterStepEven[1] = RasterStepEven[2] = step;
        RasterStepTable = RasterStepEven;
        RasterIndicatorY = 0;
        rasterindicator = 3;
    } else if (unit == RASTER_STEP_TABLE_304) {
        RasterStepTable = RasterStep304.data();
        rasterindicator = RASTER_STEP_TABLE_304;
    } else if (unit == RASTER_STEP_TABLE_609) {
        RasterStepTable = RasterStep609.data();
        rasterindicator = RASTER_STEP_TABLE_609;
    }
    if (DbgOn(TempOff))
        Trace("pos=%d, unit=%d, cur_point=%d, RasterIndicatorY=%d, rasterindicator=%d\n\r", y, unit, cur_point,
              RasterIndicatorY, rasterindicator);
}

void RasterLayer::lsr_TransPlotbedtoPCL(int32_t dpi, int32_t unit, PclPosRec rec) {
    PclAbsX = trunc_div(mul_wrap(rec.x, dpi), ResoCurrent.PbdReso.X);
    PclAbsY = trunc_div(mul_wrap(rec.y, unit), ResoCurrent.PbdReso.Y);
    if (DbgOn(TempOff))
        Trace("lsr_TransPlotbedtoPCL(dpi:%d, unit:%d) => pcl(%d,%d) abs(%d,%d)\n\r", dpi, unit, rec.x, rec.y, PclAbsX,
              PclAbsY);
}

void RasterLayer::HandleHpglToPclPosition() {
    if (DbgOn(TempOff)) Trace("HandleHpglToPclPosition()\n\r");
    WaitServoIdle();
    const MachParamRec& m = CurrentRomParam.MachParam;
    PclPosX = sub_wrap(positionx, m.InitDistance.X);
    PclPosY = sub_wrap(m.InitDistance.Y, positiony);
    lsr_TransPlotbedtoPCL(ptCurrentFile->RasterDPI, ptCurrentFile->RasterUnit, {PclPosX, PclPosY, x_mrg, y_mrg});
}

}  // namespace corvanta

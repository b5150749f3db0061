#include "base/fixpt.h"
#include "raster/raster_layer.h"

namespace corvanta {

// X beyond which the carriage reaches an image start in two moves (Y, then X).
constexpr int32_t DIAGONAL_START_MAX_X = 77216;

void RasterLayer::HandleStartRasterGraphics() {
    CurrentFileRec& cf = *ptCurrentFile;
    const uint32_t t0 = IsrTick;
    const int32_t dpi = cf.RasterDPI, unit = cf.RasterUnit;
    if (dpi == 0 || unit == 0)
        JobFail("RasterParamError",
                "RasterParamError: record %u \"%s\": an image cannot start with RasterDPI %d and RasterUnit %d "
                "(both must be set and nonzero)",
                CurRecordNo, CurRecordText, dpi, unit);
    if (DbgOn(RasterProc) || DbgOn(TempOff)) {
        Trace("\n\r");
        Trace("HandleStartRasterGraphics(Enter) To(%d,%d) PCL(%05d,%05d) tick:%d\n\r", cf.ImageOffsetX, cf.ImageOffsetY,
              PclPosX, PclPosY, static_cast<int32_t>(t0));
    }
    const MachParamRec& m = CurrentRomParam.MachParam;
    End_Delay_1 = static_cast<uint16_t>(m.EndDelay4);
    End_Delay_2 = 0;
    End_Delay_3 = 0;
    IsrCreepVel = 4;
    CREEP_VELOCITY = 4;
    CREEP_SPEED = 2500;

    const int32_t offX_pbd = trunc_div(mul_wrap(cf.ImageOffsetX, ResoCurrent.PbdReso.X), dpi);
    const int32_t offY_pbd = trunc_div(mul_wrap(cf.ImageOffsetY, ResoCurrent.PbdReso.Y), unit);
    int32_t X, Y;
    if (cf.ImageAbsPosFlag != 0) {
        PclAbsX = cf.ImageOffsetX;
        PclAbsY = cf.ImageOffsetY;
        X = offX_pbd;
        Y = offY_pbd;
    } else {
        PclAbsX = add_wrap(PclAbsX, cf.ImageOffsetX);
        PclAbsY = add_wrap(PclAbsY, cf.ImageOffsetY);
        X = add_wrap(PclPosX, offX_pbd);
        Y = add_wrap(PclPosY, offY_pbd);
    }
    PclPosY = y_mrg = Y;
    PclPosX = x_mrg = X;

    HandleRasterMargin();
    HandleRasterMoving();
    HandleCarriagePosition({PclPosX, PclPosY, x_mrg, y_mrg});
    cf.ImageAbsPosFlag = 0;
    cf.ImageOffsetX = 0;
    cf.ImageOffsetY = 0;
    if (DbgOn(RasterProc) || DbgOn(TempOff)) {
        const uint32_t t1 = IsrTick;
        Trace("HandleStartRasterGraphics(Leave) PCL(%05d,%05d) tick:%d %d\n\r", PclPosX, PclPosY,
              static_cast<int32_t>(t1), static_cast<int32_t>(ticks_between(t0, t1)));
    }
}

void RasterLayer::HandleCarriagePosition(PclPosRec rec) {
    const MachParamRec& m = CurrentRomParam.MachParam;
    const CurrentFileRec& cf = *ptCurrentFile;
    const int32_t span = sub_wrap(m.MaxDistance.X, m.TableSize.X);
    const int32_t T = m.TableSize.X;
    WaitServoIdle();
    int32_t cx = sub_wrap(positionx, m.InitDistance.X);
    int32_t cy = sub_wrap(m.InitDistance.Y, positiony);
    if (DbgOn(RasterMove) || DbgOn(CarriagePos))
        Trace("HandleCarriagePosition(%d,%d->%d,%d)\n\r", cx, cy, rec.x, rec.y);

    if (add_wrap(cf.ImageWidth, cf.ImageHeight) != 0) {
        rec.x = sub_wrap(rec.x, RasterAccelDist);
        // The first stroke runs backward (from the right) only for images that
        // may engrave both ways, start right of the span the carriage can
        // reach from the left, and either pass the table's end or begin
        // right of the image middle (limits compared unsigned).
        const bool pastTable = static_cast<uint32_t>(MarginR) > static_cast<uint32_t>(T);
        const bool backward = cf.RasterFiringType == 0 &&
                              static_cast<uint32_t>(MarginL) > static_cast<uint32_t>(span) &&
                              (pastTable || (MarginR != T && cx > MarginMid));
        RasterDir = backward ? 1 : 0;
        if (backward) rec.x = add_wrap(rec.x, RasterDistanceX);
    }

    if (rec.x >= 0 && static_cast<uint32_t>(add_wrap(m.InitDistance.X, rec.x)) > static_cast<uint32_t>(hard_max.x))
        rec.x = sub_wrap(hard_max.x, m.InitDistance.X);

    WaitServoIdle();
    cx = sub_wrap(positionx, m.InitDistance.X);
    cy = sub_wrap(m.InitDistance.Y, positiony);
    if (1 <= rec.x && rec.x <= DIAGONAL_START_MAX_X) {
        srvo_on_raster_move(RASTER_MOVE_CLASS);
        srvo_on_ve(sub_wrap(rec.x, cx), sub_wrap(cy, rec.y));
    } else {
        srvo_on_raster_move(RASTER_MOVE_CLASS);
        srvo_on_ve(0, sub_wrap(cy, rec.y));
        srvo_on_raster_move(RASTER_MOVE_CLASS);
        srvo_on_ve(sub_wrap(rec.x, cx), 0);
    }
}

void RasterLayer::HandleRasterLineOut() {
    const CurrentFileRec& cf = *ptCurrentFile;
    if (RasterStepTable == nullptr || rasterindicator <= 0)
        JobFail("RasterParamError",
                "RasterParamError: record %u \"%s\": no line-step table has been selected (RasterUnit %d at the last "
                "image start selects none, or no image has started)",
                CurRecordNo, CurRecordText, cf.RasterUnit);
    uint8_t next;
    if (RasterDir == 0) {
        srvo_on_raster_move(RASTER_FORWARD_CLASS);
        srvo_on_ve(RasterDistanceX, 0);
        next = 1;
    } else {
        srvo_on_raster_move(RASTER_BACKWARD_CLASS);
        srvo_on_ve(sub_wrap(0, RasterDistanceX), 0);
        next = 0;
    }
    if (cf.RasterFiringType == 0) RasterDir = next;
    WaitServoIdle();
    const int32_t k = cf.RasterBandingFree != 0 ? cf.RasterBandingFree : 1;
    srvo_on_raster_move(RASTER_OFFSET_CLASS);
    if (RasterIndicatorY == rasterindicator) RasterIndicatorY = 0;
    // A negative cursor or a table kept from an earlier, shorter image could put
    // the index outside the table: bring it back by floor modulo.
    if (RasterIndicatorY < 0 || RasterIndicatorY >= rasterindicator)
        RasterIndicatorY = floor_mod(RasterIndicatorY, rasterindicator);
    const int32_t step = mul_wrap(RasterStepTable[RasterIndicatorY], k);
    const int32_t dy = cf.RasterBuEngrave != 0 ? step : sub_wrap(0, step);
    const int32_t dx = cf.RasterFiringType != 0 ? sub_wrap(0, RasterDistanceX) : 0;
    srvo_on_ve(dx, dy);
    RasterIndicatorY += 1;
    WaitServoIdle();
}

void RasterLayer::HandleEndRasterGraphics() {
    CurrentFileRec& cf = *ptCurrentFile;
    const uint32_t t0 = IsrTick;
    if (cf.ImageHeight != 0 && cf.RasterUnit == 0)
        JobFail("RasterParamError",
                "RasterParamError: record %u \"%s\": the image end cannot advance the cursor with RasterUnit 0",
                CurRecordNo, CurRecordText);
    if (DbgOn(RasterProc) || DbgOn(TempOff))
        Trace("HandleEndRasterGraphics(Enter) PCL(%05d,%05d) tick:%d\n\r", PclPosX, PclPosY, static_cast<int32_t>(t0));
    if (cf.ImageHeight != 0) {
        const int32_t adv = mul_wrap(cf.RasterBandingFree, sub_wrap(cf.ImageHeight, 1));
        PclAbsY = cf.RasterBuEngrave != 0 ? sub_wrap(PclAbsY, adv) : add_wrap(PclAbsY, adv);
        PclPosY = trunc_div(mul_wrap(PclAbsY, ResoCurrent.PbdReso.Y), cf.RasterUnit);
    }
    cf.ImageWidth = 0;
    cf.ImageHeight = 0;
    if (DbgOn(RasterProc) || DbgOn(TempOff)) {
        const uint32_t t1 = IsrTick;
        Trace("HandleEndRasterGraphics(Leave) PCL(%05d,%05d) tick:%d %d\n\r", PclPosX, PclPosY,
              static_cast<int32_t>(t1), static_cast<int32_t>(ticks_between(t0, t1)));
    }
}

void RasterLayer::HandleToHpglMode() {
    const MachParamRec& m = CurrentRomParam.MachParam;
    LanguageMode = LANGUAGE_HPGL;
    WaitServoIdle();
    WaitServoIdle();
    const int32_t cx = sub_wrap(positionx, m.InitDistance.X);
    const int32_t cy = sub_wrap(m.InitDistance.Y, positiony);
    srvo_on_raster_move(RASTER_MOVE_CLASS);
    srvo_on_ve(sub_wrap(PclPosX, cx), sub_wrap(cy, PclPosY));
    HandleStartVectorCutting();
}

}  // namespace corvanta

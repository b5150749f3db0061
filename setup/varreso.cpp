#include <cstdio>
#include <cstring>

#include "base/fixpt.h"
#include "setup/setup_layer.h"

namespace corvanta {

int32_t ResoEntry(const ResoSet& s, int k) {
    int32_t v[15];
    std::memcpy(v, &s, sizeof v);
    return v[k];
}

void SetupLayer::FillSet(ResoSet& s, int32_t svo, int32_t pbd) const {
    s.HwScale = {HwScaleFactorX, HwScaleFactorY, HwScaleFactorX};
    s.SvoReso = {svo, svo, svo};
    s.PbdReso = {pbd, pbd, pbd};
    s.AuxReso = {2032, 2032, 2032};
    s.HpglReso = {1016, 1016, 1016};
}

void SetupLayer::varreso_Initial() {
    if (DbgOn(CorvantaDbg)) Trace("^^ varreso_Initial(%d,%d)\n\r", 3048, 12192);
    ServoTickPeriod = 0.0004f;
    FillSet(ResoRequested, 12192, 3048);
    FillSet(ResoBase, 8128, 2032);
    FillSet(ResoCurrent, 12192, 3048);
    varreso_Derive();
    RasterMoveSpeed = ResoCurrent.PbdReso.X * 40;
    if (DbgOn(Event)) Trace("Resoultion:%dDPI 1G=%d 1mm=%d\n\r", ResoCurrent.PbdReso.X, OneG, PbdPerMmX);
    if (DbgOn(CorvantaDbg)) DumpMachineParams();
}

static int32_t EncToSvoOf(int32_t hwScale, int32_t svoCur, int32_t svoBase) {
    float r = static_cast<float>(svoCur) / static_cast<float>(svoBase);
    return round_away(static_cast<double>(hwScale) * static_cast<double>(r));
}

static int32_t EncScaleOf(int32_t encToSvo) {
    if (encToSvo == 0) return 0;
    return round_away(268435456.0 / encToSvo);
}

void SetupLayer::varreso_Derive() {
    for (int k = 0; k < 15; ++k) ResoPerMm[k] = trunc_div(ResoEntry(ResoCurrent, k) * 10, 254);
    SvoPerMmX = ResoPerMm[3];
    PbdPerMmX = ResoPerMm[6];
    PbdPerMmY = ResoPerMm[7];

    const ResoSet& c = ResoCurrent;
    VARRESO_PbdToSvoX = trunc_div(c.SvoReso.X, c.PbdReso.X);
    VARRESO_PbdToSvoY = trunc_div(c.SvoReso.Y, c.PbdReso.Y);
    VARRESO_PbdToSvoZ = trunc_div(c.SvoReso.Z, c.PbdReso.Z);
    HpglToPbdX = trunc_div(c.PbdReso.X, c.HpglReso.X);
    HpglToPbdY = trunc_div(c.PbdReso.Y, c.HpglReso.Y);
    HpglToPbdZ = trunc_div(c.PbdReso.Z, c.HpglReso.Z);

    EncToSvoX = EncToSvoOf(c.HwScale.X, c.SvoReso.X, ResoBase.SvoReso.X);
    EncToSvoY = EncToSvoOf(c.HwScale.Y, c.SvoReso.Y, ResoBase.SvoReso.Y);
    EncToSvoZ = EncToSvoOf(c.HwScale.Z, c.SvoReso.Z, ResoBase.SvoReso.Z);
    EncScaleX = EncScaleOf(EncToSvoX);
    EncScaleY = EncScaleOf(EncToSvoY);
    EncScaleZ = EncScaleOf(EncToSvoZ);

    double tp = static_cast<double>(ServoTickPeriod);
    OneG = round_away(static_cast<double>(c.SvoReso.X * 16384) * 386.4 * tp * tp);
}

// --- machine-parameter dump -------------------------------------------------

void SetupLayer::DumpRule() {
    for (int i = 0; i < 64; ++i) Con("=");
    Con("\n\r");
}
void SetupLayer::DumpLine(const char* label, int32_t v) { Con("    %-51s= %d; \n\r", label, v); }
void SetupLayer::DumpText(const char* label, const char* text) { Con("    %-51s= %s; \n\r", label, text); }

template <class T>
void SetupLayer::DumpList(const char* label, const T* values, int n) {
    char buf[256];
    size_t used = 0;
    buf[0] = '\0';
    for (int i = 0; i < n; ++i) {
        int w = std::snprintf(buf + used, sizeof buf - used, "%d,", static_cast<int>(values[i]));
        if (w < 0 || used + static_cast<size_t>(w) >= sizeof buf) break;
        used += static_cast<size_t>(w);
    }
    if (used > 0) buf[used - 1] = '\0';
    DumpText(label, buf);
}

void SetupLayer::DumpMachineParams() {
    const MachParamRec& m = CurrentRomParam.MachParam;
    DumpRule();
    DumpLine("positionx", positionx);
    DumpLine("positiony", positiony);
    DumpLine("hard_min.x", hard_min.x);
    DumpLine("hard_min.y", hard_min.y);
    DumpLine("hard_max.x", hard_max.x);
    DumpLine("hard_max.y", hard_max.y);
    Con("\n\r");
    // clang-format off
#define MP(f) DumpLine("CurrentRomParam.MachParam." #f, m.f)
    MP(MaxDistance.X); MP(MaxDistance.Y); MP(MaxVelocity.X); MP(MaxVelocity.Y);
    MP(MaxAcceleration.X); MP(MaxAcceleration.Y); MP(TableSize.X); MP(TableSize.Y);
    MP(InitDistance.X); MP(InitDistance.Y); MP(DefInitDistance.X); MP(DefInitDistance.Y);
    MP(Resolution.X); MP(Resolution.Y);
    MP(EndDelay1); MP(EndDelay2); MP(EndDelay3); MP(EndDelay4); MP(EndDelay5); MP(EndDelay6);
#undef MP
    Con("\n\r");
#define SV(f) DumpLine("CurrentRomParam.MachParam.ServoVector." #f, m.ServoVector.f)
    SV(XGain); SV(YGain); SV(XRateFactor); SV(YRateFactor); SV(XIGain); SV(YIGain); SV(K3X); SV(K3Y);
    SV(rXGain); SV(rGain); SV(rXratefactor); SV(rratefactor); SV(rXIGain); SV(rIGain);
    SV(XILimit); SV(YILimit);
#undef SV
    Con("\n\r");
    DumpLine("pMsDirective->FineCuttingMode", pMsDirective->FineCuttingMode);
    DumpLine("pMsDirective->ComnetTurboMode", pMsDirective->ComnetTurboMode);
    DumpLine("pMsDirective->CCDSpeedAdjust", pMsDirective->CCDSpeedAdjust);
    DumpLine("pMsDirective->ImageTuning", pMsDirective->ImageTuning);
    DumpLine("pMsPlotbed->CornerTable", pMsPlotbed->CornerTable);
    Con("\n\r");
#define CF(f) DumpLine("ptCurrentFile->" #f, ptCurrentFile->f)
    CF(VectorCurrentPen); CF(RasterMode); CF(RasterUnit); CF(RasterDPI); CF(RasterPower);
    CF(ImageAbsPosFlag); CF(ImageOffsetX); CF(ImageOffsetY); CF(ImageWidth); CF(ImageHeight);
    CF(RasterAccelEngrave); CF(RasterSpeedX); CF(RasterSpeedY); CF(RasterAccelX); CF(RasterAccelY);
    CF(RasterFiringType); CF(RasterBandingFree);
#undef CF
    // clang-format on
    Con("\n\r");
    DumpList("ptCurrentFile->VectorSpeed", ptCurrentFile->VectorSpeed, 17);
    DumpList("ptCurrentFile->VectorAccel", ptCurrentFile->VectorAccel, 17);
    DumpList("pLaserVectorParam->VectorAccel", pLaserVectorParam->VectorAccel, 17);
    DumpList("pLaserRasterParam->RasterMargin", pLaserRasterParam->RasterMargin, 5);
    DumpRule();
}

}  // namespace corvanta

// The machine's start-up sequence and its end-of-job report.
#include <cstdio>

#include "base/fixpt.h"
#include "job/machine.h"

namespace corvanta {

Machine::Machine(Console& sink, const ModelVariant& model, bool deterministic)
    : RasterLayer(sink, model), SchedDeterministic(deterministic) {}

Machine::~Machine() { SchedStopThreads(); }

void Machine::InitMachine() {
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
    servo_online_comrst();
    servo_offline_comrst();
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

// Encoder count of a servo position: offset +/- trunc(pos x scale / 65536), product exact.
static int32_t EncTerm(int32_t pos, int32_t scaleQ16) {
    return static_cast<int32_t>((static_cast<int64_t>(pos) * scaleQ16) / 65536);
}

std::string Machine::FormatPosition() {
    EncY = static_cast<int32_t>(static_cast<int64_t>(EncOffsetY) - EncTerm(SvoPosY, EncScaleY));
    EncX = static_cast<int32_t>(static_cast<int64_t>(EncOffsetX) + EncTerm(SvoPosX, EncScaleX));
    char text[128];
    std::snprintf(text, sizeof text, "Pbd:%d,%d  Svo:%d,%d  Enc:%d,%d", positionx, positiony, SvoPosX, SvoPosY, EncX,
                  EncY);
    return text;
}

void Machine::JobTimeTick() {
    JobTimePhase = 0;
    if (!DbgOn(ShowJobTime)) return;
    char census[PROFILE_STATE_COUNT * 24];
    int used = 0;
    int32_t sum = 0;
    census[0] = '\0';
    for (int i = 0; i < PROFILE_STATE_COUNT; ++i) {
        used += std::snprintf(census + used, sizeof census - static_cast<size_t>(used), "%s:%6d ", ProfileStateNames[i],
                              PlanCnt[i]);
        sum = add_wrap(sum, PlanCnt[i]);
    }
    Trace("PlanCnt:%d => %s\n\r", sum, census);
    JobTimeFigures f = JobTimeOf(JobStartTick, JobEndTick);
    uint32_t s = f.ms / 1000u;
    Trace("JobTimeTick: %d %dms %02d:%02d:%02d  Vect:%d\n\r", f.ticks, static_cast<int32_t>(f.ms),
          static_cast<int32_t>(s / 3600u), static_cast<int32_t>((s % 3600u) / 60u), static_cast<int32_t>(s % 60u),
          VectCnt);
    WaitServoIdle();
    Con("%s\n\r", FormatPosition().c_str());
}

}  // namespace corvanta

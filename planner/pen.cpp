// Pen blocks, pen selection and the start of vector cutting.
#include "planner/planner_layer.h"

#include "base/fixpt.h"

namespace corvanta {

// Takes a block, selects the speed class for the vectors that follow, and
// hands over a marker block of the given kind.
void PlannerLayer::QueueMarker(uint8_t kind, int32_t speedClass) {
    VdbData* b = GetFreeVdb();
    pbdVelType = speedClass;
    b->cmd = kind;
    // Bracketed like a vector's hand-over so that no tick in progress can miss it.
    SchedSendBusyEnter();
    sendvdb(b);
    SchedSendBusyLeave();
}

void PlannerLayer::srvo_on_pu() {
    if (DbgOn(PbdFun)) Trace("srvo_on_pu()\n\r");
    if (DbgOn(SvoVdbCmd)) Con("    srvo_on_pu();\n\r");
    QueueMarker(SHORT_PEN_UP, PEN_UP_CLASS);
}

void PlannerLayer::srvo_on_pd() {
    if (DbgOn(PbdFun)) Trace("srvo_on_pd()\n\r");
    if (DbgOn(SvoVdbCmd)) Con("    srvo_on_pd();\n\r");
    QueueMarker(SHORT_PEN_DOWN, PEN_DOWN_CLASS);
}

void PlannerLayer::srvo_on_raster_move(int32_t n) {
    if (DbgOn(PbdFun)) Trace("srvo_on_raster_move(%d)\n\r", n);
    if (DbgOn(SvoVdbCmd)) Con("    srvo_on_raster_move(%d);\n\r", n);
    QueueMarker(SHORT_PEN_UP, n);
}

void PlannerLayer::penupout() {
    if (DbgOn(PenSel)) Trace("penupout(%d)\n\r", PenIsUp);
    if (PenIsUp == 0) {
        PenIsUp = 1;
        srvo_on_pu();
    }
}

void PlannerLayer::pendnout() {
    if (DbgOn(PenSel)) Trace("pendnout(%d)\n\r", PenIsUp);
    if (PenIsUp != 0) {
        PenIsUp = 0;
        srvo_on_pd();
    }
}

void PlannerLayer::execute_penselect(int32_t pen) {
    const uint8_t pen8 = static_cast<uint8_t>(pen);
    if (pen8 > PEN_MAX)
        JobFail("PenParamError", "PenParamError: record %u \"%s\": pen %d is outside the pens 0..16", CurRecordNo,
                CurRecordText, pen8);
    WaitServoIdle();
    ptCurrentFile->VectorCurrentPen = pen8;
    penupout();
    HandleStartVectorCutting();
}

void PlannerLayer::HandleStartVectorCutting() {
    const uint32_t t0 = IsrTick;
    if (DbgOn(TempOff)) Trace("HandleStartVectorCutting(Enter) tick:%d\n\r", static_cast<int32_t>(t0));
    WaitServoIdle();
    SetVectorMode();
    lsrinp_SetVectSpeed();
    if (DbgOn(TempOff)) {
        const uint32_t t1 = IsrTick;
        Trace("HandleStartVectorCutting(Leave) tick:%d %d\n\r", static_cast<int32_t>(t1),
              static_cast<int32_t>(ticks_between(t0, t1)));
    }
}

void PlannerLayer::srvo_off_to_on() {
    if (DbgOn(PbdFun)) Trace("srvo_off_to_on()\n\r");
    if (DbgOn(SvoVdbCmd)) Con("    srvo_off_to_on();\n\r");
    WaitServoIdle();
    pipeflag = 1;
    JobTimeArm();
}

}  // namespace corvanta

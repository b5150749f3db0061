#include "base/fixpt.h"
#include "servo/servo_layer.h"

namespace corvanta {

const char* const ProfileStateNames[PROFILE_STATE_COUNT] = {"IDLE", "HOLD", "ACC", "SLEW", "DCC", "CREEP", "DELAY"};

void ServoLayer::SVO_SetIsrState(int16_t newState) {
    if (newState != ISRHOLD) {
        if (JobTimePhase == 1 && IsrState == ISRHOLD) {
            JobStartTick = static_cast<int32_t>(IsrTick.load());
            JobTimePhase = 2;
        }
    } else if (JobTimePhase == 2 && IsrState != ISRHOLD) {
        JobEndTick = static_cast<int32_t>(IsrTick.load());
        if (Explaining) BookEndMark();
    }
    IsrState = newState;
}

void ServoLayer::SVO_RaiseFault(int32_t code) {
    if (SvoFault.load() == SVO_FAULT_NONE) SvoFault = code;
}

void ServoLayer::JobTimeArm() {
    JobTimePhase = 1;
    for (int32_t& c : PlanCnt) c = 0;
}

void ServoLayer::TickPass() {
    VdbData* cur = SVO_VectPtr.load();
    if (cur == nullptr || VdbSendBusy.load_sc() != 0 || SvoFault.load() != SVO_FAULT_NONE) return;
    const uint32_t tick = IsrTick.load() + 1u;
    IsrTick = tick;
    const int32_t phase = JobTimePhase.load();
    if (phase == 2 && ticks_between(static_cast<uint32_t>(JobStartTick), tick) >= JobTickLimit) {
        SVO_RaiseFault(SVO_FAULT_JOB_TOO_LONG);
        return;
    }
    if (phase != 0 && ProfileState < PROFILE_STATE_COUNT)
        PlanCnt[ProfileState] = static_cast<int32_t>(static_cast<uint32_t>(PlanCnt[ProfileState]) + 1u);
    if (Explaining && phase == 2) BookTicks(cur, tick, 1);
    SVO_IsrStep();
    if (TickTraceFile)
        std::fprintf(TickTraceFile, "%u,%d,%d,%d,%d\n", tick, IsrState, ProfileState, SvoPosX, SvoPosY);
}

// Hold step: dispatch the current block by its command.
void ServoLayer::HoldStep() {
    VdbData* b = SVO_VectPtr.load();
    switch (VdbCmdKind(b)) {
        case NULL_CMD:
            SVO_VectPtr = nullptr;
            break;
        case SHORT_PEN_UP:
        case SHORT_PEN_DOWN: {
            VdbData* nxt = b->next;
            b->cmd = 0;
            SVO_SetVectPtr(nxt);
            SVO_SetIsrState(ISRHOLD);
            ProfileState = PS_HOLD;
            break;
        }
        case VECTOR:
            BlockPeakVel = 0;
            SVO_SetIsrState(ISRACC);
            SVO_AccStep();
            ProfileState = PS_HOLD;
            break;
        default:
            break;
    }
}

void ServoLayer::DelayStep() {
    if (EndDelayCount != 0) {
        EndDelayCount -= 1;
        ProfileState = PS_DELAY;
    } else {
        SVO_SetIsrState(ISRHOLD);
    }
}

void ServoLayer::SVO_IsrStep() {
    switch (IsrState) {
        case ISRHOLD: HoldStep(); break;
        case ISRACC: SVO_AccStep(); break;
        case ISRSLEW: SVO_SlewStep(); break;
        case ISRCREEP: SVO_CreepStep(); break;
        case ISRDELAY: DelayStep(); break;
        default: break;
    }
}

void ServoLayer::servo_off() {
    WaitServoIdle();
    SVO_SetIsrState(ISRIDLE);
}

void ServoLayer::servo_init(int mode, int16_t gainX, int16_t gainY) {
    if (DbgOn(CorvantaDbg)) Trace("^^ servo_init(%d,%d,%d,%d,%d)\n\r", mode, gainX, 1000, gainY, 1000);
    SVO_VectPtr = nullptr;
    SVO_SetIsrState(ISRHOLD);
    if (mode == 0) servo_off();
    IsrCreepVel = 1;
}

}  // namespace corvanta

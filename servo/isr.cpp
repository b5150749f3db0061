#include <type_traits>

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
    if (cur != nullptr && SvoFault.load() == SVO_FAULT_NONE) Tick<SharedAccess>(*cur);
}

void ServoLayer::RunTicks(const VdbData* busy) {
    // The deterministic schedule never waits inside a hand-over, and nothing
    // in a tick starts one: checked once here instead of in every tick.
    if (VdbSendBusy.load() != 0)
        JobFail("InternalError", "InternalError: the servo was asked to run during a block hand-over");
    for (;;) {
        VdbData* cur = SoleAccess::Get(SVO_VectPtr);
        if (cur == nullptr || SoleAccess::Get(SvoFault) != SVO_FAULT_NONE ||
            (busy != nullptr && SoleAccess::Get(busy->cmd) == 0))
            return;
        // A run of creep ticks starts once the creep step has run.
        if (SkipAheadEnabled && (IsrState == ISRDELAY || IsrState == ISRSLEW || IsrState == ISRACC ||
                                 (IsrState == ISRCREEP && ProfileState == PS_CREEP)))
            SkipAhead();
        Tick<SoleAccess>(*cur);
    }
}

// One tick on the current block b, unless a block is being handed over (that
// is checked here for a tick that runs beside the planner; RunTicks checks it
// once for all its ticks).
template <class A>
void ServoLayer::Tick(VdbData& b) {
    if constexpr (std::is_same_v<A, SharedAccess>)
        if (VdbSendBusy.load_sc() != 0) return;
    const uint32_t tick = A::Get(IsrTick) + 1u;
    A::Set(IsrTick, tick);
    TicksRun += 1;
    const int32_t phase = A::Get(JobTimePhase);
    if (phase == 2 && ticks_between(static_cast<uint32_t>(JobStartTick), tick) >= JobTickLimit) {
        SVO_RaiseFault(SVO_FAULT_JOB_TOO_LONG);
        return;
    }
    if (phase != 0 && ProfileState < PROFILE_STATE_COUNT)
        PlanCnt[ProfileState] = static_cast<int32_t>(static_cast<uint32_t>(PlanCnt[ProfileState]) + 1u);
    if (Explaining && phase == 2) BookTicks(&b, tick, 1);
    IsrStep<A>(b);
    if (TickTraceFile) TraceTick(tick);
}

void ServoLayer::TraceTick(uint32_t tick) {
    std::fprintf(TickTraceFile, "%u,%d,%d,%d,%d\n", tick, IsrState, ProfileState, SvoPosX, SvoPosY);
}

// Hold step: dispatch the current block by its command.
template <class A>
void ServoLayer::HoldStep(VdbData& b) {
    switch (VdbCmdKind(&b)) {
        case NULL_CMD: SVO_VectPtr = nullptr; break;
        case SHORT_PEN_UP:
        case SHORT_PEN_DOWN: {
            VdbData* nxt = b.next;
            b.cmd = 0;
            SVO_SetVectPtr(nxt);
            SVO_SetIsrState(ISRHOLD);
            ProfileState = PS_HOLD;
            break;
        }
        case VECTOR:
            BlockPeakVel = 0;
            SVO_SetIsrState(ISRACC);
            AccStep<A>(b);
            ProfileState = PS_HOLD;
            break;
        default: break;
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
    if (VdbData* cur = SVO_VectPtr.load()) {
        IsrStep<SharedAccess>(*cur);
        return;
    }
    // No block: only the states that read none run.
    if (IsrState == ISRDELAY) DelayStep();
}

// The states in the order of how many ticks they take (the deceleration runs in ISRSLEW).
template <class A>
void ServoLayer::IsrStep(VdbData& b) {
    const int16_t state = IsrState;
    if (state == ISRSLEW)
        SlewStep<A>(b);
    else if (state == ISRACC)
        AccStep<A>(b);
    else if (state == ISRCREEP)
        CreepStep<A>(b);
    else if (state == ISRDELAY)
        DelayStep();
    else if (state == ISRHOLD)
        HoldStep<A>(b);
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

#include "fwShare/servo/isr.h"

#include "driver/jobtime.h"
#include "fwShare/servo/octant.h"
#include "fwShare/servo/profile.h"
#include "planner/vdb.h"

const char* const IsrStateNames[14] = {"ISRIDLE", "ISRHOLD",    "ISRACC",   "ISRSLEW",  "ISRDCC",
                                       "ISRCREEP", "ISRCORN",   "ISRPENUP", "ISRPENDOWN", "ISRDELAY",
                                       "R_HOME",  "RY_FOCUS",   "ISRPAUSE", "ISRPLANMOVE"};
const char* const ProfileStateNames[7] = {"IDLE", "HOLD", "ACC", "SLEW", "DCC", "CREEP", "DELAY"};

int16_t IsrState;
uint8_t ProfileState;
Atom<uint32_t> IsrTick;
int32_t EndDelayCount;
Atom<int16_t> IsrCreepVel;
Atom<int32_t> SvoFault;
uint8_t SvoFaultBlock;

void ResetIsrState() {
    IsrState = ISRIDLE;
    ProfileState = PS_IDLE;
    IsrTick = 0;
    EndDelayCount = 0;
    IsrCreepVel = 0;
    SvoFault = SVO_FAULT_NONE;
    SvoFaultBlock = 0;
}

void SVO_SetIsrState(int16_t newState) {
    if (newState != ISRHOLD) {
        if (JobTimePhase == 1 && IsrState == ISRHOLD) {
            JobStartTick = static_cast<int32_t>(IsrTick.load());
            JobTimePhase = 2;
        }
    } else if (JobTimePhase == 2 && IsrState != ISRHOLD) {
        JobEndTick = static_cast<int32_t>(IsrTick.load());
    }
    IsrState = newState;
}

void SVO_RaiseFault(int32_t code) {
    if (SvoFault.load() == SVO_FAULT_NONE) SvoFault = code;
}

// Hold step: dispatch the current block by its command.
static void HoldStep() {
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
            SVO_SetIsrState(ISRACC);
            SVO_AccStep();
            ProfileState = PS_HOLD;
            break;
        default:
            break;
    }
}

static void DelayStep() {
    if (EndDelayCount != 0) {
        EndDelayCount -= 1;
        ProfileState = PS_DELAY;
    } else {
        SVO_SetIsrState(ISRHOLD);
    }
}

void SVO_IsrStep() {
    switch (IsrState) {
        case ISRHOLD: HoldStep(); break;
        case ISRACC: SVO_AccStep(); break;
        case ISRSLEW: SVO_SlewStep(); break;
        case ISRCREEP: SVO_CreepStep(); break;
        case ISRDELAY: DelayStep(); break;
        default: break;
    }
}

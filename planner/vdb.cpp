#include "planner/vdb.h"

#include <cstring>

#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/fixpt.h"
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "setup/varreso.h"

const char* const VdbKindTraceNames[14] = {"Free",     "S-PenUp", "S-PenDn", "Vector",  "PenUpcal",
                                           "L-PenUp",  "L-PenDn", "StepMove", "FindIdx", "ChkTuret",
                                           "SoftLand", "Null-10", "Null-11", "PlanMove"};
const char* const VdbLongNames[22] = {
    "NULL_CMD",      "SHORT_PEN_UP",  "SHORT_PEN_DOWN", "VECTOR",          "PEN_UP_CAL",   "LONG_PEN_UP",
    "LONG_PEN_DOWN", "STEPPER_MOVE",  "FIND_INDEX",     "CHECK_TURRET",    "SOFTLANDING_PEN_DOWN",
    "TPH_UP_VECTOR", "TPH_DN_VECTOR", "PLAN_MOVE",      "PEN_DOWN",        "PEN_UP",       "PEN_UPC",
    "RASTER_FORWARD", "RASTER_BACKWARD", "RASTER_OFFSET", "RASTER_MOVE",   "SERVO_MOVE"};

VdbData VdbOnline[VDB_RING_SIZE];
VdbData VdbOffline[VDB_RING_SIZE];
VdbData* freeptr;
VdbData* offline_freeptr;
Atom<VdbData*> SVO_VectPtr;
VdbData* stopptr;
VdbData* autoptr;
int32_t pipeflag;
int32_t save_real_pen_pos_is_down;
uint8_t null_vector;
int32_t pbdVelType;
Atom<int32_t> m_npbdrvCnt;
Atom<int32_t> VdbSendBusy;
int32_t positionx, positiony;
uint32_t CurRecordNo;
char CurRecordText[RECORD_TEXT_LEN];
uint32_t VdbRecordNo[VDB_RING_SIZE];
char VdbRecordText[VDB_RING_SIZE][RECORD_TEXT_LEN];
int32_t VdbRecordClass[VDB_RING_SIZE];

void ResetVdbState() {
    std::memset(VdbOnline, 0, sizeof VdbOnline);
    std::memset(VdbOffline, 0, sizeof VdbOffline);
    freeptr = offline_freeptr = stopptr = autoptr = nullptr;
    SVO_VectPtr = nullptr;
    pipeflag = save_real_pen_pos_is_down = 0;
    null_vector = 0;
    pbdVelType = 0;
    m_npbdrvCnt = 0;
    VdbSendBusy = 0;
    positionx = positiony = 0;
    CurRecordNo = 0;
    CurRecordText[0] = '\0';
    std::memset(VdbRecordNo, 0, sizeof VdbRecordNo);
    std::memset(VdbRecordText, 0, sizeof VdbRecordText);
    std::memset(VdbRecordClass, 0, sizeof VdbRecordClass);
}

static void LinkRing(VdbData* ring, uint8_t firstIdx) {
    std::memset(static_cast<void*>(ring), 0, sizeof(VdbData) * VDB_RING_SIZE);
    for (int i = 0; i < VDB_RING_SIZE; ++i) {
        ring[i].blockIdx = static_cast<uint8_t>(firstIdx + i);
        ring[i].next = &ring[(i + 1) % VDB_RING_SIZE];
        ring[i].prev = &ring[(i + VDB_RING_SIZE - 1) % VDB_RING_SIZE];
    }
}

void servo_online_comrst() {
    if (DbgOn(PbdFun) || DbgOn(CorvantaDbg)) Trace("^^ servo_online_comrst()\n\r");
    LinkRing(VdbOnline, 0);
    pbdVelType = 1;
    save_real_pen_pos_is_down = 0;
    autoptr = nullptr;
    pipeflag = 0;
    null_vector = 0;
    freeptr = &VdbOnline[0];
}

void servo_offline_comrst() {
    if (DbgOn(PbdFun)) Trace("servo_offline_comrst()\n\r");
    LinkRing(VdbOffline, VDB_RING_SIZE);
    offline_freeptr = &VdbOffline[0];
}

VdbData* GetFreeVdb() {
    SchedWaitBlockFree(freeptr);
    VdbData* b = freeptr;
    freeptr = b->next;
    b->takenTick = IsrTick;
    b->kind = 0;
    if (b->blockIdx < VDB_RING_SIZE) {
        VdbRecordNo[b->blockIdx] = CurRecordNo;
        std::memcpy(VdbRecordText[b->blockIdx], CurRecordText, RECORD_TEXT_LEN);
    }
    return b;
}

void sendvdb(VdbData* b) {
    uint8_t k = VdbCmdKind(b);
    if (DbgOn(SendVdb)) Trace("sendvdb(%s) %08x\n\r", k < 14 ? VdbKindTraceNames[k] : "", PtrBits(b));
    b->kind = k;
    if (b->cmd.load() != 0 && pipeflag != 0 && SVO_VectPtr.load() == nullptr) SVO_VectPtr = b;
}

void WaitServoIdle() {
    SchedWaitServoIdle();
    positionx = trunc_div(SvoPosX, VARRESO_PbdToSvoX);
    positiony = trunc_div(SvoPosY, VARRESO_PbdToSvoY);
}

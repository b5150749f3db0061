#include <cstring>

#include "ring/ring_layer.h"

namespace corvanta {

const char* const VdbKindTraceNames[VDB_KIND_COUNT] = {"Free",     "S-PenUp", "S-PenDn",  "Vector",  "PenUpcal",
                                                       "L-PenUp",  "L-PenDn", "StepMove", "FindIdx", "ChkTuret",
                                                       "SoftLand", "Null-10", "Null-11",  "PlanMove"};
static void LinkRing(VdbData* ring, uint8_t firstIdx) {
    std::memset(static_cast<void*>(ring), 0, sizeof(VdbData) * VDB_RING_SIZE);
    for (int i = 0; i < VDB_RING_SIZE; ++i) {
        ring[i].blockIdx = static_cast<uint8_t>(firstIdx + i);
        ring[i].next = &ring[(i + 1) % VDB_RING_SIZE];
        ring[i].prev = &ring[(i + VDB_RING_SIZE - 1) % VDB_RING_SIZE];
    }
}

void RingLayer::servo_online_comrst() {
    if (DbgOn(PbdFun) || DbgOn(CorvantaDbg)) Trace("^^ servo_online_comrst()\n\r");
    LinkRing(VdbOnline, 0);
    pbdVelType = 1;
    save_real_pen_pos_is_down = 0;
    autoptr = nullptr;
    pipeflag = 0;
    null_vector = 0;
    freeptr = &VdbOnline[0];
}

void RingLayer::servo_offline_comrst() {
    if (DbgOn(PbdFun)) Trace("servo_offline_comrst()\n\r");
    LinkRing(VdbOffline, VDB_RING_SIZE);
    offline_freeptr = &VdbOffline[0];
}

VdbData* RingLayer::GetFreeVdb() {
    SchedWaitBlockFree(freeptr);
    VdbData* b = freeptr;
    freeptr = b->next;
    b->kind = 0;
    if (b->blockIdx < VDB_RING_SIZE) {
        VdbRecordNo[b->blockIdx] = CurRecordNo;
        std::memcpy(VdbRecordText[b->blockIdx], CurRecordText, RECORD_TEXT_LEN);
    }
    return b;
}

void RingLayer::sendvdb(VdbData* b) {
    uint8_t k = VdbCmdKind(b);
    if (DbgOn(SendVdb)) Trace("sendvdb(%s) %08x\n\r", k < VDB_KIND_COUNT ? VdbKindTraceNames[k] : "", PtrBits(b));
    b->kind = k;
    if (b->cmd.load() != 0 && pipeflag != 0 && SVO_VectPtr.load() == nullptr) SVO_VectPtr = b;
}

}  // namespace corvanta

// The block ring layer: the online ring of vector data blocks shared by the
// planner and the servo side, the offline ring, and the current speed class.
// Who writes which field is stated in ring/vdb.h.
//
// The planner's waits (for a free block, for an idle servo, and the hand-over
// section) belong to the schedule, which decides where ticks run; this layer
// declares them and the schedule above provides them.
#pragma once
#include <cstdint>

#include "ring/vdb.h"
#include "setup/setup_layer.h"

namespace corvanta {

struct RingLayer : SetupLayer {
    using SetupLayer::SetupLayer;
    virtual ~RingLayer() = default;

    VdbData VdbOnline[VDB_RING_SIZE] = {};
    VdbData VdbOffline[VDB_RING_SIZE] = {};
    VdbData* freeptr = nullptr;          // next online block the planner takes (planner only)
    VdbData* offline_freeptr = nullptr;  // first block of the offline ring
    Atom<VdbData*> SVO_VectPtr{};        // block the servo executes; null when idle
    VdbData* stopptr = nullptr;          // stop-and-resume state; stays null
    VdbData* autoptr = nullptr;          // resume block; stays null
    int32_t pipeflag = 0;                // 1: a block handed over while idle starts the servo
    int32_t save_real_pen_pos_is_down = 0;
    uint8_t null_vector = 0;
    int32_t pbdVelType = 0;       // current speed class 0..7
    Atom<int32_t> m_npbdrvCnt{};  // 1 ms waits of the current GetFreeVdb call
    Atom<int32_t> VdbSendBusy{};  // 1 while a block is handed over: no tick runs

    // Where each online block came from, for failure messages: the command-file
    // record that queued it and the speed class of its vector.  Planner only.
    uint32_t CurRecordNo = 0;                  // 1-based number of the record being applied
    char CurRecordText[RECORD_TEXT_LEN] = {};  // its keyword and values
    uint32_t VdbRecordNo[VDB_RING_SIZE] = {};
    char VdbRecordText[VDB_RING_SIZE][RECORD_TEXT_LEN] = {};
    int32_t VdbRecordClass[VDB_RING_SIZE] = {};

    void servo_online_comrst();
    void servo_offline_comrst();
    VdbData* GetFreeVdb();
    void sendvdb(VdbData* b);

    // --- provided by the schedule
    // Until the servo is idle; then positionx/positiony follow the servo position.
    virtual void WaitServoIdle() = 0;
    // Until block b is free (its cmd is 0).
    virtual void SchedWaitBlockFree(VdbData* b) = 0;
    // Hand-over section: VdbSendBusy = 1 and no tick in progress, then VdbSendBusy = 0.
    virtual void SchedSendBusyEnter() = 0;
    virtual void SchedSendBusyLeave() = 0;
};

}  // namespace corvanta

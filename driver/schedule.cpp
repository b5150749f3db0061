#include "driver/schedule.h"

#include <chrono>
#include <cstdarg>
#include <thread>

#include "driver/jobtime.h"
#include "fwShare/debug.h"
#include "fwShare/fixpt.h"
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "planner/vdb.h"
#include "setup/speeds.h"

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

bool SchedDeterministic = false;
Atom<int32_t> SimDone;
std::mutex IsrLock;
FILE* TickTraceFile = nullptr;
uint32_t JobTickLimit = 0x80000000u;

// 1 while the tick thread is inside a pass (between its check of VdbSendBusy
// and the end of the ISR step).  Written by the tick thread only.
static Atom<int32_t> TickActive;
static std::thread TickThread;
static std::thread IdleThread;

void ResetScheduleState() {
    SimDone = 0;
    JobTickLimit = 0x80000000u;
}

void JobFail(const char* reason, const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    throw JobAbort{reason, buf};
}

void TickPass() {
    VdbData* cur = SVO_VectPtr.load();
    if (cur == nullptr || VdbSendBusy.load_sc() != 0 || SvoFault.load() != SVO_FAULT_NONE) return;
    const uint32_t tick = IsrTick.load() + 1u;
    IsrTick = tick;
    const int32_t phase = JobTimePhase.load();
    if (phase == 2 && ticks_between(static_cast<uint32_t>(JobStartTick), tick) >= JobTickLimit) {
        SVO_RaiseFault(SVO_FAULT_JOB_TOO_LONG);
        return;
    }
    if (phase != 0 && ProfileState < 7)
        PlanCnt[ProfileState] = static_cast<int32_t>(static_cast<uint32_t>(PlanCnt[ProfileState]) + 1u);
    SVO_IsrStep();
    if (TickTraceFile)
        std::fprintf(TickTraceFile, "%u,%d,%d,%d,%d\n", tick, IsrState, ProfileState, SvoPosX, SvoPosY);
}

void SchedSendBusyEnter() {
    VdbSendBusy.store_sc(1);
    if (!SchedDeterministic)
        while (TickActive.load_sc() != 0) {
        }
}

void SchedSendBusyLeave() { VdbSendBusy.store_sc(0); }

void ThrowIfServoFault() {
    switch (SvoFault.load()) {
        case SVO_FAULT_NONE:
            return;
        case SVO_FAULT_JOB_TOO_LONG:
            JobFail("JobTooLong", "JobTooLong: the job reached %u ticks (%u ms); its time cannot be reported",
                    JobTickLimit, static_cast<uint32_t>((static_cast<uint64_t>(JobTickLimit) * 2u) / 5u));
        case SVO_FAULT_MOVE_STALL: {
            uint8_t idx = SvoFaultBlock < VDB_RING_SIZE ? SvoFaultBlock : 0;
            JobFail("MoveStallError",
                    "MoveStallError: record %u \"%s\" queued a %s move with velocity 0; it can never end",
                    VdbRecordNo[idx], VdbRecordText[idx], SpeedClassNames[VdbRecordClass[idx] & 7]);
        }
        default:
            JobFail("InternalError", "InternalError: unknown servo fault %d", SvoFault.load());
    }
}

void SchedWaitServoIdle() {
    if (SchedDeterministic) {
        while (SVO_VectPtr.load() != nullptr) {
            TickPass();
            ThrowIfServoFault();
        }
        return;
    }
    while (SVO_VectPtr.load() != nullptr) ThrowIfServoFault();
    ThrowIfServoFault();
}

void SchedWaitBlockFree(VdbData* b) {
    m_npbdrvCnt = 0;
    if (SchedDeterministic) {
        if (b->cmd.load() == 0) return;
        m_npbdrvCnt = 1;
        while (b->cmd.load() != 0) {
            if (SVO_VectPtr.load() == nullptr)
                JobFail("InternalError", "InternalError: block %d is busy but the servo is idle; it can never be freed",
                        b->blockIdx);
            TickPass();
            ThrowIfServoFault();
        }
        return;
    }
    while (b->cmd.load() != 0) {
        ThrowIfServoFault();
        m_npbdrvCnt += 1;
        if (m_npbdrvCnt.load() >= 100) Con("m_npbdrvCnt(%d)\n", m_npbdrvCnt.load());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ThrowIfServoFault();
}

// Best-effort priorities: the tick thread above normal, the main thread normal.
static void RaiseCurrentThreadPriority() {
#ifdef __linux__
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -1);
#endif
}

static void TickThreadBody() {
    RaiseCurrentThreadPriority();
    while (SimDone.load() == 0) {
        std::lock_guard<std::mutex> hold(IsrLock);
        TickActive.store_sc(1);
        TickPass();
        TickActive.store_sc(0);
    }
}

static void IdleThreadBody() {
    while (SimDone.load() == 0) {
        for (int i = 0; i < 100 && SimDone.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SchedStartThreads() {
    if (SchedDeterministic) return;
    IdleThread = std::thread(IdleThreadBody);
    TickThread = std::thread(TickThreadBody);
}

void SchedStopThreads() {
    SimDone = 1;
    if (TickThread.joinable()) TickThread.join();
    // The sleeper is not waited for by design; it is joined here only so the
    // process ends cleanly (it wakes within 10 ms of SimDone).
    if (IdleThread.joinable()) IdleThread.join();
}

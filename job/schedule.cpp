// Where ticks run: the threaded schedule (a tick thread running the servo as
// fast as the host allows, beside the planner) or the deterministic one (the
// servo runs on the planning thread, only inside the planner's waits).  Both
// run the same tick body, TickPass(); the schedule decides only where.
#include <chrono>

#include "base/fixpt.h"
#include "job/machine.h"

#include "base/win32.h"
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace corvanta {

// Without a tick thread (deterministic schedule) no tick can be in progress:
// plain stores suffice.  With one, the store of VdbSendBusy and the load of
// TickActive must not be reordered (the tick thread does the mirror image).
void Machine::SchedSendBusyEnter() {
    if (SchedDeterministic) {
        VdbSendBusy = 1;
        return;
    }
    VdbSendBusy.store_sc(1);
    while (TickActive.load_sc() != 0) std::this_thread::yield();
}

void Machine::SchedSendBusyLeave() {
    if (SchedDeterministic)
        VdbSendBusy = 0;
    else
        VdbSendBusy.store_sc(0);
}

void Machine::ThrowIfServoFault() {
    switch (SvoFault.load()) {
        case SVO_FAULT_NONE: return;
        case SVO_FAULT_JOB_TOO_LONG:
            JobFail("JobTooLong", "JobTooLong: the job reached %u ticks (%u ms); its time cannot be reported",
                    JobTickLimit, static_cast<uint32_t>((static_cast<uint64_t>(JobTickLimit) * 2u) / 5u));
        case SVO_FAULT_MOVE_STALL: {
            uint8_t idx = SvoFaultBlock < VDB_RING_SIZE ? SvoFaultBlock : 0;
            FailedAt = EndedAt{VdbRecordNo[idx], VdbRecordText[idx], 0, {}};
            JobFail("MoveStallError",
                    "MoveStallError: record %u \"%s\" queued a %s move with velocity 0; it can never end",
                    VdbRecordNo[idx], VdbRecordText[idx], SpeedClassNames[VdbRecordClass[idx] & 7]);
        }
        default: JobFail("InternalError", "InternalError: unknown servo fault %d", SvoFault.load());
    }
}

void Machine::WaitServoIdle() {
    if (SchedDeterministic) {
        RunTicks(nullptr);
        ThrowIfServoFault();
    } else {
        // Yields on every pass, so a one-core host still runs the tick thread.
        while (SVO_VectPtr.load() != nullptr) {
            ThrowIfServoFault();
            std::this_thread::yield();
        }
        ThrowIfServoFault();
    }
    positionx = trunc_div(SvoPosX, VARRESO_PbdToSvoX);
    positiony = trunc_div(SvoPosY, VARRESO_PbdToSvoY);
}

void Machine::SchedWaitBlockFree(VdbData* b) {
    m_npbdrvCnt = 0;
    if (SchedDeterministic) {
        if (b->cmd.load() == 0) return;
        m_npbdrvCnt = 1;
        RunTicks(b);
        ThrowIfServoFault();
        if (b->cmd.load() != 0)
            JobFail("InternalError", "InternalError: block %d is busy but the servo is idle; it can never be freed",
                    b->blockIdx);
        return;
    }
    while (b->cmd.load() != 0) {
        ThrowIfServoFault();
        m_npbdrvCnt += 1;
        // Reported once per wait, when the wait has lasted 100 ms.
        if (m_npbdrvCnt.load() == 100) Con("m_npbdrvCnt(%d)\n", m_npbdrvCnt.load());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ThrowIfServoFault();
}

// Best-effort priorities: the tick thread above normal, the planning thread normal.
static void RaiseCurrentThreadPriority() {
#ifdef __linux__
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -1);
#elif defined(_WIN32)
    (void)::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
#endif
}

void Machine::TickThreadBody() {
    RaiseCurrentThreadPriority();
    while (SimDone.load() == 0) {
        bool idle;
        {
            std::lock_guard<std::mutex> hold(IsrLock);
            TickActive.store_sc(1);
            idle = SVO_VectPtr.load() == nullptr;
            TickPass();
            TickActive.store_sc(0);
        }
        // With no block to run, give the processor to the planner.
        if (idle) std::this_thread::yield();
    }
}

// The idle thread sleeps in 1000 ms steps until the end; the end wakes it.
void Machine::IdleThreadBody() {
    std::unique_lock<std::mutex> hold(IdleLock);
    while (SimDone.load() == 0) IdleWake.wait_for(hold, std::chrono::milliseconds(1000));
}

void Machine::SchedStartThreads() {
    if (SchedDeterministic) return;
    IdleThread = std::thread([this] { IdleThreadBody(); });
    TickThread = std::thread([this] { TickThreadBody(); });
}

void Machine::SchedStopThreads() {
    {
        std::lock_guard<std::mutex> hold(IdleLock);
        SimDone = 1;
    }
    IdleWake.notify_all();
    if (TickThread.joinable()) TickThread.join();
    if (IdleThread.joinable()) IdleThread.join();
}

}  // namespace corvanta

// The machine context: all state of one estimate, from the debug categories
// at the bottom to the command interpreter at the top.  A new run starts from
// a freshly constructed Machine.
//
// This top layer holds the job itself: the start-up sequence, the schedule
// that decides where ticks run (and so provides the planner's waits), the
// command interpreter and the end-of-job report.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "corvanta/corvanta.h"
#include "job/interp.h"
#include "raster/raster_layer.h"

namespace corvanta {

class Machine : public RasterLayer {
public:
    Machine(Console& sink, const ModelVariant& model, bool deterministic);
    ~Machine() override;

    // --- schedule
    const bool SchedDeterministic;  // chosen before the run starts
    Atom<int32_t> SimDone{};        // 1: worker threads end
    std::mutex IsrLock;             // held by the tick thread for each whole tick

    // --- command interpreter
    int32_t CmdPenDown = 0;                // the interpreter's pen state: 0 up, 1 down
    std::vector<std::string> StatusLines;  // lines of the status file, without endings
    std::optional<EndedAt> EndedEarly;     // the record that ended the job before the end of the text
    std::string FailureMessage;            // the console line of a failed job (empty for none)
    std::optional<EndedAt> FailedAt;       // the record a failed job failed at
    uint32_t RecordsInText = 0;            // records in the whole command text, as read

    // --- the records as applied (for the explanation; planner side)
    struct AppliedRecord {
        uint32_t record;
        std::string keyword;
        uint32_t tick;  // IsrTick when it was applied
    };
    std::vector<AppliedRecord> AppliedRecords;
    uint32_t RasterLinesOut = 0;  // RasterLineOut records applied
    uint32_t PenSelections = 0;   // execute_penselect records applied

    // --- end-of-job report
    int32_t EncX = 0, EncY = 0;  // encoder positions of the last position line

    // Start-up: resolutions, machine parameters, rings, servo, speeds, position.
    void InitMachine();
    // Runs the job in `commands`; returns 1 after a success status, 0 otherwise.
    // StatusLines holds the status either way.
    int CorvantaCmdInterpreter(std::string_view commands);
    // End-of-job close and optional report.
    void JobTimeTick();
    // "Pbd:%d,%d  Svo:%d,%d  Enc:%d,%d"; also stores EncX, EncY.
    std::string FormatPosition();

    // The explanation of the job time, from the servo's bookings and the
    // applied records (after the run).
    explain::JobExplain BuildExplanation() const;

    void SchedStartThreads();  // threaded schedule: idle thread, then tick thread
    void SchedStopThreads();   // SimDone = 1, wait for the tick thread

    // The planner's waits (declared by the ring layer).
    void WaitServoIdle() override;
    void SchedWaitBlockFree(VdbData* b) override;
    void SchedSendBusyEnter() override;
    void SchedSendBusyLeave() override;

private:
    void ThrowIfServoFault();  // turns a servo-side fault into JobAbort
    void TickThreadBody();
    void IdleThreadBody();

    // interp.cpp
    void VersionCheck(int32_t v);
    void PenMove(bool down, int32_t a, int32_t b);
    void ToPclMode();
    bool ApplyOneValue(const char* kw, int32_t v);
    bool ApplyTwoValue(const char* kw, int32_t a, int32_t b, CmdReader& in);
    void RecordText(const CmdRecord& rec);

    // 1 while the tick thread is inside a pass (between its check of
    // VdbSendBusy and the end of the ISR step).  Written by the tick thread only.
    Atom<int32_t> TickActive{};
    std::thread TickThread;
    std::thread IdleThread;
    std::mutex IdleLock;  // with IdleWake: wakes the idle thread at the end
    std::condition_variable IdleWake;
};

}  // namespace corvanta

// corvanta: the run time of a laser cutting and engraving job, from the
// machine's own motion planning and servo interrupt, tick by tick.
//
// A library caller hands over the text of a command file and gets the status
// lines, every figure of the report and the console text.  Each call builds a
// machine of its own, so estimates may run on several threads at once.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/explain.h"

namespace corvanta {

enum class Model { XR7, K730 };
enum class Schedule {
    Deterministic,  // planner first: the servo runs only inside the planner's waits (the default)
    Threaded,       // a tick thread runs the servo as fast as the host allows, beside the planner
};

struct Options {
    Model model = Model::XR7;
    Schedule schedule = Schedule::Deterministic;
    // Debug categories to set, in order; a name with a leading '-' clears one.
    // Start value: none printing (the program clears Event at start).
    std::vector<std::string> debug;
    // Where the console goes as it is printed; null: collected in Result::console.
    std::FILE* consoleStream = nullptr;
    // CSV "tick,isr,profile,x,y" of every executed servo step, or null.  The
    // header line is the caller's.
    std::FILE* traceTicks = nullptr;
    // Deterministic schedule: runs of ticks that only repeat a constant-velocity
    // slew step or count an end delay down are applied in closed form.  The
    // results are the same either way; false runs every tick one by one.  No
    // tick is skipped while traceTicks is written.
    bool skipAhead = true;
    // false: only the start-up runs (what the machine prints when there is no
    // job to read); no status.
    bool runJob = true;
    // Book where the job time goes (breakdown, progress of the records, the
    // path): Result::explanation, and "breakdown" in the report.
    bool explain = false;
    // The job-length guard: a job that passes this many ticks ends with
    // JobTooLong.  Lowered only by test harnesses that must stay quick.
    uint32_t jobTickLimit = 0x80000000u;
};

// The record at which the job ended before the end of the text, or failed.
struct EndedAt {
    uint32_t record = 0;   // 1-based
    std::string text;      // the record as read (keyword and the values read)
    uint32_t line = 0;     // 1-based line of the text where the record starts; 0 when not known
    std::string lineText;  // that line as written (at most 200 bytes, without its line end)
};

struct Result {
    std::vector<std::string> status;  // status-file lines, without their line ends
    bool ok = false;                  // status[0] is "CVQX_OK"
    std::string console;              // the console text (empty when it was streamed)
    std::string failureMessage;       // the console line of a failed job, without its line end
    std::optional<EndedAt> endedAt;   // set when a record ended the job before the end of the text
    std::optional<EndedAt> failedAt;  // set when the job failed: the record it failed at (0: before any)
    uint32_t records = 0;             // records in the whole text, counted as the interpreter reads them

    int32_t ticks = 0;  // JobEndTick - JobStartTick
    uint32_t ms = 0;    // job time in milliseconds
    uint32_t IsrTick = 0;
    int32_t JobStartTick = 0, JobEndTick = 0;
    std::array<int32_t, 7> PlanCnt{};  // ticks per profile state IDLE, HOLD, ACC, SLEW, DCC, CREEP, DELAY
    int32_t VectCnt = 0;
    int32_t SvoPosX = 0, SvoPosY = 0, positionx = 0, positiony = 0;
    int32_t PclPosX = 0, PclPosY = 0, PclAbsX = 0, PclAbsY = 0;
    Schedule schedule = Schedule::Deterministic;
    Model model = Model::XR7;
    uint32_t hostMs = 0;  // host time of the estimate
    // With Options::explain: where the job time went.
    std::shared_ptr<const explain::JobExplain> explanation;
    // Host-side statistics (not in the report): ticks run one by one and
    // ticks applied by skip-ahead; their sum is every tick simulated.
    uint64_t ticksRun = 0;
    uint64_t ticksSkipped = 0;
};

// Estimates one job.  Throws std::invalid_argument for an unknown debug category.
Result Estimate(std::string_view commands, const Options& options = {});

// The report as JSON text (the --report file).
std::string ReportJson(const Result& result);
// How the job ended when it did not run whole: "failed: MoveStallError at
// record 1", "partial: ended at record 5 of 8", "empty: no records"; "" for a
// whole job.
std::string EndingText(const Result& result);

const char* ModelTag(Model model);  // "XR7" or "K730"
const char* VersionString();        // "03.10-01", as the status file writes it
const char* ProgramVersion();       // "3.10.1": the same version as the build and the packages give it
// The profile state names in PlanCnt order.
const std::array<const char*, 7>& ProfileStateNameList();
// The valid debug category names, comma-separated.
std::string DebugCategoryNames();
// The index of a debug category, or -1.
int DebugCategoryIndex(std::string_view name);

}  // namespace corvanta

// Explaining an estimate: where the job time goes, when each command record
// ran, and a picture of the job.  Pure presentation: the engine fills a
// JobExplain while it simulates; the functions below only format it.  This
// library depends on nothing but the standard library.
//
// Units used throughout:
//   tick          0.4 ms of machine time (2.5 kHz servo interrupt)
//   ms            2 x ticks / 5, truncated (the job-time rule); see TicksToMs
//   servo unit    1/12192 inch, 480 per mm (positions and speeds)
//
// All functions accept any input without crashing: an empty job, zero ticks,
// no segments, spans or records out of order, pens or activities out of range.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::explain {

// What the machine is doing during a tick.  Names (ActivityName): "cutting",
// "travel", "raster", "raster-move", "end-delay", "other".
enum class Activity : uint8_t {
    Cutting,       // pen-down vector motion, laser on
    Travel,        // pen-up vector motion
    RasterStroke,  // a raster line being engraved, including its run-up
    RasterMove,    // raster carriage motion between lines and to and from an image
    EndDelay,      // dwell at the end of a vector
    Other,         // anything else counted as job time (pen changes, waits)
};
constexpr int kActivities = 6;
constexpr int kPens = 17;             // pens 0..16
constexpr int32_t kServoPerMm = 480;  // servo units per millimetre
constexpr uint32_t kTicksPerSecond = 2500;

// Every counted tick lies in exactly one activity and one pen, so both arrays
// sum to JobExplain::ticks.  Ticks are exact; milliseconds of a part are
// truncated on their own and need not sum to the job's milliseconds.
struct Breakdown {
    uint64_t ticks[kActivities] = {};
    uint64_t penTicks[kPens] = {};
};

// One planned block as the servo executed it, from (x0, y0) to (x1, y1) in
// servo units of the machine's coordinates (origin at the bed's corner,
// X and Y as the machine counts them).
struct Segment {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    Activity activity = Activity::Other;
    uint8_t pen = 0;         // 0..16
    uint32_t peakSpeed = 0;  // highest speed reached in the block, servo units per second
};

// A stretch of job time spent on one activity: ticks from the job-time start
// mark, end exclusive.  Spans come in time order.
struct TimeSpan {
    Activity activity = Activity::Other;
    uint64_t startTick = 0, endTick = 0;
};

// The job time during which one command record was being carried out: ticks
// from the job-time start mark.  `record` counts records from 1 in file order.
struct RecordTime {
    uint32_t record = 0;
    std::string keyword;
    uint64_t startTick = 0, endTick = 0;
};

struct JobExplain {
    Breakdown breakdown;
    std::vector<Segment> segments;    // in execution order
    std::vector<TimeSpan> spans;      // in time order
    std::vector<RecordTime> records;  // in file order
    uint64_t ticks = 0;               // job time in ticks
    int32_t bedXsvo = 89520 * 4;      // bed size in servo units (746 mm)
    int32_t bedYsvo = 56400 * 4;      // (470 mm)
    uint32_t vectors = 0;             // vectors planned
    uint32_t rasterLines = 0;         // raster lines engraved
    uint32_t penChanges = 0;          // pen selections
    double hostSeconds = 0;           // host time the estimate took
    // How the job ended when it did not run whole, said instead of or beside
    // its time: "failed: MoveStallError at record 1" (`failed`: the figures
    // stop at the failure and are no job time) or "partial: ended at record 5
    // of 8" (the time covers the records before that one), "empty: no
    // records".  "": the whole job.
    std::string ending;
    bool failed = false;
};

// "cutting", "travel", ...; "other" for a value outside the enumeration.
std::string_view ActivityName(Activity a);

// Job-time milliseconds of a tick count: 2 x ticks / 5, truncated, without overflow.
uint64_t TicksToMs(uint64_t ticks);

// JSON object for the report, keys in a fixed order:
//   {"activities": {"cutting": {"ticks": N, "ms": M}, ... all six ...},
//    "pens": {"0": {"ticks": N, "ms": M}, ... only pens with ticks ...}}
std::string BreakdownJson(const JobExplain& job);

// A readable block for people (at most 80 columns, no trailing blanks): the
// job time, a table of activities and of pens with time and share of the job,
// counts of vectors, raster lines and pen changes, and the host time.
std::string Summary(const JobExplain& job);

// CSV "record,keyword,start_ms,end_ms", one line per record.  The times are
// made consistent: the first record starts at 0, starts never go back,
// no record ends before it starts or after the job, and the last record ends
// at the job time.
std::string ProgressCsv(const JobExplain& job);

// An SVG picture of the job at machine scale; see svg.cpp for the layout.
// The viewBox is in millimetres with machine Y growing upward, so the picture
// looks like the plotted work.  The title is escaped; the element count stays
// small whatever the number of segments or spans.
std::string Svg(const JobExplain& job, std::string_view title);

// The bars of the time strip: spans clamped to [0, ticks] and into time order,
// neighbours of one activity joined, and stretches shorter than minTicks folded
// into their neighbours (a run of short spans that together reach minTicks
// becomes bars coloured by the activity with the most ticks in each).  Every
// bar is at least minTicks long, except possibly a lone one; the result has at
// most about 2 x ticks / minTicks + 1 bars.
std::vector<TimeSpan> StripBars(const std::vector<TimeSpan>& spans, uint64_t ticks, uint64_t minTicks);

}  // namespace corvanta::explain

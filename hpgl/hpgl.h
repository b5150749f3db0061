// HP-GL and HP-GL/2 plot reader: reads a plot file into a design page (design/design.h), which the design
// writer turns into the records of a command file `Corvanta.cmd`.
//
// Units: a plotter unit (pu) is 1/1016 inch = 0.025 mm (40 per millimetre), the unit of the `pd_default` and
// `pu_default` records.  Positions are kept as doubles in plotter units after scaling and rotation, and each
// stroke point is rounded to whole plotter units before it goes on the page, so the records never drift from
// the plot.  Pen-down strokes become cut paths, fills (RA, RR, WG, FP) engraving regions, VS the pens'
// speeds.  Plotter 0,0 stays at the bed's corner where the carriage starts.
//
// Depends only on the design model; keeps no state between calls.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "design/design.h"
#include "design/settings.h"

namespace corvanta::hpgl {

// The machine's bed in plotter units, origin at plotter 0,0: MaxDistance (89520, 56400) plotbed units of
// 1/3048 inch, 3 plotbed units per plotter unit: 746 x 470 mm.
inline constexpr int32_t kBedWidthPu = 29840;
inline constexpr int32_t kBedHeightPu = 18800;
inline constexpr double kPuPerMm = 40.0;

// One thing the reader ignored, approximated or found malformed, or a statement about the whole plot.
struct Note {
    std::string key;     // stable identifier of the kind of note, e.g. "unknown XY", "clipped", "extent"
    std::string text;    // what happened, one sentence for the user
    uint64_t count = 0;  // how many times it happened; 0 for a statement about the whole plot
};

// The note as one line for standard error: "hpgl: <text>" with " (<count> times)" when it happened more than once.
std::string NoteLine(const Note& note);

struct Options {
    // The reading stops, with a note, when the page holds this many points; the writer stops at this many
    // records.
    uint64_t maxRecords = 5'000'000;
    // The conversion also stops, with a note, after computing this many moves, written or not (moves that
    // round to nothing or are clipped away write no record): a few seconds of work at most.
    uint64_t maxMoves = 50'000'000;
};

struct Conversion {
    std::string commands;     // command-file text, one record per line, the first `CorvantaCmdVer 1`
    std::vector<Note> notes;  // in order of first occurrence; the extent and bed notes last
    // Drawn extent (pen-down records) in millimetres from plotter 0,0; all 0 when nothing is drawn.  The
    // engraving of fills is not in it.
    double minXmm = 0.0, minYmm = 0.0, maxXmm = 0.0, maxYmm = 0.0;
    bool empty = true;       // no pen-down record
    bool leavesBed = false;  // the drawn or engraved extent is not inside 0..746 x 0..470 mm
    bool truncated = false;  // the conversion stopped at Options::maxRecords or Options::maxMoves
    uint64_t fills = 0;      // engraving regions on the page
    uint32_t rasterLines = 0;
    uint64_t records = 0;   // records in `commands`, the version record included
    double drawnMm = 0.0;   // total length of the pen-down records, millimetres
    double travelMm = 0.0;  // total length of the pen-up records, millimetres
};

// Reads a whole plot (raw bytes: HP-GL, HP-GL/2, possibly wrapped in PCL or preceded by device-control
// escapes) into a page.  Never fails: what could not be read is said in the page's notes, one line each.
design::Reading Read(std::string_view plot, const design::Settings& settings, const Options& options = {});

// Reads the plot and writes its command records with the design writer and `settings`.
Conversion Convert(std::string_view plot, const Options& options = {}, const design::Settings& settings = {});

}  // namespace corvanta::hpgl

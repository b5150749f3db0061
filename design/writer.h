// The one writer of designs: turns a Page into the records of a command file the way a laser driver sends a
// page.  First the engraving, as one raster image covering every engraving region (fills and pictures) at the
// job's raster settings; then `ToHpglMode` and the cuts, grouped by pen in the order of the pen table.
//
// Bed placement.  The machine's vector moves count from the carriage's start corner, the bed's 0,0, with y
// up the bed (the HP-GL frame, plotter units of 1/1016 in, 40 per mm).  Its raster positions count from the
// PCL origin, 2 mm right of that corner and 466 mm up it, with y down the bed, in dots and rows.  A page is
// laid with its top-left corner on the PCL origin (moved by the settings' offset) and its y down the bed, so
// a page point (x, y) mm lies at (2 + x, 466 - y) mm of the HP-GL frame and at (x, y) mm of PCL, and a cut
// outline lies on the edge of its engraving.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "design/design.h"
#include "design/settings.h"

namespace corvanta::design {

inline constexpr double kPuPerMm = 40.0;  // plotter units (1/1016 in) per millimetre
inline constexpr double kMmPerInch = 25.4;
inline constexpr double kPclOriginXmm = 2.0;  // the PCL origin on the bed, from the carriage's start corner
inline constexpr double kPclOriginYmm = 466.0;
inline constexpr double kBedWidthMm = 746.0;  // the bed: MaxDistance 89520 x 56400 plotbed units
inline constexpr double kBedHeightMm = 470.0;
// Positions beyond this many plotter units (1.25 km) from the start corner are clamped, so that a move times
// 12 (servo units per plotter unit) still fits in 32 bits.
inline constexpr int64_t kCoordinateLimitPu = 50'000'000;
inline constexpr double kYMaxMmPerS = 124968.0 / 120;  // Y axis maximum speed, 1041.4 mm/s
inline constexpr int32_t kStartUpSpeed = 500;          // the machine's pen speeds at start-up, thousandths

struct WriteLimits {
    uint64_t maxRecords = 5'000'000;  // the output stops, with a note, when it reaches this many records
};

// A rectangle on the bed in millimetres from the carriage's start corner, x right, y up.
struct BedExtent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;
    void Add(double x, double y);
    bool InsideBed() const;
};

struct Written {
    std::string commands;            // one record per line, the first `CorvantaCmdVer 1`
    uint64_t records = 0;            // records in `commands`, the version record included
    bool truncated = false;          // the output stopped at WriteLimits::maxRecords
    std::vector<std::string> notes;  // the writer's notes for people (speeds, clamps, limits)
    BedExtent cut;                   // the pen-down moves
    BedExtent travel;                // the pen-up moves' ends
    BedExtent engraved;              // the raster image
    double cutMm = 0, travelMm = 0;  // total length of the pen-down and pen-up moves
    uint64_t paths = 0, segments = 0, regions = 0, images = 0;
    uint32_t rasterLines = 0, rasterDots = 0;
    std::vector<int> pens;  // pens that cut, in the order they were selected
};

// The pen order of the cuts: pens in order of first mention in the pen table, then the others ascending
// (pen 0, the machine's pen without a table entry, first).
std::vector<int> PenOrder(const Settings& settings);

// Cutting speed in thousandths of the Y axis maximum for mm/s, clamped to the machine's 1..1000.
int32_t SpeedThousandths(double mmPerS);

Written WriteCommands(const Page& page, const Settings& settings, const WriteLimits& limits = {});

// The notes on standard error for a design: counts, pens, extent and the bed warning, one line each.
std::vector<std::string> SummaryNotes(const Written& written);

}  // namespace corvanta::design

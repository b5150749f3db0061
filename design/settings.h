// Job settings for designs: how a drawing becomes a laser job.  Every value
// has the default a laser driver would use.  Read from JSON (--settings).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace corvanta::design {

struct PenRule {
    std::string colour;  // "#rrggbb" (lower case) of a stroke
    int pen = 1;         // 1..16
};

struct Settings {
    // Stroke colour -> pen; colours not listed go to defaultPen, with a note.
    std::vector<PenRule> penTable;
    int defaultPen = 1;
    // Cutting speed of pens 1..16 in mm/s; 0 leaves the machine's own table.
    double penSpeedMmS[16] = {};

    // Raster engraving.
    int32_t rasterDpi = 508;          // dots per inch along X
    int32_t rasterRowsPerInch = 508;  // rows per inch along Y: divides 3048 (or is 304 or 609), so lines step evenly
    int32_t rasterSpeedX = 1000;      // thousandths of the axis maximum
    int32_t rasterSpeedY = 1000;
    bool rasterBothDirections = true;
    int32_t rasterRowsPerLine = 1;
    bool rasterBottomUp = false;
    bool rasterFixedRunUp = false;
    int32_t rasterPower = 100;  // thousandths of full power

    // Placement of the page's top-left corner on the bed, mm.
    double offsetXmm = 0, offsetYmm = 0;
    // Largest distance of a flattened curve from the true one, mm.
    double curveToleranceMm = 0.01;
    enum class FillMode { Engrave, CutOutline, Ignore };
    FillMode fills = FillMode::Engrave;
    // Resolution assumed for SVG user units without a physical unit, and for photos without a stated DPI.
    double svgUnitsPerInch = 96;
    double imageDpi = 300;
    bool cropImageMargins = true;

    // What machine time costs (quotes and the summary); amounts in the currency's main unit.
    double ratePerHour = -1;   // per machine hour; below 0: no rate known
    double setupMinutes = 0;   // charged per job
    double minimumCharge = 0;  // per job
    std::string currency;      // text shown with amounts, e.g. "EUR"
    uint32_t copies = 1;       // copies of each input
};

}  // namespace corvanta::design

// Raster image types and tables.
#pragma once
#include <array>
#include <cstdint>

namespace corvanta {

// The four-field position record passed by value.
struct PclPosRec {
    int32_t x, y;          // PCL cursor, plotbed units
    int32_t x_mrg, y_mrg;  // image origin, plotbed units
};

constexpr int32_t RASTER_STEP_TABLE_304 = 304;
constexpr int32_t RASTER_STEP_TABLE_609 = 609;
extern const std::array<int32_t, RASTER_STEP_TABLE_304> RasterStep304;  // 10, every 38th entry 11: sums to 3048
extern const std::array<int32_t, RASTER_STEP_TABLE_609> RasterStep609;  // 5, entries 202, 405, 608 are 6: sums to 3048

// The interpreter's language mode.
constexpr uint8_t LANGUAGE_HPGL = 1;
constexpr uint8_t LANGUAGE_PCL = 2;

}  // namespace corvanta

// Raster margins, run-up distance, stroke length, line-step tables, raster
// speeds and the plotbed-to-PCL conversion.
#pragma once
#include <array>
#include <cstdint>

#include "raster/raster.h"

extern const int32_t* RasterStepTable;   // Y step per raster line, plotbed units; null before any table
extern int32_t rasterindicator;          // entries used before the line index wraps
extern int32_t RasterIndicatorY;         // index of the next line's entry
extern int32_t RasterStepEven[3];        // table used when the rows divide the plotbed resolution
extern const std::array<int32_t, 304> RasterStep304;   // 10, every 38th entry 11: sums to 3048
extern const std::array<int32_t, 609> RasterStep609;   // 5, entries 202, 405, 608 are 6: sums to 3048

void HandleRasterMargin();
void HandleRasterMoving();
uint16_t CalAccelDistance();
void SetRasterDistance(int32_t x, int32_t y, int32_t unit);
void lsr_TransPlotbedtoPCL(int32_t dpi, int32_t unit, PclPosRec rec);
void HandleHpglToPclPosition();
void ResetMarginState();

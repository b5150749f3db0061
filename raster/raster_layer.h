// The raster planner layer: raster images become carriage moves, strokes and
// line steps for the vector planner; margins, run-up distances, line-step
// tables and the PCL cursor.  Positions are plotbed units measured from the
// PCL origin (InitDistance), PCL Y growing toward smaller plotbed Y.
#pragma once
#include <cstdint>

#include "planner/planner_layer.h"
#include "raster/raster.h"

namespace corvanta {

struct RasterLayer : PlannerLayer {
    using PlannerLayer::PlannerLayer;

    // --- PCL cursor and the current image
    int32_t PclPosX = 0, PclPosY = 0;                 // PCL cursor, plotbed units
    int32_t x_mrg = 0, y_mrg = 0;                     // left and top edge of the current image, plotbed units
    int32_t PclAbsX = 0, PclAbsY = 0;                 // PCL cursor: X in dots of RasterDPI, Y in rows of RasterUnit
    int32_t RasterDistanceX = 0;                      // stroke length along X, plotbed units
    int32_t RasterAccelDist = 0;                      // run-up before and after the image, plotbed units
    int32_t MarginL = 0, MarginR = 0, MarginMid = 0;  // engraving limits (units of Resolution.X) and image middle X
    uint8_t RasterDir = 0;                            // next stroke: 0 forward (+X), 1 backward
    uint8_t LanguageMode = LANGUAGE_PCL;              // 1 HPGL, 2 PCL (start)

    // --- line steps
    const int32_t* RasterStepTable = nullptr;  // Y step per raster line, plotbed units; null before any table
    int32_t rasterindicator = 0;               // entries used before the line index wraps
    int32_t RasterIndicatorY = 0;              // index of the next line's entry
    int32_t RasterStepEven[3] = {};            // table used when the rows divide the plotbed resolution

    // raster.cpp
    void HandleStartRasterGraphics();
    void HandleCarriagePosition(PclPosRec rec);
    void HandleRasterLineOut();
    void HandleEndRasterGraphics();
    void HandleToHpglMode();
    // margin.cpp
    void HandleRasterMargin();
    void HandleRasterMoving();
    uint16_t CalAccelDistance();
    void SetRasterDistance(int32_t x, int32_t y, int32_t unit);
    void lsr_TransPlotbedtoPCL(int32_t dpi, int32_t unit, PclPosRec rec);
    void HandleHpglToPclPosition();
};

}  // namespace corvanta

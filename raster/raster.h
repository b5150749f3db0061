// Raster images: placement, carriage moves, strokes and line steps, and the
// switch back to vector work.  Positions are plotbed units measured from the
// PCL origin (InitDistance), PCL Y growing toward smaller plotbed Y.
#pragma once
#include <cstdint>

// The four-field position record passed by value.
struct PclPosRec {
    int32_t x, y;           // PCL cursor, plotbed units
    int32_t x_mrg, y_mrg;   // image origin, plotbed units
};

extern int32_t PclPosX, PclPosY;      // PCL cursor, plotbed units
extern int32_t x_mrg, y_mrg;          // left and top edge of the current image, plotbed units
extern int32_t PclAbsX, PclAbsY;      // PCL cursor: X in dots of RasterDPI, Y in rows of RasterUnit
extern int32_t RasterDistanceX;       // stroke length along X, plotbed units
extern int32_t RasterAccelDist;       // run-up before and after the image, plotbed units
extern int32_t MarginL, MarginR, MarginMid;   // engraving limits (units of Resolution.X) and image middle X
extern uint8_t RasterDir;             // next stroke: 0 forward (+X), 1 backward

void HandleStartRasterGraphics();
void HandleCarriagePosition(PclPosRec rec);
void HandleRasterLineOut();
void HandleEndRasterGraphics();
void HandleToHpglMode();
void ResetRasterState();

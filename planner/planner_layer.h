// The vector planner layer: one straight move in plotbed units becomes a
// VECTOR block, with look-back passes over the queued blocks; pen blocks,
// pen selection and the start of vector cutting; the planner dumps.
//
// Units in this layer: dx, dy plotbed units; distances in a block servo
// units; velocities 9.23 servo units/tick; target and corner velocities in
// acceleration steps; angles whole degrees (anglediff 16.16 degrees).
#pragma once
#include <cstdint>

#include "planner/vector.h"
#include "servo/servo_layer.h"

namespace corvanta {

struct PlannerLayer : ServoLayer {
    using ServoLayer::ServoLayer;

    // --- the vector being planned (srvo_on_ve)
    const VelAccelRec* pVelAccelPointer = nullptr;  // speed record of the last vector
    int32_t pbdAxiaVel = 0;        // slew velocity of the current vector, acceleration steps; 0: constant LowSpeed
    int32_t pbdAccel = 0;          // acceleration of the current vector, Q14 servo units/tick^2
    int32_t diag_vel = 0;          // diagonal velocity of the current vector, acceleration steps
    uint32_t pbdSps = 0;           // speed above creep of the current vector, plotbed units/s
    int32_t LowSpeed = 0;          // constant 9.23-scale speed used when pbdAxiaVel is 0
    int32_t lowspeedflag = 0;      // carried for the planner dump (0)
    int32_t CI_Flag = 0;           // carried for the planner dump (0)
    uint8_t PlannerDumpFlags = 0;  // bit 0: planner dump, bit 1: dump of the last corner-raised block
    bool PuBandTrace = false;      // pen-up band trace switch (clear; nothing sets it)
    int32_t VectCnt = 0;           // vectors planned so far (never reset)
    CornerRamp CornerSteps;        // the corner pass's acceleration simulation for the last velocity step

    // --- pen (pen.cpp)
    int32_t PenIsUp = 0;  // the planner's pen state: 1 up, 0 down

    // vector.cpp
    void srvo_on_ve(int32_t dx, int32_t dy);
    void _delta_move(int32_t dx, int32_t dy, VdbData* b);
    // The pen-up rescaling of the loaded speed record for a move of length L mm.
    void PenUpRescale(int32_t dx, int32_t dy, int32_t L_mm);
    // Move length in whole millimetres: (|dx| + |dy|) / (PbdReso.Y / 25.4), truncated.
    int32_t MoveLengthMm(int32_t dx, int32_t dy) const;

    // pen.cpp
    void penupout();
    void pendnout();
    void srvo_on_pu();
    void srvo_on_pd();
    void srvo_on_raster_move(int32_t n);
    void execute_penselect(int32_t pen);
    void HandleStartVectorCutting();
    void srvo_off_to_on();

    // dump.cpp
    void VdbDump(const VdbData* b);         // by the block's `kind`
    void VdbDumpPlanned(const VdbData* b);  // a block being planned: kind from its `cmd`
    void PlannerDump();

private:
    // The steps of _delta_move, in order.
    VectGeometry PlanGeometry(int32_t dx, int32_t dy, VdbData* b);
    void PlanStartVelocities(VectData& v);
    void PlanSlope(VectGeometry& g, VectData& v, int32_t dx, int32_t dy);
    void PlanMinorAxis(const VectGeometry& g, VectData& v);
    void PlanTargetVelocity(const VectGeometry& g, VectData& v);
    void PlanProfileStart(VectData& v, VdbData* b);
    int32_t LinkToPrevious(VdbData* b, int32_t& shown);
    void SmoothAngles(VdbData* b, int32_t rel, int32_t shown);
    void CornerPass(VdbData* b);

    void QueueMarker(uint8_t kind, int32_t speedClass);
    void DumpAs(const VdbData* b, uint8_t kind);
    void DumpField(const char* name, int32_t value);
    void DumpScaled(const char* name, int32_t value, double scale);
};

}  // namespace corvanta

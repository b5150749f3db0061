// Vector segment planning: one straight move in plotbed units becomes a
// VECTOR block, with look-back passes over the queued blocks.
//
// Units in this file: dx, dy plotbed units; distances in the block servo
// units; velocities 9.23 servo units/tick; target and corner velocities in
// acceleration steps; angles whole degrees (anglediff 16.16 degrees).
#pragma once
#include <cstdint>

#include "planner/vdb.h"
#include "setup/speeds.h"

extern const VelAccelRec* pVelAccelPointer;   // speed record of the last vector
extern int32_t pbdAxiaVel;       // slew velocity of the current vector, acceleration steps; 0: constant LowSpeed
extern int32_t pbdAccel;         // acceleration of the current vector, Q14 servo units/tick^2
extern int32_t diag_vel;         // diagonal velocity of the current vector, acceleration steps
extern uint32_t pbdSps;          // speed above creep of the current vector, plotbed units/s
extern int32_t LowSpeed;         // constant 9.23-scale speed used when pbdAxiaVel is 0
extern int32_t lowspeedflag;     // carried for the planner dump (0)
extern int32_t CI_Flag;          // carried for the planner dump (0)
extern uint8_t PlannerDumpFlags; // bit 0: planner dump, bit 1: dump of the last corner-raised block
extern bool PuBandTrace;         // pen-up band trace switch (clear; nothing sets it)

extern const int16_t OctantBaseAngle[8];
extern const uint8_t AtanTable[64];      // round(atan(i/64)) in degrees
extern const int32_t CosTable[46];       // cos(d) x 65536, d = 0..45 degrees
extern const uint16_t CornerFactor[46];  // velocity factor per direction change 0..45 degrees, 0.16

// One row of the pen-up distance bands: limits in mm, S in thousandths of
// 1 g, V in fortieths of the record's speed.
struct PenUpBandRow {
    int32_t part[5];   // PartA .. PartE
    int32_t S[5];
    int32_t V[5];
};
extern const PenUpBandRow PenUpBands[3];   // 1: both deltas, 2: only dx, 3: only dy

int32_t FixMulDiv(int32_t a, int32_t b, int32_t c);
void srvo_on_ve(int32_t dx, int32_t dy);
void _delta_move(int32_t dx, int32_t dy, VdbData* b);
// The pen-up rescaling of the loaded speed record for a move of length L mm.
void PenUpRescale(int32_t dx, int32_t dy, int32_t L_mm);
// Move length in whole millimetres: (|dx| + |dy|) / (PbdReso.Y / 25.4), truncated.
int32_t MoveLengthMm(int32_t dx, int32_t dy);
void ResetVectorState();

// Tables and pure helpers of vector planning.
#pragma once
#include <cstdint>

#include "planner/corner_sim.h"
#include "ring/vdb.h"

namespace corvanta {

constexpr int OCTANT_COUNT = 8;
constexpr int CORNER_DEGREES = 46;  // table entries for 0..45 degrees
extern const int16_t OctantBaseAngle[OCTANT_COUNT];
extern const uint8_t AtanTable[64];                  // round(atan(i/64)) in degrees
extern const int32_t CosTable[CORNER_DEGREES];       // cos(d) x 65536, d = 0..45 degrees
extern const uint16_t CornerFactor[CORNER_DEGREES];  // velocity factor per direction change 0..45 degrees, 0.16

// One row of the pen-up distance bands: limits in mm, S in thousandths of
// 1 g, V in fortieths of the record's speed.
struct PenUpBandRow {
    int32_t part[5];  // PartA .. PartE
    int32_t S[5];
    int32_t V[5];
};
extern const PenUpBandRow PenUpBands[3];  // 0: both deltas, 1: only dx, 2: only dy

// a x b / c with a 64-bit product, truncated, sign from the operands; 0 when
// the quotient would not fit in 31 bits.
int32_t FixMulDiv(int32_t a, int32_t b, int32_t c);

// The geometry of one move as _delta_move derives it.
struct VectGeometry {
    int32_t ax, ay;        // |dx|, |dy|, plotbed units
    uint8_t octant;        // bit0: Y major, bit1: dx < 0, bit2: dy < 0
    int32_t major, minor;  // distances, servo units
    uint32_t M, m;         // major and minor scaled down to 16 bits
    uint32_t s;            // slope minor / major, unsigned 0.16 (0 when M == m)
    int theta;             // direction within the octant, degrees 0..45
    bool diagonal() const { return M == m; }
};

// The corner pass's acceleration from creep over a successor block (see
// planner/corner_sim.h): K the successor's velocity step (9.23 per
// acceleration step); Ld its major distance, servo units; target its
// psuedodist + major distance; H the step limit; creep CREEP_VELOCITY.
CornerSim SimulateCorner(uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creep);

}  // namespace corvanta

#pragma once

// The corner pass's acceleration simulation: how many acceleration steps a head starting at creep
// velocity can make over a successor vector before it reaches a velocity limit, the end of the
// successor (plus its pseudo distance) or a step count, and the distance it has covered by then.
//
// Fixed-point formats:
//   vel     9.23 servo units per tick; starts at creepVelocity << 23 and grows by K per step,
//           wrapping modulo 2^32.
//   K       9.23 velocity change per acceleration step (a vector's majrdvel, accel << 9).
//   pd      distance in 1/256 servo units; starts at (64 - creepVelocity) << 8 and grows by
//           vel >> 15 per step, wrapping modulo 2^32.
//   Ld      the successor's major distance in whole servo units; stops when vel >> 23 >= Ld.
//   target  distance in whole servo units; stops after the step at which pd >> 8 >= target.
//   H       step limit; stops when more than H steps have been made.
//
// The step-by-step form (SimulateCornerLoop) is the reference. SimulateCornerClosed gives the same
// {n, pd} for every input in O(log) time: see corner_sim.cpp for the derivation.

#include <cstdint>

namespace corvanta {

struct CornerSim {
    uint32_t n;   // acceleration steps made before the stop, less one (0 when none was made)
    uint32_t pd;  // pd before the last step made, 1/256 servo units (pd0 - ((vel0 - K) >> 15) when none)
};

// The simulation exactly as the corner pass states it, one acceleration step per iteration
// (at most H + 1 iterations).
CornerSim SimulateCornerLoop(uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creepVelocity);

// The same result without stepping: sums of floors of arithmetic sequences give pd after any step
// count, and each stop condition is located by bounds and bisection on them.
CornerSim SimulateCornerClosed(uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creepVelocity);

namespace corner_sim_detail {

// sum_{i<n} floor((a i + b) / m) for m > 0, computed by the Euclid-like reduction in O(log m) steps.
// All arithmetic is 64-bit: the caller guarantees that a n + b and the result stay below 2^64
// (the corner simulation uses n <= 2^17, m <= 2^32, a < 2^32, b < 2^33).
uint64_t FloorSum(uint64_t n, uint64_t m, uint64_t a, uint64_t b);

}  // namespace corner_sim_detail

}  // namespace corvanta

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
// {n, pd} for every input in O(log) time: see corner_sim.cpp for the derivation. CornerRamp gives it
// directly for the inputs of real jobs, and falls back to SimulateCornerClosed for the others.

#include <array>
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

// The simulation for one velocity step K and creep velocity, which a whole corner pass shares (the
// pass stops where the velocity step changes). The floor sums that the distance follows repeat with
// a period of 2^15 / gcd(K mod 2^15, 2^15) steps; their remainders are tabulated once per K, so that
// the distance after any step count is a few multiplications, and a call finds its step count from
// the root of the quadratic that the distance follows, checked exactly and corrected by a step or two.
class CornerRamp {
public:
    // Tables for K and creepVelocity (a no-op when they are the ones already prepared).
    void Prepare(uint32_t K, int32_t creepVelocity);
    // The same {n, pd} as SimulateCornerLoop with the prepared K and creep velocity.
    CornerSim Simulate(uint32_t Ld, uint32_t target, uint16_t H) const;

    static constexpr uint32_t kMaxPeriod = 1024;  // longer periods take the general closed form

private:
    uint64_t Dist(uint64_t j) const;  // pd after j steps, unwrapped (1/256 units); needs no velocity wrap
    bool ready_ = false;
    bool direct_ = false;  // creep 1..64 and a short period: the direct form applies
    uint32_t K_ = 0;
    int32_t creep_ = 0;
    uint32_t periodShift_ = 0;  // log2 of the period of K j mod 2^15
    double A_ = 0, B_ = 0;      // dist_j - pd0 ~ A_ j^2 + B_ j (1/256 units), the remainders at their mean
    double inv2A_ = 0, invB_ = 0;
    // remainders_[r] = sum_{k<r} (k K mod 2^15), r = 0 .. period.
    std::array<uint32_t, kMaxPeriod + 1> remainders_{};
};

namespace corner_sim_detail {

// sum_{i<n} floor((a i + b) / m) for m > 0, computed by the Euclid-like reduction in O(log m) steps.
// All arithmetic is 64-bit: the caller guarantees that a n + b and the result stay below 2^64
// (the corner simulation uses n <= 2^17, m <= 2^32, a < 2^32, b < 2^33).
uint64_t FloorSum(uint64_t n, uint64_t m, uint64_t a, uint64_t b);

}  // namespace corner_sim_detail

}  // namespace corvanta

#include "planner/corner_sim.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

// Notation. Steps are numbered from 0. Before step i the simulation holds
//   vel_i = (v0 + i K) mod 2^32                       (9.23 units per tick)
//   pd_i  = dist_i mod 2^32,  dist_i = pd0 + sum_{k<i} (vel_k >> 15)   (1/256 units, unwrapped)
// Step i is made when i <= H and (vel_i >> 23) < Ld; after it the loop stops if pd_{i+1} >> 8 >= target.
// So the loop ends at the first "event" in the order
//   A/B(0), C(1), A/B(1), C(2), ...   with A/B(i): i > H or (vel_i >> 23) >= Ld,  C(j): pd_j >= target << 8.
// With s = the first i with A/B(i) (s <= H + 1 <= 65536) and t = the first j >= 1 with C(j), the loop
// stops at e = min(s, t) (C(j) comes before A/B(j)), having made e steps. It then returns
//   n = e - 1 and pd = pd_e - (vel_{e-1} >> 15) = pd_{e-1}            when e >= 1,
//   n = 0     and pd = pd0 - ((v0 - K) >> 15)  (wrapping)              when e = 0 or the entry test fails.
//
// dist in closed form: for x = v0 + k K (unwrapped, < 2^49), (x mod 2^32) >> 15 = floor(x / 2^15) -
// 2^17 floor(x / 2^32), so
//   dist_i = pd0 + FloorSum(i, 2^15, K, v0) - 2^17 FloorSum(i, 2^32, K, v0),
// the second sum being 0 as long as vel has not wrapped. dist is nondecreasing, grows by less than
// 2^17 per step and stays below pd0 + 65536 * 2^17 < 3 * 2^32, so pd wraps at most twice.
//
// Locating the stops:
// - A: s <= H + 1 directly.
// - B: the first i with vel_i >= Ld << 23 (vel >> 23 < 512, so Ld >= 512 never stops). Before vel's
//   first wrap that is one division; if the unwrapped velocity steps over [Ld << 23, 2^32) at the wrap,
//   the later visits are counted with FloorSum and found by bisection.
// - C: pd_j >= Y (Y = target << 8) means dist_j in [q 2^32 + Y, (q + 1) 2^32) for some q <= 2. For each
//   q in turn, the first j with dist_j >= q 2^32 + Y (dist is monotone) either lies in that window or
//   has jumped past it, in which case the search goes on from j for the next q.
// - The monotone searches use, while vel does not wrap, the bounds
//     G(d) / 2^15 - d < dist_{lo+d} - dist_lo <= G(d) / 2^15,   G(d) = d vel_lo + K d (d - 1) / 2,
//   whose gap is under one 1/256 unit per step of d. The steps they leave open are about
//   d / (vel_lo >> 15): with vel >= 2^23 (creep 1 or more) under 1 + d / 256, one or two for the few
//   hundred steps of a usual corner, so a search costs one FloorSum and a short walk of the loop's own
//   step. Otherwise (vel wraps, or the bracket stays wide) the search halves the range by exact dist
//   values until a walk is short.

namespace corvanta {

namespace corner_sim_detail {

uint64_t FloorSum(uint64_t n, uint64_t m, uint64_t a, uint64_t b) {
    uint64_t sum = 0;
    for (;;) {
        if (a >= m) {
            sum += (n * (n - 1) / 2) * (a / m);
            a %= m;
        }
        if (b >= m) {
            sum += n * (b / m);
            b %= m;
        }
        const uint64_t yMax = a * n + b;
        if (yMax < m) return sum;
        // Count lattice points the other way round: the line's y-range becomes the new x-range.
        n = yMax / m;
        b = yMax % m;
        std::swap(m, a);
    }
}

}  // namespace corner_sim_detail

namespace {

using corner_sim_detail::FloorSum;

constexpr uint64_t kWrap = uint64_t{1} << 32;  // period of vel and pd
constexpr unsigned kPdShift = 15;              // vel >> 15: 9.23 velocity in 1/256 units per tick
constexpr uint64_t kPdRound = (uint64_t{1} << kPdShift) - 1;
constexpr unsigned kVelUnitShift = 23;  // vel >> 23: whole servo units per tick
constexpr uint64_t kWalkSteps = 16;     // brackets this narrow are walked step by step

// FloorSum for m = 2^shift: the first reduction by shifts, the rest by the general reduction.
uint64_t FloorSumPow2(uint64_t n, unsigned shift, uint64_t a, uint64_t b) {
    const uint64_t mask = (uint64_t{1} << shift) - 1;
    uint64_t sum = (n * (n - 1) / 2) * (a >> shift) + n * (b >> shift);
    a &= mask;
    b &= mask;
    const uint64_t yMax = a * n + b;
    if (yMax <= mask) return sum;
    return sum + FloorSum(yMax >> shift, a, mask + 1, yMax & mask);
}

// The simulation's state sequence in unwrapped integers (see the notes above); i <= 65537.
struct Ramp {
    uint64_t pd0, v0, K;

    uint32_t Vel(uint64_t i) const { return static_cast<uint32_t>(v0 + i * K); }
    // No wrap of vel in steps 0 .. i-1.
    bool NoWrapBefore(uint64_t i) const { return i == 0 || v0 + (i - 1) * K < kWrap; }
    uint64_t Dist(uint64_t i) const {
        uint64_t d = pd0 + FloorSumPow2(i, kPdShift, K, v0);
        if (!NoWrapBefore(i)) d -= FloorSumPow2(i, 32, K, v0) << (32 - kPdShift);
        return d;
    }
};

// A step count with its exact distances.
struct Reach {
    uint64_t j;         // steps made (0: no such step)
    uint64_t dist;      // dist_j
    uint64_t distPrev;  // dist_{j-1}, when j >= 1
};

// Steps the loop's own way from lo (dist_lo < Y) until dist reaches Y or hi steps are made.
Reach Walk(const Ramp& r, uint64_t lo, uint64_t distLo, uint64_t Y, uint64_t hi) {
    uint32_t vel = r.Vel(lo);
    const uint32_t K = static_cast<uint32_t>(r.K);
    Reach at{lo, distLo, 0};
    while (at.j < hi && at.dist < Y) {
        at.distPrev = at.dist;
        at.dist += vel >> kPdShift;
        vel += K;
        ++at.j;
    }
    return at;
}

// First d in [1, maxD] with d V + K d (d - 1) / 2 >= X + d slack, maxD + 1 if none. The left side less
// d slack is convex in d and 0 at d = 0 < X, so the condition, once true, stays true: the answer is the
// ceiling of the positive root of K/2 d^2 + (V - slack - K/2) d - X. That root is estimated in double
// precision (to a small fraction of a step: every quantity is below 2^83 and no difference of nearly
// equal numbers is formed), then settled by exact integer tests, galloping out from the estimate and
// bisecting, so that two tests normally do. Requires V + (maxD - 1) K < 2^32 (no wrap), so that every
// term stays below 2^49.
uint64_t FirstStepReaching(uint64_t V, uint64_t K, uint64_t X, uint64_t slack, uint64_t maxD) {
    if (K == 0) {  // linear: exact by division
        if (V <= slack) return maxD + 1;
        return std::min((X + (V - slack) - 1) / (V - slack), maxD + 1);
    }
    auto reaches = [&](uint64_t d) { return d * V + K * (d * (d - 1) / 2) >= X + d * slack; };
    const double a = 0.5 * static_cast<double>(K);
    const double b = static_cast<double>(V) - static_cast<double>(slack) - a;
    const double c = static_cast<double>(X);
    const double root = std::sqrt(b * b + 4.0 * a * c);
    const double est = b > 0 ? 2.0 * c / (b + root) : (root - b) / (2.0 * a);
    const uint64_t guess = est < 1.0 ? 1 : est >= static_cast<double>(maxD) ? maxD : static_cast<uint64_t>(est) + 1;

    uint64_t lo, hi;  // the answer is in (lo, hi]: lo is 0 or fails, hi is maxD + 1 or reaches
    if (reaches(guess)) {
        lo = hi = guess;
        for (uint64_t step = 1; lo > 0; step *= 2) {
            lo = hi > step ? hi - step : 0;
            if (lo > 0 && reaches(lo))
                hi = lo;
            else
                break;
        }
    } else {
        lo = guess;
        for (uint64_t step = 1;; step *= 2) {
            hi = lo + step;
            if (hi > maxD) {
                hi = maxD + 1;
                break;
            }
            if (reaches(hi)) break;
            lo = hi;
        }
    }
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (reaches(mid))
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

// First j in (lo, hi] with dist_j >= Y, given dist_lo < Y; j = 0 when there is none.
Reach FirstReach(const Ramp& r, uint64_t lo, uint64_t distLo, uint64_t Y, uint64_t hi) {
    constexpr Reach kNone{0, 0, 0};
    // While vel does not wrap, the upper bound on dist rules out the steps up to lo + dLow - 1; the answer
    // is normally within a step or two of there.
    if (hi - lo > kWalkSteps && r.NoWrapBefore(hi)) {
        const uint64_t dLow = FirstStepReaching(r.v0 + lo * r.K, r.K, (Y - distLo) << kPdShift, 0, hi - lo);
        if (dLow > hi - lo) return kNone;
        if (dLow > 1) {
            lo += dLow - 1;
            distLo = r.Dist(lo);
        }
        const Reach w = Walk(r, lo, distLo, Y, std::min(hi, lo + kWalkSteps));
        if (w.dist >= Y) return w;
        lo = w.j;
        distLo = w.dist;
    }
    // Otherwise narrow [lo, hi] by both bounds or by halving, each round at least halving it.
    for (;;) {
        const uint64_t width = hi - lo;
        if (width <= kWalkSteps) {
            const Reach w = Walk(r, lo, distLo, Y, hi);
            return w.dist >= Y ? w : kNone;
        }
        if (r.NoWrapBefore(hi)) {
            const uint64_t V = r.v0 + lo * r.K;
            const uint64_t X = (Y - distLo) << kPdShift;
            const uint64_t dLow = FirstStepReaching(V, r.K, X, 0, width);  // dist_{lo+d} < Y for d < dLow
            if (dLow > width) return kNone;
            const uint64_t dHigh = FirstStepReaching(V, r.K, X, kPdRound, width);  // dist_{lo+dHigh} >= Y
            if (dHigh <= width) hi = lo + dHigh;
            const uint64_t newLo = lo + dLow - 1;
            if (2 * (hi - newLo) <= width) {
                if (newLo != lo) distLo = r.Dist(newLo);
                lo = newLo;
                continue;
            }
        }
        const uint64_t mid = lo + (hi - lo) / 2;
        const uint64_t distMid = r.Dist(mid);
        if (distMid >= Y) {
            hi = mid;
        } else {
            lo = mid;
            distLo = distMid;
        }
    }
}

// First i in [0, limit) with vel_i >= T (T <= 511 << 23), limit when none.
uint64_t FirstVelAtLeast(const Ramp& r, uint64_t T, uint64_t limit) {
    if (r.v0 >= T) return 0;
    if (r.K == 0) return limit;
    const uint64_t first = (T - r.v0 + r.K - 1) / r.K;  // first reach of T by the unwrapped velocity
    if (first >= limit) return limit;
    if (r.v0 + first * r.K < kWrap) return first;
    // The velocity wrapped instead, stepping over [T, 2^32). Visits among steps 0 .. n-1, using
    // [x mod 2^32 >= T] = floor((x + 2^32 - T) / 2^32) - floor(x / 2^32):
    auto visits = [&](uint64_t n) {
        return FloorSumPow2(n, 32, r.K, r.v0 + kWrap - T) - FloorSumPow2(n, 32, r.K, r.v0);
    };
    uint64_t lo = first + 1, hi = limit;  // visits(lo) == 0
    if (hi <= lo || visits(hi) == 0) return limit;
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (visits(mid) > 0)
            hi = mid;
        else
            lo = mid;
    }
    return hi - 1;
}

}  // namespace

CornerSim SimulateCornerLoop(uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creepVelocity) {
    uint32_t pd = (64u - static_cast<uint32_t>(creepVelocity)) << 8;
    uint32_t vel = static_cast<uint32_t>(creepVelocity) << 23;
    uint32_t n = 0;
    if ((pd >> 8) < target) {
        for (;;) {
            if (n > H) break;
            if ((vel >> 23) >= Ld) break;
            pd += vel >> 15;
            n += 1;
            vel += K;
            if ((pd >> 8) >= target) break;
        }
    }
    if (n > 0) n -= 1;
    pd -= (vel - K) >> 15;
    return {n, pd};
}

CornerSim SimulateCornerClosed(uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creepVelocity) {
    const uint32_t pd0 = (64u - static_cast<uint32_t>(creepVelocity)) << 8;
    const uint32_t v0 = static_cast<uint32_t>(creepVelocity) << kVelUnitShift;
    const CornerSim noStep{0, pd0 - ((v0 - K) >> kPdShift)};
    const uint64_t Y = uint64_t{target} << 8;  // pd >> 8 >= target  <=>  pd >= Y
    if (pd0 >= Y) return noStep;

    const Ramp r{pd0, v0, K};
    const uint64_t limit = uint64_t{H} + 1;
    const uint64_t s =
        Ld >= (kWrap >> kVelUnitShift) ? limit : FirstVelAtLeast(r, uint64_t{Ld} << kVelUnitShift, limit);
    if (s == 0) return noStep;

    // pd reaches Y at the first j <= s with dist_j in [base + Y, base + 2^32), base = 0, 2^32, 2^33:
    // dist is monotone, so look for the first j with dist_j >= base + Y, and if dist has jumped past
    // that window, go on from there with the next one.
    if (Y < kWrap) {
        Reach at{0, pd0, 0};
        for (uint64_t base = 0;; base += kWrap) {
            if (at.dist < base + Y) {
                at = FirstReach(r, at.j, at.dist, base + Y, s);
                if (at.j == 0) break;
            }
            if (at.dist < base + kWrap) return {static_cast<uint32_t>(at.j - 1), static_cast<uint32_t>(at.distPrev)};
        }
    }
    return {static_cast<uint32_t>(s - 1), static_cast<uint32_t>(r.Dist(s - 1))};
}

// The direct form. With creep c in 1..64, v0 = c 2^23 is a multiple of 2^15 and pd0 = (64 - c) 2^8 does
// not wrap, so as long as vel does not wrap
//   dist_j = pd0 + j (v0 >> 15) + (K j (j - 1) / 2 - R(j)) / 2^15,   R(j) = sum_{k<j} (k K mod 2^15)
// (the division is exact). The remainders k K mod 2^15 repeat with period P = 2^15 / gcd(K mod 2^15,
// 2^15), so R(j) = (j / P) R(P) + R(j mod P) from the table. With R(j) taken as its mean, j R(P) / P,
// dist_j is a quadratic in j whose root estimates the first j with dist_j >= Y to well within a step
// (R deviates from its mean by less than P / 8 units of 1/256, a step adds at least 256); that step
// and its neighbour are then checked exactly, and a step or two walked if needed.
void CornerRamp::Prepare(uint32_t K, int32_t creepVelocity) {
    if (ready_ && K == K_ && creepVelocity == creep_) return;
    ready_ = true;
    K_ = K;
    creep_ = creepVelocity;
    const uint32_t a = K & kPdRound;
    periodShift_ = a == 0 ? 0 : kPdShift - static_cast<uint32_t>(std::countr_zero(a));
    const uint32_t period = uint32_t{1} << periodShift_;
    direct_ = creepVelocity >= 1 && creepVelocity <= 64 && period <= kMaxPeriod;
    if (!direct_) return;
    // dist_j ~ A j^2 + B j + pd0 with the remainders at their mean.
    const double meanRem =
        static_cast<double>(a == 0 ? 0 : kPdRound + 1 - (uint32_t{1} << (kPdShift - periodShift_))) / 2;
    A_ = static_cast<double>(K) / 65536.0;
    B_ = static_cast<double>(creepVelocity << 8) - (static_cast<double>(K) / 2.0 + meanRem) / 32768.0;
    inv2A_ = K == 0 ? 0.0 : 1.0 / (2.0 * A_);
    invB_ = 1.0 / B_;
    uint32_t rem = 0, sum = 0;  // sum < 2^10 * 2^15
    remainders_[0] = 0;
    for (uint32_t r = 0; r < period; ++r) {
        sum += rem;
        remainders_[r + 1] = sum;
        rem = (rem + a) & kPdRound;
    }
}

uint64_t CornerRamp::Dist(uint64_t j) const {
    const uint64_t c = static_cast<uint64_t>(creep_);
    const uint64_t pd0 = (64 - c) << 8;
    const uint64_t mask = (uint64_t{1} << periodShift_) - 1;
    const uint64_t R = (j >> periodShift_) * remainders_[mask + 1] + remainders_[j & mask];
    return pd0 + j * (c << 8) + ((uint64_t{K_} * (j * (j - 1) / 2) - R) >> kPdShift);
}

CornerSim CornerRamp::Simulate(uint32_t Ld, uint32_t target, uint16_t H) const {
    if (!direct_) return SimulateCornerClosed(K_, Ld, target, H, creep_);
    const uint64_t c = static_cast<uint64_t>(creep_);
    const uint64_t K = K_;
    const uint64_t pd0 = (64 - c) << 8;
    const uint64_t v0 = c << kVelUnitShift;
    const uint64_t Y = uint64_t{target} << 8;
    const CornerSim noStep{0, static_cast<uint32_t>(pd0 - ((static_cast<uint32_t>(v0 - K)) >> kPdShift))};
    if (pd0 >= Y) return noStep;
    auto vel = [&](uint64_t i) { return v0 + i * K; };  // unwrapped; below 2^32 for every i < s

    // s: the first step not made (the step limit, or vel >> 23 reaching Ld).
    uint64_t s = uint64_t{H} + 1;
    if (Ld < (kWrap >> kVelUnitShift)) {
        const uint64_t T = uint64_t{Ld} << kVelUnitShift;
        if (v0 >= T) return noStep;
        if (vel(s - 1) >= T && K != 0) {  // reached within the step limit: find where
            const uint64_t first = (T - v0 + K - 1) / K;
            if (first < s) s = first;
        }
    }
    if (vel(s - 1) >= kWrap || (s <= H && vel(s) >= kWrap)) return SimulateCornerClosed(K_, Ld, target, H, creep_);

    if (Y >= kWrap) return {static_cast<uint32_t>(s - 1), static_cast<uint32_t>(Dist(s - 1))};
    // The first j in [1, s] with dist_j >= Y, estimated from the quadratic.
    const double C = static_cast<double>(Y - pd0);
    const double est = K == 0 ? C * invB_ : (std::sqrt(B_ * B_ + 4.0 * A_ * C) - B_) * inv2A_;
    // The first integer at or above the root (one more when the root is a whole number: the walk corrects it).
    uint64_t j = est < 1.0 ? 1 : est >= static_cast<double>(s) ? s : static_cast<uint64_t>(est) + 1;
    uint64_t d = Dist(j);
    if (d >= Y) {
        for (; j > 1; --j) {
            const uint64_t prev = d - (vel(j - 1) >> kPdShift);
            if (prev < Y) break;
            d = prev;
        }
    } else {
        while (j < s && d < Y) {
            d += vel(j) >> kPdShift;
            ++j;
        }
        // Not reached by step s: the stop is s, after s steps.
        if (d < Y) return {static_cast<uint32_t>(s - 1), static_cast<uint32_t>(d - (vel(s - 1) >> kPdShift))};
    }
    // pd stepped over the window [Y, 2^32) and wrapped: the general form follows it.
    if (d >= kWrap) return SimulateCornerClosed(K_, Ld, target, H, creep_);
    return {static_cast<uint32_t>(j - 1), static_cast<uint32_t>(d - (vel(j - 1) >> kPdShift))};
}

}  // namespace corvanta

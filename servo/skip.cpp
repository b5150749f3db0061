// Skip-ahead: the deterministic schedule applies a run of ticks that only
// repeat one step in closed form instead of one by one.
//
// Three kinds of run qualify:
//  - slew: ISRSLEW at constant velocity.  Each tick adds the major velocity
//    vel (9.23) to the 23-bit fraction majrfract and moves by the whole units
//    carried out of it, the minor axis likewise with minrvel and minrfract.
//    After k ticks from fraction f the carried units are floor((k vel + f) /
//    2^23) and the fraction is the low 23 bits of k vel + f, as long as no
//    sum vel + fraction wraps 32 bits.
//  - creep: ISRCREEP, the same moves at the creep velocity, until the end
//    point is near.
//  - delay: ISRDELAY counting EndDelayCount down to 0.
//  - acceleration and deceleration: ISRACC, or ISRSLEW with the slew step
//    handing each tick to the deceleration step.  The velocity after i ticks
//    is vel0 + i dvel (or vel0 - i dvel), so the carried units, the fractions
//    and D are sums of an arithmetic sequence; D exactly so when dvel is a
//    multiple of 2^7 (majrdvel always is: an acceleration << 9), else no run
//    is taken.  Every stop condition of the acceleration (target velocity,
//    the rate-doubling tick, the velocity that would pass 2^32, the D
//    comparison) holds from some tick on, so the run is the longest prefix
//    on which all hold, found by doubling and halving.  The deceleration's D
//    comparison need not be monotone: its ticks are checked one by one on
//    the few words it reads, in registers, and the rest applied at once.
//
// A run ends before the first tick that would do anything else: start the
// deceleration, hand over to the next block, reach the end point, clamp the
// minor step, wrap a sum, print or repair in SVO_GetMajrDistH, stall, or stop
// the job at the job-length guard.  That tick then runs as usual.  Where a
// bound is not worth computing exactly (velocities in the top 2^23 of the
// 32-bit range, a fraction not yet reduced to 23 bits, minrdisth at its
// maximum) no run is taken and every tick runs normally: skipping fewer ticks
// is always exact.
//
// The census books each tick under the ProfileState in force before its
// step: the first tick of a run under the state the previous tick left, the
// others under the run's state.
#include <algorithm>
#include <limits>

#include "base/fixpt.h"
#include "servo/servo_layer.h"

namespace corvanta {
namespace {

// Ticks applied by one skip at most: keeps every product of a tick count and
// a 32-bit velocity below 2^63.  A longer run continues at the next skip.
constexpr uint64_t SKIP_RUN_MAX = uint64_t{1} << 30;
// The largest 9.23 velocity to which a 23-bit fraction can be added without
// wrapping 32 bits.
constexpr uint32_t VEL_NO_WRAP_MAX = std::numeric_limits<uint32_t>::max() - FPF_Vel_FractMask;

// Whole servo units carried by k ticks at velocity vel (9.23) from the
// position fraction fract (23 bits).
constexpr uint64_t UnitsCarried(uint64_t k, uint32_t vel, uint32_t fract) {
    return (k * vel + fract) >> FPF_Vel_ShiftI;
}
// The position fraction (23 bits) after those k ticks.
constexpr uint32_t FractionAfter(uint64_t k, uint32_t vel, uint32_t fract) {
    return static_cast<uint32_t>((k * vel + fract) & FPF_Vel_FractMask);
}
// The most ticks k (up to SKIP_RUN_MAX) after each of which the carried units
// are at most `units`: k vel + fract < (units + 1) 2^23.  0 for negative units.
constexpr uint64_t TicksCarryingAtMost(uint32_t vel, uint32_t fract, int64_t units) {
    if (units < 0) return 0;
    if (vel == 0) return SKIP_RUN_MAX;
    const uint64_t below = (static_cast<uint64_t>(units) + 1) << FPF_Vel_ShiftI;  // < 2^57
    return std::min(SKIP_RUN_MAX, (below - 1 - fract) / vel);
}
// A velocity and fraction pair that the closed form covers: the sum never wraps.
constexpr bool NoCarryWrap(uint32_t vel, uint32_t fract) {
    return vel <= VEL_NO_WRAP_MAX && fract <= FPF_Vel_FractMask;
}

// The acceleration or deceleration of a block as arithmetic sequences: tick
// i (1, 2, ...) first changes the velocities by one step, then moves with
// them.  All sums are exact in 64 bits for the runs allowed (velocities stay
// within 32 bits, at most 2^16 ticks).
struct Ramp {
    bool up;                      // accelerating (else decelerating)
    uint64_t vel0, dvel;          // majrvel, majrdvel before the run (9.23)
    uint64_t minrvel0, minrdvel;  // minrvel, minrdvel (9.23)
    uint64_t fract0, minrfract0;  // the position fractions (23 bits)

    // Sum of i terms x0 + k dx (k = 1..i, or -dx when decelerating).
    uint64_t Sum(uint64_t i, uint64_t x0, uint64_t dx) const {
        const uint64_t tri = dx * (i * (i + 1) / 2);
        return up ? i * x0 + tri : i * x0 - tri;
    }
    uint64_t Vel(uint64_t i) const { return up ? vel0 + i * dvel : vel0 - i * dvel; }
    uint64_t MinorVel(uint64_t i) const { return up ? minrvel0 + i * minrdvel : minrvel0 - i * minrdvel; }
    // Whole units moved in ticks 1..i, major and minor.
    uint64_t Major(uint64_t i) const { return (fract0 + Sum(i, vel0, dvel)) >> FPF_Vel_ShiftI; }
    uint64_t Minor(uint64_t i) const { return (minrfract0 + Sum(i, minrvel0, minrdvel)) >> FPF_Vel_ShiftI; }
    // D's change in ticks 1..i (48.16): the acceleration adds each tick's old
    // velocity >> 7, the deceleration takes each new one off.  With dvel a
    // multiple of 2^7 every velocity >> 7 is (vel0 >> 7) +- k (dvel >> 7).
    uint64_t DChange(uint64_t i) const {
        const uint64_t d = dvel >> VEL_TO_DDR_SHIFT, v = vel0 >> VEL_TO_DDR_SHIFT;
        return up ? i * v + d * (i * (i - 1) / 2) : i * v - d * (i * (i + 1) / 2);
    }
};

Ramp RampOf(const VectData& v, bool up) {
    return {up,
            static_cast<uint32_t>(v.majrvel.load()),
            static_cast<uint32_t>(v.majrdvel.load()),
            static_cast<uint32_t>(v.minrvel.load()),
            static_cast<uint32_t>(v.minrdvel.load()),
            v.majrfract,
            v.minrfract};
}

// D's closed form is exact and the fractions are reduced.
bool RampExact(const Ramp& r) {
    return r.dvel % (1u << VEL_TO_DDR_SHIFT) == 0 && r.fract0 <= FPF_Vel_FractMask && r.minrfract0 <= FPF_Vel_FractMask;
}

constexpr uint64_t D_NO_WRAP = uint64_t{1} << 48;  // D below this: its whole units fit 32 bits unwrapped

// The largest n in [0, cap] with holds(n), for a condition that holds up to
// some n and not after (holds(0) is taken as true): from a guess, steps of
// doubling length up or down until the answer is bracketed, then halving.
template <class F>
uint64_t LongestPrefix(uint64_t cap, uint64_t guess, F holds) {
    if (cap == 0) return 0;
    guess = std::clamp<uint64_t>(guess, 1, cap);
    uint64_t lo = 0, hi = cap + 1;  // holds(lo) (or lo 0); not holds(hi) (or hi cap + 1)
    if (holds(guess)) {
        lo = guess;
        for (uint64_t step = 1; lo + step <= cap; step *= 2) {
            if (!holds(lo + step)) {
                hi = lo + step;
                break;
            }
            lo += step;
        }
    } else {
        hi = guess;
        for (uint64_t step = 1; hi > step; step *= 2) {
            if (holds(hi - step)) {
                lo = hi - step;
                break;
            }
            hi -= step;
        }
    }
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (holds(mid))
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

uint64_t ServoLayer::SkipAhead() {
    if (TickTraceFile != nullptr || VdbSendBusy.load() != 0 || SvoFault.load() != SVO_FAULT_NONE) return 0;
    VdbData* b = SVO_VectPtr.load();
    if (b == nullptr) return 0;
    uint64_t n = 0;
    if (IsrState == ISRSLEW && SlewDecelerates(b->vect)) {
        n = DccRunLength(*b, GuardRunLength());
        if (n != 0) ApplyRampRun(*b, n, false);
    } else if (IsrState == ISRSLEW) {
        n = std::min(SlewRunLength(*b), GuardRunLength());
        if (n != 0) ApplyMoveRun(*b, n, static_cast<uint32_t>(b->vect.majrvel.load()), PS_SLEW);
    } else if (IsrState == ISRCREEP) {
        n = std::min(CreepRunLength(*b), GuardRunLength());
        if (n != 0) ApplyMoveRun(*b, n, CreepVelocity(b->vect), PS_CREEP);
    } else if (IsrState == ISRACC) {
        n = std::min(AccRunLength(*b), GuardRunLength());
        if (n != 0) ApplyRampRun(*b, n, true);
    } else if (IsrState == ISRDELAY) {
        n = std::min(DelayRunLength(), GuardRunLength());
        if (n != 0) {
            EndDelayCount -= static_cast<int32_t>(n);  // n <= EndDelayCount
            BookRun(*b, n, PS_DELAY);
        }
    }
    return n;
}

// Ticks before the job-length guard: the guard stops the job at the tick
// whose distance from JobStartTick reaches JobTickLimit while counting.
uint64_t ServoLayer::GuardRunLength() const {
    if (JobTimePhase.load() != 2) return SKIP_RUN_MAX;
    const uint32_t done = ticks_between(static_cast<uint32_t>(JobStartTick), IsrTick.load());
    return done < JobTickLimit ? std::min<uint64_t>(SKIP_RUN_MAX, JobTickLimit - 1u - done) : 0;
}

// Ticks that only count the end delay down (EndDelayCount != 0 at each).
uint64_t ServoLayer::DelayRunLength() const {
    return EndDelayCount > 0 ? std::min<uint64_t>(SKIP_RUN_MAX, static_cast<uint64_t>(EndDelayCount)) : 0;
}

// Ticks of constant-velocity slew from here on: tick k (1..n) starts with
// majrdisth M0 - F(k-1) and moves F(k) - F(k-1) major units, F(k) the units
// carried after k ticks; the minor axis likewise with G(k).
uint64_t ServoLayer::SlewRunLength(const VdbData& b) const {
    const VectData& v = b.vect;
    const uint32_t vel = static_cast<uint32_t>(v.majrvel.load());      // 9.23
    const uint32_t majrfract = v.majrfract, minrfract = v.minrfract;   // 23 bits
    const uint32_t minrvel = static_cast<uint32_t>(v.minrvel.load());  // 9.23
    // A stall, a wrapping sum, or an unreduced fraction: tick by tick.
    if (vel == 0 || !NoCarryWrap(vel, majrfract) || !NoCarryWrap(minrvel, minrfract)) return 0;
    const uint8_t notes = v.notesPrinted;
    if (m_npbdrvCnt.load() > STARVED_WAIT_LIMIT && !(notes & NOTE_STARVED)) return 0;

    // disth of tick k is disth1 - F(k-1), with disth1 = majrdisth + psuedodist -
    // whole units of vel (servo units, here without the 32-bit wrap).  Every
    // tick needs disth within [max(0, dccDist), the diagnostic limit], else it
    // decelerates, repairs or prints.  disth falls, so the first tick bounds
    // it from above and the last from below.
    const int32_t majr0 = v.majrdisth;
    const int64_t disth1 = int64_t{majr0} + v.psuedodist.load() - (vel >> FPF_Vel_ShiftI);
    const int64_t disthMax = (notes & NOTE_DISTH_LARGE) ? std::numeric_limits<int32_t>::max() : DISTH_DIAG_LIMIT;
    const int32_t dccDist = static_cast<int32_t>(whole_48_16(join_48_16(v.high_ddr, v.ddr)));
    const int64_t disthMin = std::max(0, dccDist);
    if (disth1 > disthMax || disth1 < disthMin) return 0;
    // Ticks 1..n start with F(k-1) <= disth1 - disthMin: tick 1 always, then as many as carry that much.
    uint64_t n = 1 + TicksCarryingAtMost(vel, majrfract, disth1 - disthMin);
    // majrdisth stays a 32-bit value: F(n) <= majr0 - INT32_MIN.
    n = std::min(n, TicksCarryingAtMost(vel, majrfract, int64_t{majr0} - std::numeric_limits<int32_t>::min()));
    // With a corner velocity the tick that leaves majrdisth <= 0 hands over: F(n) <= majr0 - 1.
    if (v.cnrvel != 0) n = std::min(n, TicksCarryingAtMost(vel, majrfract, int64_t{majr0} - 1));
    // The minor step of tick k is clamped when it exceeds minrdisth + 1, that
    // is when G(k) > minr0 + 1 (minr0 + 1 wraps at the maximum: clamped at once).
    const int32_t minr0 = v.minrdisth;
    if (minr0 == std::numeric_limits<int32_t>::max()) return 0;
    n = std::min(n, TicksCarryingAtMost(minrvel, minrfract, int64_t{minr0} + 1));
    return std::min(n, SKIP_RUN_MAX);
}

// Ticks of creep from here on: tick k (1..n) starts with majrdisth majr0 -
// F(k-1) not below the creep-end threshold IsrCreepVel, and moves like a
// slew tick at the creep velocity; its minor step is clamped to minrdisth +
// 1 compared unsigned.
uint64_t ServoLayer::CreepRunLength(const VdbData& b) const {
    const VectData& v = b.vect;
    const uint32_t vel = CreepVelocity(v);                             // 9.23
    const uint32_t majrfract = v.majrfract, minrfract = v.minrfract;   // 23 bits
    const uint32_t minrvel = static_cast<uint32_t>(v.minrvel.load());  // 9.23
    if (vel == 0 || !NoCarryWrap(vel, majrfract) || !NoCarryWrap(minrvel, minrfract)) return 0;
    const int32_t majr0 = v.majrdisth;
    const int64_t creepEnd = IsrCreepVel.load();  // whole servo units
    if (majr0 < creepEnd) return 0;
    // Ticks 1..n start with F(k-1) <= majr0 - creepEnd; majrdisth stays a 32-bit value.
    uint64_t n = 1 + TicksCarryingAtMost(vel, majrfract, int64_t{majr0} - creepEnd);
    n = std::min(n, TicksCarryingAtMost(vel, majrfract, int64_t{majr0} - std::numeric_limits<int32_t>::min()));
    // Unsigned, a limit minrdisth + 1 below 0 is at least 2^31 and clamps no
    // step while minrdisth keeps falling (down to its minimum); from -1 up
    // it clamps when G(k) > minr0 + 1, as in the slew.
    const int32_t minr0 = v.minrdisth;
    const int64_t minorRoom = minr0 >= -1 ? int64_t{minr0} + 1 : int64_t{minr0} - std::numeric_limits<int32_t>::min();
    n = std::min(n, TicksCarryingAtMost(minrvel, minrfract, minorRoom));
    return std::min(n, SKIP_RUN_MAX);
}

// Ticks of plain acceleration from here on (ISRACC): each reaches no target
// velocity, doubles no rate, keeps its velocity from passing 2^32 and the
// fraction sums from wrapping, finds the distance left at least D, clamps no
// minor step and hands over to no next block.
uint64_t ServoLayer::AccRunLength(const VdbData& b) const {
    const VectData& v = b.vect;
    const Ramp r = RampOf(v, true);
    const uint16_t currvel = v.currvel, acclcount = v.acclcount;
    if (!RampExact(r) || currvel >= acclcount) return 0;
    uint64_t cap = std::min<uint64_t>(acclcount - currvel, SKIP_RUN_MAX);
    const uint32_t pd = v.psuedodist;
    const uint16_t cnrvel = v.cnrvel;
    if (pd == 0 && cnrvel == 0 && r.dvel < RATE_DOUBLING_LIMIT) {
        const int32_t stage = v.acc_index;
        if (stage == ACC_INDEX_LAST) return 0;
        if (stage < ACC_INDEX_LAST)
            cap = std::min<uint64_t>(cap, static_cast<uint64_t>(ACC_INDEX_LAST - int64_t{stage}));
    }
    if (r.vel0 > VEL_NO_WRAP_MAX || r.minrvel0 > VEL_NO_WRAP_MAX) return 0;
    if (r.dvel != 0) cap = std::min(cap, (VEL_NO_WRAP_MAX - r.vel0) / r.dvel);
    if (r.minrdvel != 0) cap = std::min(cap, (VEL_NO_WRAP_MAX - r.minrvel0) / r.minrdvel);
    const int64_t majr0 = v.majrdisth, minr0 = v.minrdisth;
    const uint64_t d0 = join_48_16(v.high_ddr, v.ddr);
    if (minr0 == std::numeric_limits<int32_t>::max() || d0 >= D_NO_WRAP) return 0;
    // The distance left that tick i compares with D (unsigned 32-bit): it
    // falls from tick to tick, so it must start below 2^32 and end at 0 or more.
    const int64_t left0 = majr0 + pd;
    if (left0 - static_cast<int64_t>(r.Vel(1) >> FPF_Vel_ShiftI) > int64_t{UINT32_MAX}) return 0;
    const int64_t majrRoom = cnrvel != 0 ? majr0 - 1 : majr0 - std::numeric_limits<int32_t>::min();
    // Usually the D comparison ends the run: the distance left falls and D grows by about the velocity
    // per tick, so the gap between them closes at about twice the velocity.
    const int64_t gap =
        left0 - static_cast<int64_t>((r.Vel(1) >> FPF_Vel_ShiftI) + ((d0 + r.DChange(1)) >> DDR_FRACT_BITS));
    const uint64_t guess = gap <= 0 ? 1 : static_cast<uint64_t>(gap) / (2 * (r.vel0 >> FPF_Vel_ShiftI) + 1) + 1;
    return LongestPrefix(cap, guess, [&](uint64_t n) {
        const uint64_t dn = d0 + r.DChange(n);
        const int64_t left = left0 - static_cast<int64_t>(r.Major(n - 1) + (r.Vel(n) >> FPF_Vel_ShiftI));
        return static_cast<int64_t>(r.Major(n)) <= majrRoom && static_cast<int64_t>(r.Minor(n)) <= minr0 + 1 &&
               dn < D_NO_WRAP && left >= static_cast<int64_t>(dn >> DDR_FRACT_BITS);
    });
}

// Whether the slew step of the next tick hands over to the deceleration
// step: the remaining distance below D, as the slew step compares them.
bool ServoLayer::SlewDecelerates(const VectData& v) const {
    const uint32_t vel = static_cast<uint32_t>(v.majrvel.load());
    const int32_t disth =
        static_cast<int32_t>(static_cast<uint32_t>(v.majrdisth.load()) + v.psuedodist - (vel >> FPF_Vel_ShiftI));
    return disth < static_cast<int32_t>(whole_48_16(join_48_16(v.high_ddr, v.ddr)));
}

// Ticks of plain deceleration from here on (ISRSLEW, the slew step handing
// each to the deceleration step): each keeps its remaining distance in
// [0, the diagnostic limit] and below D, has a velocity step to remove and
// leaves one more (the last one stores ISRCREEP), keeps the sums from
// wrapping, clamps no minor step and hands over to no next block.
uint64_t ServoLayer::DccRunLength(const VdbData& b, uint64_t guard) const {
    const VectData& v = b.vect;
    const Ramp r = RampOf(v, false);
    const uint16_t currvel = v.currvel;
    const uint8_t notes = v.notesPrinted;
    if (!RampExact(r) || currvel < 2 || r.vel0 < r.dvel || r.minrvel0 < r.minrdvel) return 0;
    if (m_npbdrvCnt.load() > STARVED_WAIT_LIMIT && !(notes & NOTE_STARVED)) return 0;
    if (r.vel0 - r.dvel > VEL_NO_WRAP_MAX || r.minrvel0 - r.minrdvel > VEL_NO_WRAP_MAX) return 0;
    uint64_t cap = std::min<uint64_t>(currvel - 1u, guard);
    if (r.dvel != 0) cap = std::min(cap, r.vel0 / r.dvel);
    if (r.minrdvel != 0) cap = std::min(cap, r.minrvel0 / r.minrdvel);
    const int64_t majr0 = v.majrdisth, minr0 = v.minrdisth;
    const uint64_t d0 = join_48_16(v.high_ddr, v.ddr);
    if (d0 >> DDR_FRACT_BITS > uint64_t{std::numeric_limits<int32_t>::max()}) return 0;
    const int64_t left0 = majr0 + v.psuedodist.load();
    const int64_t disthMax = (notes & NOTE_DISTH_LARGE) ? std::numeric_limits<int32_t>::max() : DISTH_DIAG_LIMIT;
    const int64_t majrRoom = v.cnrvel != 0 ? majr0 - 1 : majr0 - std::numeric_limits<int32_t>::min();
    // Unsigned, a minor limit below 0 clamps nothing while minrdisth keeps falling (as in the creep).
    const int64_t minorRoom = minr0 >= -1 ? minr0 + 1 : minr0 - std::numeric_limits<int32_t>::min();
    // Bounds that grow with the run: disth of every tick within [0, disthMax].
    // Usually the end point (hand-over, or disth falling below 0) ends the run: guess the ticks to it
    // at a little more than the velocity.
    const uint64_t guess = majr0 <= 0 ? 1 : static_cast<uint64_t>(majr0) / ((r.vel0 >> FPF_Vel_ShiftI) + 1);
    cap = LongestPrefix(cap, guess, [&](uint64_t n) {
        const int64_t lowest = left0 - static_cast<int64_t>(r.Major(n - 1) + (r.vel0 >> FPF_Vel_ShiftI));
        const int64_t highest = left0 - static_cast<int64_t>(r.Vel(n - 1) >> FPF_Vel_ShiftI);
        return static_cast<int64_t>(r.Major(n)) <= majrRoom && static_cast<int64_t>(r.Minor(n)) <= minorRoom &&
               r.DChange(n) <= d0 && lowest >= 0 && highest <= disthMax;
    });
    // disth < dccDist, tick by tick on the words it reads.
    uint64_t vel = r.vel0, d = d0, sum = r.fract0;
    uint64_t n = 0;
    while (n < cap) {
        const int64_t disth = left0 - static_cast<int64_t>((sum >> FPF_Vel_ShiftI) + (vel >> FPF_Vel_ShiftI));
        if (disth >= static_cast<int64_t>(d >> DDR_FRACT_BITS)) break;
        vel -= r.dvel;
        d -= vel >> VEL_TO_DDR_SHIFT;
        sum += vel;
        ++n;
    }
    return n;
}

// n acceleration (up) or deceleration ticks at once.
void ServoLayer::ApplyRampRun(VdbData& b, uint64_t n, bool up) {
    VectData& v = b.vect;
    const Ramp r = RampOf(v, up);
    const uint64_t major = r.Major(n), minor = r.Minor(n);
    const uint64_t d0 = join_48_16(v.high_ddr, v.ddr);
    const uint64_t d = up ? d0 + r.DChange(n) : d0 - r.DChange(n);
    if (up) {
        if (v.psuedodist == 0 && v.cnrvel == 0 && r.dvel < RATE_DOUBLING_LIMIT && v.acc_index < ACC_INDEX_LAST)
            v.acc_index = static_cast<int32_t>(v.acc_index + static_cast<int32_t>(n));  // n <= 20 - acc_index
        v.currvel = static_cast<uint16_t>(v.currvel + n);
    } else {
        // The deceleration starts from the block's highest velocity.
        BlockPeakVel = std::max(BlockPeakVel, static_cast<uint32_t>(r.vel0));
        v.currvel = static_cast<uint16_t>(v.currvel - n);
    }
    v.majrvel = static_cast<int32_t>(static_cast<uint32_t>(r.Vel(n)));
    v.minrvel = static_cast<int32_t>(static_cast<uint32_t>(r.MinorVel(n)));
    v.high_ddr = high_48_16(d);
    v.ddr = low_48_16(d);
    v.majrfract = static_cast<uint32_t>((r.fract0 + r.Sum(n, r.vel0, r.dvel)) & FPF_Vel_FractMask);
    v.minrfract = static_cast<uint32_t>((r.minrfract0 + r.Sum(n, r.minrvel0, r.minrdvel)) & FPF_Vel_FractMask);
    v.majrdisth = sub_wrap(v.majrdisth, low_i32(major));
    v.minrdisth = sub_wrap(v.minrdisth, low_i32(minor));
    OctStep(b.octant & 7, low_i32(major), low_i32(minor));
    BookRun(b, n, up ? PS_ACC : PS_DCC);
}

// n moving ticks at major velocity vel whose steps leave ProfileState at `state`.
void ServoLayer::ApplyMoveRun(VdbData& b, uint64_t n, uint32_t vel, uint8_t state) {
    VectData& v = b.vect;
    const uint32_t minrvel = static_cast<uint32_t>(v.minrvel.load());
    const uint32_t majrfract = v.majrfract, minrfract = v.minrfract;
    const uint64_t major = UnitsCarried(n, vel, majrfract);
    const uint64_t minor = UnitsCarried(n, minrvel, minrfract);
    v.majrfract = FractionAfter(n, vel, majrfract);
    v.minrfract = FractionAfter(n, minrvel, minrfract);
    v.majrdisth = sub_wrap(v.majrdisth, low_i32(major));
    v.minrdisth = sub_wrap(v.minrdisth, low_i32(minor));
    // The position moves by the sums of the ticks' movements (32-bit wrap).
    OctStep(b.octant & 7, low_i32(major), low_i32(minor));
    BookRun(b, n, state);
}

// Counts n ticks on block b whose steps leave ProfileState at `state`: the
// tick counter, the census and, while explaining, the booking of job time
// (which takes a run of ticks of one activity, pen and record at once).
void ServoLayer::BookRun(const VdbData& b, uint64_t n, uint8_t state) {
    const uint32_t firstTick = IsrTick.load() + 1u;
    IsrTick = IsrTick.load() + static_cast<uint32_t>(n);
    const int32_t phase = JobTimePhase.load();
    if (phase != 0) {
        if (ProfileState < PROFILE_STATE_COUNT)
            PlanCnt[ProfileState] = static_cast<int32_t>(static_cast<uint32_t>(PlanCnt[ProfileState]) + 1u);
        PlanCnt[state] = static_cast<int32_t>(static_cast<uint32_t>(PlanCnt[state]) + static_cast<uint32_t>(n - 1));
    }
    if (Explaining && phase == 2) BookTicks(&b, firstTick, static_cast<uint32_t>(n));
    ProfileState = state;
    TicksSkipped += n;
}

}  // namespace corvanta

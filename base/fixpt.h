// Fixed-point and wrap-around helpers shared by the planner and the servo code.
//
// Conventions: 32-bit arithmetic wraps modulo 2^32 and is done through
// uint32_t so that no step relies on signed overflow.  Signed right shifts are
// arithmetic, unsigned ones logical.  Divisions truncate toward zero.
#pragma once
#include <cstdint>

namespace corvanta {

// 32-bit wrapping arithmetic on signed values.
constexpr int32_t add_wrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t sub_wrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t mul_wrap(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
constexpr int32_t shl_wrap(int32_t a, int n) { return static_cast<int32_t>(static_cast<uint32_t>(a) << n); }
// The low 32 bits of a wider count as a signed value (wrap-around).
constexpr int32_t low_i32(uint64_t x) { return static_cast<int32_t>(static_cast<uint32_t>(x)); }
// |a| with wrap-around: the most negative value stays itself, as on the machine.
constexpr int32_t abs_wrap(int32_t a) { return a < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(a)) : a; }
// Magnitude of a as an unsigned number (exact also for the most negative value).
constexpr uint32_t mag_u32(int32_t a) { return a < 0 ? 0u - static_cast<uint32_t>(a) : static_cast<uint32_t>(a); }

// Signed division truncating toward zero.  A zero divisor yields 0 and the
// one overflowing quotient (INT32_MIN / -1) wraps; callers guard the inputs,
// this only keeps an unforeseen value from trapping.
constexpr int32_t trunc_div(int32_t a, int32_t b) {
    if (b == 0) return 0;
    if (b == -1) return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
    return a / b;
}
// Signed remainder with the sign of the dividend (C semantics), guarded like trunc_div.
constexpr int32_t trunc_mod(int32_t a, int32_t b) {
    if (b == 0 || b == -1) return 0;
    return a % b;
}
// Unsigned division; a zero divisor yields 0 (see trunc_div).
constexpr uint32_t udiv(uint32_t a, uint32_t b) { return b == 0 ? 0u : a / b; }

// Floor modulo into 0 .. n-1 (n > 0).
constexpr int32_t floor_mod(int32_t a, int32_t n) {
    int32_t r = trunc_mod(a, n);
    return r < 0 ? r + n : r;
}

// Ticks from `from` to `to` on the wrapping 32-bit tick counter.
constexpr uint32_t ticks_between(uint32_t from, uint32_t to) { return to - from; }

// Round half away from zero, then truncate toward zero.
inline int32_t round_away(double x) { return static_cast<int32_t>(x > 0 ? x + 0.5 : x - 0.5); }

// --- 48.16 deceleration distance D, kept as the pair high_ddr:ddr -----------
// D is an unsigned 64-bit number of servo units x 2^16: high_ddr holds bits
// 32..63, ddr bits 0..31.  Carry and borrow between the halves are the
// ordinary carry of the 64-bit sum.
constexpr uint64_t join_48_16(uint32_t high, uint32_t low) { return (static_cast<uint64_t>(high) << 32) | low; }
constexpr uint32_t high_48_16(uint64_t d) { return static_cast<uint32_t>(d >> 32); }
constexpr uint32_t low_48_16(uint64_t d) { return static_cast<uint32_t>(d); }
constexpr uint64_t add_48_16(uint64_t d, uint32_t x) { return d + x; }
constexpr uint64_t sub_48_16(uint64_t d, uint32_t x) { return d - x; }
// Whole servo units of D as the 32-bit value (high << 16) + (low >> 16).
constexpr uint32_t whole_48_16(uint64_t d) { return static_cast<uint32_t>(d >> 16); }

// --- formats of the motion code -----------------------------------------------
// Velocities are 9.23 servo units per tick; accelerations Q14 servo units per
// tick^2; the deceleration distance D 48.16 servo units; slopes 0.16; creep
// velocities 2^-4 servo units per tick; the corner pass counts distance in
// 1/256 servo units.
constexpr int FPF_Vel_ShiftI = 23;                                  // 9.23 velocity -> whole servo units
constexpr uint32_t FPF_Vel_FractMask = (1u << FPF_Vel_ShiftI) - 1;  // 23-bit position fraction
constexpr int DDR_FRACT_BITS = 16;                                  // fraction bits of D
constexpr int VEL_TO_DDR_SHIFT = FPF_Vel_ShiftI - DDR_FRACT_BITS;   // 9.23 velocity -> 48.16 distance per tick (7)
constexpr int ACCEL_TO_VEL_SHIFT = FPF_Vel_ShiftI - 14;             // Q14 acceleration -> 9.23 velocity step (9)
constexpr int SLOPE_BITS = 16;                                      // fraction bits of a slope
constexpr int SLOPE_ACCEL_TO_VEL_SHIFT = SLOPE_BITS + 14 - FPF_Vel_ShiftI;  // 0.16 x Q14 -> 9.23 (7)
constexpr int SLOPE_UNITS_TO_VEL_SHIFT = FPF_Vel_ShiftI - SLOPE_BITS;       // 0.16 x units -> 9.23 (7)
constexpr int CREEP_FRACT_BITS = 4;                                         // creep velocity 2^-4 servo units per tick
constexpr int CREEP_TO_VEL_SHIFT = FPF_Vel_ShiftI - CREEP_FRACT_BITS;       // creep -> 9.23 (19)
constexpr int PD_FRACT_BITS = 8;                                            // corner-pass distance in 1/256 servo units
constexpr int VEL_TO_PD_SHIFT = FPF_Vel_ShiftI - PD_FRACT_BITS;             // 9.23 -> 1/256 units per tick (15)
// D starts DDR_START_UNITS - CREEP_VELOCITY whole units above zero; the rate
// doubling re-biases D around the vector-mode start value (creep velocity 1).
constexpr uint32_t DDR_START_UNITS = 64;
constexpr uint32_t DDR_BIAS = (DDR_START_UNITS - 1) << DDR_FRACT_BITS;  // 0x3F0000

}  // namespace corvanta

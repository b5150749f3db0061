// The corner pass's acceleration simulation: the closed form against the step-by-step loop, on
// worked boundary cases, on sweeps across each stop condition and on random inputs of every kind
// (realistic ramps, velocities and distances that wrap, zero limits).
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "planner/corner_sim.h"

using namespace corvanta;

namespace {

constexpr uint64_t kWrap = uint64_t{1} << 32;

struct Input {
    uint32_t K, Ld, target;
    uint16_t H;
    int32_t creep;
};

CornerSim Direct(const Input& in) {
    CornerRamp ramp;
    ramp.Prepare(in.K, in.creep);
    return ramp.Simulate(in.Ld, in.target, in.H);
}

// The loop's result, and a failure naming the input when the closed or the direct form differs from it.
CornerSim CheckAgainstLoop(const Input& in, int& failures) {
    const CornerSim loop = SimulateCornerLoop(in.K, in.Ld, in.target, in.H, in.creep);
    const CornerSim closed = SimulateCornerClosed(in.K, in.Ld, in.target, in.H, in.creep);
    const CornerSim direct = Direct(in);
    if ((loop.n != closed.n || loop.pd != closed.pd || loop.n != direct.n || loop.pd != direct.pd) && ++failures <= 10)
        ADD_FAILURE() << "K " << in.K << " Ld " << in.Ld << " target " << in.target << " H " << in.H << " creep "
                      << in.creep << ": loop {" << loop.n << ", " << loop.pd << "}, closed {" << closed.n << ", "
                      << closed.pd << "}, direct {" << direct.n << ", " << direct.pd << "}";
    return loop;
}

// Worked cases at and around each stop condition; {n, pd} by direct stepping. With creep 1 and K 0,
// pd starts at 63 x 256 = 16128 and grows by 256 per step (vel 1 unit per tick), so pd >> 8 is 63
// plus the steps made.
struct Worked {
    const char* what;
    Input in;
    uint32_t n, pd;
};
const Worked kWorked[] = {
    {"K 0: target 100 reached by step 37", {0, 1000, 100, 1000, 1}, 36, 25344},
    {"target 64: reached by the first step", {0, 1000, 64, 1000, 1}, 0, 16128},
    {"target 63: reached before any step", {0, 1000, 63, 1000, 1}, 0, 15872},
    {"target 0", {0, 1000, 0, 1000, 1}, 0, 15872},
    {"H 10, target 73: reached at step 10, one before the step limit", {0, 1000, 73, 10, 1}, 9, 18432},
    {"H 10, target 74: reached at step 11, with the step limit", {0, 1000, 74, 10, 1}, 10, 18688},
    {"H 10, target 75: the step limit stops at 11", {0, 1000, 75, 10, 1}, 10, 18688},
    {"H 0: one step only", {0, 1000, 1000, 0, 1}, 0, 16128},
    {"Ld 0: velocity limit before any step", {0, 0, 1000, 100, 1}, 0, 15872},
    {"Ld 1: vel >> 23 is 1 from the start", {0, 1, 1000, 100, 1}, 0, 15872},
    {"Ld 2, K 1/8 unit: vel >> 23 reaches 2 at step 8", {0x100000, 2, 1000, 100, 1}, 7, 18592},
    {"Ld 2, K 1/8 unit less 2^-23: reaches 2 at step 9", {0xFFFFF, 2, 1000, 100, 1}, 8, 19065},
    {"Ld 3, K 1/8 unit: reaches 3 at step 16", {0x100000, 3, 1000, 100, 1}, 15, 23328},
    {"Ld 2, K 1 unit: reaches 2 at step 1", {0x800000, 2, 1000, 100, 1}, 0, 16128},
    {"K 2^31: vel wraps every other step; step limit", {0x80000000u, 300, 1000000, 3, 1}, 3, 82432},
    {"K 0x90000000: vel steps over [Ld << 23, 2^32) at its first wrap, lands in it at step 7",
     {0x90000000u, 480, 1000000, 100, 1},
     6,
     337152},
    {"same, Ld 481: vel_7 just reaches it", {0x90000000u, 481, 1000000, 100, 1}, 6, 337152},
    {"same, Ld 482: vel_7 falls short", {0x90000000u, 482, 1000000, 100, 1}, 100, 6120192},
    {"no step, vel - K wraps in the final correction", {0x800001, 1000, 0, 5, 1}, 0, 4294852353u},
    {"K 0, H 65535: 65536 steps", {0, 1000, 1u << 24, 65535, 1}, 65535, 16793088},
    {"creep 4, target 2^32 - 1", {0, 1000, 0xFFFFFFFFu, 65535, 4}, 65535, 67123200},
    {"K 2^32 - 1: vel falls by 2^-23 per step", {0xFFFFFFFFu, 1000, 0xFFFFFFFFu, 65535, 1}, 65535, 16694788},
    {"pd 447 units below its wrap at 511 units per tick: target window stepped over twice",
     {0, 600, (1u << 24) - 1, 65535, 511},
     65535,
     4277944832u},
    {"window stepped over at the first step, reached after pd wraps",
     {0xFFFFFFF8u, 600, 16776770, 65535, 511},
     32833,
     4294819264u},
    {"same, one unit further", {0xFFFFFFF8u, 600, 16776771, 65535, 511}, 32833, 4294819264u},
    {"chain of short vectors, accel 3705: 400 units", {1896960, 400, 400, 65535, 1}, 50, 99819},
    {"chain of short vectors: 400 units plus 389", {1896960, 400, 789, 65535, 1}, 76, 200535},
    {"accel 360: target reached at step 235", {184320, 400, 900, 4000, 1}, 234, 229273},
    {"accel 360, H 234: step limit at the same step", {184320, 400, 900, 234, 1}, 234, 229273},
    {"accel 360, H 233: step limit one step before", {184320, 400, 900, 233, 1}, 233, 227707},
};

TEST(CornerSim, WorkedBoundaryCases) {
    for (const Worked& w : kWorked) {
        SCOPED_TRACE(w.what);
        const Input& in = w.in;
        const CornerSim loop = SimulateCornerLoop(in.K, in.Ld, in.target, in.H, in.creep);
        const CornerSim closed = SimulateCornerClosed(in.K, in.Ld, in.target, in.H, in.creep);
        const CornerSim direct = Direct(in);
        EXPECT_EQ(loop.n, w.n);
        EXPECT_EQ(loop.pd, w.pd);
        EXPECT_EQ(closed.n, w.n);
        EXPECT_EQ(closed.pd, w.pd);
        EXPECT_EQ(direct.n, w.n);
        EXPECT_EQ(direct.pd, w.pd);
    }
}

// Every value of one limit over a range, the others out of the way: each step of the range crosses
// a stop boundary somewhere.
TEST(CornerSim, SweepsAcrossEachStopCondition) {
    int failures = 0;
    auto check = [&](const Input& in) { CheckAgainstLoop(in, failures); };
    for (uint32_t K : {184320u, 1896960u, 1u << 20, 0x9E3779B9u})
        for (int32_t creep : {1, 4})
            for (uint32_t target = 0; target <= 6000; ++target) check({K, 100000, target, 65535, creep});
    for (uint32_t K : {0u, 184320u, 0x9E3779B9u})
        for (uint32_t H = 0; H <= 1500; ++H) check({K, 100000, 1u << 24, static_cast<uint16_t>(H), 1});
    for (uint32_t K : {184320u, 1u << 20, 0x90000000u, 0xF0000001u, 0xFFFFF000u})
        for (uint32_t Ld = 0; Ld <= 520; ++Ld) check({K, Ld, 1u << 24, 65535, 1});
    EXPECT_EQ(failures, 0);
}

// The direct form's own regime: creep 1..64 and remainder periods of 1 to 1024 steps (K mod 2^15 with
// 15 to 5 trailing zero bits), across targets, step limits and velocity limits.
TEST(CornerSim, DirectFormAcrossPeriodsAndCreeps) {
    int failures = 0;
    for (uint32_t low : {0u, 1u << 14, 5u << 12, 57u << 9, 3u << 6, 1023u << 5})
        for (uint32_t K : {low, (5u << 15) + low, (300u << 15) + low})
            for (int32_t creep : {1, 2, 17, 64})
                for (uint32_t Ld : {10u, 100u, 511u, 600u})
                    for (uint16_t H : {uint16_t{0}, uint16_t{50}, uint16_t{3000}})
                        for (uint32_t target = 0; target <= 4000; target += 37)
                            CheckAgainstLoop({K, Ld, target, H, creep}, failures);
    EXPECT_EQ(failures, 0);
}

// Random inputs from several distributions. Each one also counts how often it reached the regime it
// is meant for, so that a distribution that stops exercising it is noticed.
struct Tally {
    int cases = 0, stepped = 0, velWrapped = 0, pdWrapped = 0, stepLimit = 0;
};

Tally RunDistribution(uint64_t seed, int cases, Input (*draw)(std::mt19937_64&)) {
    std::mt19937_64 rng(seed);
    Tally t;
    int failures = 0;
    for (int i = 0; i < cases; ++i) {
        const Input in = draw(rng);
        const CornerSim s = CheckAgainstLoop(in, failures);
        const uint32_t pd0 = (64u - static_cast<uint32_t>(in.creep)) << 8;
        const uint64_t v0 = static_cast<uint32_t>(in.creep) << 23;
        t.cases += 1;
        if (s.n > 0) {
            t.stepped += 1;
            if (v0 + uint64_t{s.n} * in.K >= kWrap) t.velWrapped += 1;  // vel wrapped before the last step
            if (s.pd < pd0) t.pdWrapped += 1;                           // pd went round at least once
            if (s.n == in.H) t.stepLimit += 1;
        }
    }
    return t;
}

uint32_t Below(std::mt19937_64& rng, uint64_t bound) { return static_cast<uint32_t>(rng() % bound); }

TEST(CornerSim, RandomRealisticRamps) {
    // Accelerations of the speed records (accel << 9), creep 1 or 4, short to long successors.
    const Tally t = RunDistribution(1, 120000, [](std::mt19937_64& rng) {
        const uint32_t Ld = Below(rng, 2000);
        return Input{512 * (1 + Below(rng, 8000)), Ld, Ld + Below(rng, 4000), static_cast<uint16_t>(Below(rng, 5000)),
                     rng() % 2 ? 1 : 4};
    });
    EXPECT_GT(t.stepped, t.cases / 2);
    EXPECT_GT(t.stepLimit, 2000);
}

TEST(CornerSim, RandomHugeAccelerationsWrapTheVelocity) {
    const Tally t = RunDistribution(2, 120000, [](std::mt19937_64& rng) {
        const uint32_t K = rng() % 2 ? static_cast<uint32_t>(rng()) : (1u << 23) + Below(rng, 1u << 28);
        return Input{K, Below(rng, 600), rng() % 2 ? static_cast<uint32_t>(rng()) : Below(rng, 1u << 20),
                     static_cast<uint16_t>(rng() % 3 ? Below(rng, 3000) : rng()), rng() % 2 ? 1 : 4};
    });
    EXPECT_GT(t.velWrapped, 12000);
}

TEST(CornerSim, RandomTargetsNearThePdWrap) {
    // pd0 anywhere or within 1024 units of its wrap, vel0 anywhere or above 256 units per tick and
    // changing slowly, targets just above pd0 or just below 2^24, long runs: pd goes round, target
    // windows are stepped over. pd0 >> 8 = (64 - creep) mod 2^24 and vel0 >> 23 = creep mod 512, so
    // creep is built from the two.
    const Tally t = RunDistribution(3, 20000, [](std::mt19937_64& rng) {
        const uint32_t velUnits = rng() % 2 ? 256 + Below(rng, 256) : Below(rng, 512);
        const uint32_t pdHigh = rng() % 2 ? Below(rng, 1u << 15) : (1u << 15) - 1 - Below(rng, 2);
        const uint32_t pdUnits = (pdHigh << 9) | ((64u - velUnits) & 511u);
        const int32_t creep = static_cast<int32_t>(64u - pdUnits + (static_cast<uint32_t>(rng()) << 24));
        const uint32_t K = rng() % 2 ? Below(rng, 4096) : 0u - Below(rng, 4096);
        const uint32_t target = rng() % 2 ? (1u << 24) - Below(rng, 2048) : pdUnits + 1 + Below(rng, 4096);
        return Input{K, rng() % 4 ? 512 + Below(rng, 1000) : Below(rng, 512), target,
                     static_cast<uint16_t>(65535 - Below(rng, 8000)), creep};
    });
    EXPECT_GT(t.pdWrapped, 2000);
}

}  // namespace

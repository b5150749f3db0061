// Skip-ahead: a run of slew, creep or delay ticks applied in closed form leaves the
// machine exactly as the same ticks run one by one, and stops just before the
// first tick that does anything else, which then runs as usual.
//
// Each case builds the same block mid-slew (or mid-creep, mid-delay) on two machines.
// One applies SkipAhead() and one TickPass(); the other runs TickPass() as
// many times.  Then every field of every ring block and of the servo must
// agree, and the skip must have stopped where the case says.
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

#include "support/test_support.h"

using namespace corvanta_test;

namespace {

constexpr int32_t U23 = 1 << 23;             // one servo unit per tick as a 9.23 velocity
constexpr uint32_t kDdr63 = (64 - 1) << 16;  // D of a new vector in vector mode: 63 units
constexpr int32_t kMaxI32 = std::numeric_limits<int32_t>::max();
constexpr int32_t kMinI32 = std::numeric_limits<int32_t>::min();
constexpr int32_t kVel500 = static_cast<int32_t>(500u << 23);  // 500 units/tick (as the profile reads it, unsigned)

// The block under test (the vect fields the planner and earlier ticks left)
// and the machine around it.
struct Case {
    uint8_t octant = 0;
    int32_t majr = 1000, minr = 0;
    uint32_t majrfract = 0, minrfract = 0;
    int32_t majrvel = 2 * U23, minrvel = 0;
    int32_t majrdvel = U23 / 8, minrdvel = U23 / 16;
    int32_t accIndex = ACC_INDEX_DOUBLED;
    uint16_t acclcount = 10, currvel = 10, cnrvel = 0, end_delay = 0;
    uint32_t psuedodist = 0, ddr = kDdr63, high_ddr = 0;
    uint32_t creep = 16;   // creep velocity, 2^-4 units per tick
    int16_t creepEnd = 0;  // nonzero: IsrCreepVel (1 in vector mode)
    uint8_t notes = 0;
    int16_t isrState = ISRSLEW;
    uint8_t profileState = PS_SLEW;
    int32_t endDelay = 0;
    int32_t starvedWaits = 0;     // m_npbdrvCnt
    uint32_t guardTicksLeft = 0;  // nonzero: counting, the job-length guard this many ticks ahead
    bool next = true;             // a vector queued behind (for a hand-over)
};

// Another vector queued behind the one under test.
void QueueNext(Rig& m) {
    VdbData* b = m.GetFreeVdb();
    VectData& d = b->vect;
    b->octant = 1;
    d.majrdisth = 300, d.minrdisth = 100, d.majrfract = 0, d.minrfract = 0;
    d.majrvel = U23, d.majrdvel = U23 / 4, d.minrvel = U23 / 3, d.minrdvel = U23 / 12;
    d.acclcount = 8, d.currvel = 0, d.creep = 16, d.slope = 0x5555, d.cnrvel = 0;
    d.psuedodist = 0, d.end_delay = 3, d.ddr = kDdr63, d.high_ddr = 0, d.acc_index = 0;
    b->cmd = VECTOR;
    m.sendvdb(b);
}

VdbData* Build(Rig& m, const Case& s) {
    VdbData* b = m.GetFreeVdb();
    VectData& d = b->vect;
    b->octant = s.octant;
    d.majrdisth = s.majr, d.minrdisth = s.minr, d.majrfract = s.majrfract, d.minrfract = s.minrfract;
    d.majrvel = s.majrvel, d.minrvel = s.minrvel, d.majrdvel = s.majrdvel, d.minrdvel = s.minrdvel;
    d.acclcount = s.acclcount, d.currvel = s.currvel, d.creep = s.creep, d.slope = 0x4000, d.cnrvel = s.cnrvel;
    d.psuedodist = s.psuedodist, d.end_delay = s.end_delay, d.ddr = s.ddr, d.high_ddr = s.high_ddr;
    d.acc_index = s.accIndex, d.notesPrinted = s.notes;
    b->cmd = VECTOR;
    m.sendvdb(b);
    if (s.next) QueueNext(m);
    m.IsrState = s.isrState;
    m.ProfileState = s.profileState;
    m.EndDelayCount = s.endDelay;
    m.m_npbdrvCnt = s.starvedWaits;
    if (s.creepEnd != 0) m.IsrCreepVel = s.creepEnd;
    if (s.guardTicksLeft != 0) {
        m.JobTimePhase = 2;
        m.JobTickLimit = 1000000;
        m.JobStartTick = static_cast<int32_t>(m.IsrTick.load() + s.guardTicksLeft - m.JobTickLimit);
    }
    m.NewConsole();
    return b;
}

// Every field of a block, for comparison and for the message when two differ.
std::string Describe(const VdbData& b) {
    const VectData& v = b.vect;
    std::ostringstream o;
    o << "block " << int{b.blockIdx} << " cmd " << int{b.cmd.load()} << " octant " << int{b.octant} << " kind "
      << int{b.kind} << " slope " << v.slope << " majrdisth " << v.majrdisth << " majrfract " << v.majrfract
      << " minrdisth " << v.minrdisth << " minrfract " << v.minrfract << " acclcount " << v.acclcount << " currvel "
      << v.currvel << " minrdvel " << v.minrdvel << " minrvel " << v.minrvel << " majrdvel " << v.majrdvel
      << " majrvel " << v.majrvel << " creep " << v.creep << " angle " << v.angle << " relativeAngle "
      << v.relativeAngle << " anglediff " << v.anglediff << " cnrvel " << v.cnrvel << " psuedodist " << v.psuedodist
      << " ddr " << v.ddr << " high_ddr " << v.high_ddr << " end_delay " << v.end_delay << " dx " << v.dx << " dy "
      << v.dy << " acc_index " << v.acc_index << " smoothCnt " << v.smoothCnt << " notes " << int{v.notesPrinted}
      << "\n";
    return o.str();
}

std::string Describe(Rig& m) {
    std::ostringstream o;
    const VdbData* cur = m.SVO_VectPtr.load();
    o << "current " << (cur ? int{cur->blockIdx} : -1) << " IsrState " << m.IsrState << " ProfileState "
      << int{m.ProfileState} << " IsrTick " << m.IsrTick << " EndDelayCount " << m.EndDelayCount << " SvoPos "
      << m.SvoPosX << "," << m.SvoPosY << " fault " << m.SvoFault << " phase " << m.JobTimePhase << " marks "
      << m.JobStartTick << "," << m.JobEndTick << " PlanCnt";
    for (int32_t c : m.PlanCnt) o << " " << c;
    o << "\n";
    for (const VdbData& b : m.VdbOnline) o << Describe(b);
    o << "console: " << m.NewConsole();
    return o.str();
}

struct Outcome {
    uint64_t skipped;  // ticks SkipAhead applied
    std::string withSkip, tickByTick;
};

// SkipAhead() then one TickPass() on one machine; as many TickPass() on another.
Outcome SkipThenTick(const Case& s) {
    Rig a, b;
    Build(a, s);
    Build(b, s);
    Outcome o;
    o.skipped = a.SkipAhead();
    a.TickPass();
    for (uint64_t i = 0; i <= o.skipped; ++i) b.TickPass();
    o.withSkip = Describe(a);
    o.tickByTick = Describe(b);
    return o;
}

Case With(Case s, void (*edit)(Case&)) {
    edit(s);
    return s;
}

}  // namespace

// Each row: where the run ends, one tick later and at that tick.  `run` is the
// number of ticks the skip must apply; tick run + 1 is the one that does
// something else.
TEST(SkipAhead, StopsJustBeforeEachBoundary) {
    struct Row {
        const char* what;
        Case setup;
        uint64_t run;
    };
    // At 2 units/tick from 100 with D 63: tick k starts with disth 100 - 2 -
    // 2(k-1), below 63 first at k = 19.  psuedodist counts like distance.
    const Row rows[] = {
        {"deceleration starts at tick 19", With({}, [](Case& s) { s.majr = 100; }), 18},
        {"one unit more: at tick 20", With({}, [](Case& s) { s.majr = 101; }), 19},
        {"psuedodist adds distance", With({}, [](Case& s) { s.majr = 60, s.psuedodist = 41; }), 19},
        // 2.25 units/tick: F(k) = floor(2.25k + f); disth 197 - 2 - F(k-1) < 63
        // once F(k-1) > 132: F(59) = 132 from fraction 0, 133 from 0.5.
        {"fractional velocity", With({}, [](Case& s) { s.majr = 197, s.majrvel = 2 * U23 + U23 / 4; }), 60},
        {"carried fraction moves the boundary",
         With({}, [](Case& s) { s.majr = 197, s.majrvel = 2 * U23 + U23 / 4, s.majrfract = U23 / 2; }), 59},
        {"already below D: none", With({}, [](Case& s) { s.majr = 64; }), 0},
        {"exactly at D: one", With({}, [](Case& s) { s.majr = 65; }), 1},
        // Corner velocity: the tick leaving majrdisth <= 0 hands over.  From
        // 20 at 2/tick that is tick 10 (0 left), from 21 tick 11 (-1 left).
        {"hand-over at the end point", With({}, [](Case& s) { s.majr = 20, s.cnrvel = 3, s.psuedodist = 500; }), 9},
        {"hand-over with an overshoot", With({}, [](Case& s) { s.majr = 21, s.cnrvel = 3, s.psuedodist = 500; }), 10},
        {"no corner velocity: no hand-over", With({}, [](Case& s) { s.majr = 21, s.psuedodist = 500, s.next = false; }),
         229},
        // Minor at 1 unit/tick from 5: tick 7 would move 1 > minrdisth + 1 = 0.
        {"minor clamp at tick 7", With({}, [](Case& s) { s.minr = 5, s.minrvel = U23; }), 6},
        {"minor clamp at tick 8", With({}, [](Case& s) { s.minr = 6, s.minrvel = U23; }), 7},
        {"minor left -2: clamped at once", With({}, [](Case& s) { s.minr = -2, s.minrvel = U23; }), 0},
        {"minor at its maximum: tick by tick", With({}, [](Case& s) { s.minr = kMaxI32, s.minrvel = U23; }), 0},
        // Sums: vel + fraction must not wrap 32 bits.
        // 511 units/tick from 100000: disth 99489 - 511(k-1) < 63 first at k = 196.
        {"largest velocity that cannot wrap",
         With({}, [](Case& s) { s.majr = 100000, s.majrvel = static_cast<int32_t>(0xFF800000u); }), 195},
        {"one above: tick by tick",
         With({}, [](Case& s) { s.majr = 100000, s.majrvel = static_cast<int32_t>(0xFF800001u); }), 0},
        {"minor velocity one above: tick by tick",
         With({}, [](Case& s) { s.minr = 100000, s.minrvel = static_cast<int32_t>(0xFF800001u); }), 0},
        {"fraction not reduced to 23 bits: tick by tick", With({}, [](Case& s) { s.majrfract = U23; }), 0},
        // The far-end-point note prints on the first tick where disth > 0x1000000.
        // At 500 units/tick disth starts at majrdisth - 500 and falls to 63
        // in 33555 ticks from the limit.
        {"disth at the note limit", With({}, [](Case& s) { s.majr = 0x1000000 + 500, s.majrvel = kVel500; }), 33555},
        {"disth above it: the note's tick first",
         With({}, [](Case& s) { s.majr = 0x1000000 + 501, s.majrvel = kVel500; }), 0},
        {"note already printed",
         With({}, [](Case& s) { s.majr = 0x1000000 + 501, s.majrvel = kVel500, s.notes = NOTE_DISTH_LARGE; }), 33555},
        // D above 2^31 units is negative as the profile compares it: disth < 0 repairs.
        // From 10 at 2/tick: disth 8 - 2(k-1) < 0 first at k = 6; from 12 at k = 7.
        {"repair of a negative disth at tick 6", With({}, [](Case& s) { s.majr = 10, s.high_ddr = 0x8000; }), 5},
        {"repair at tick 7", With({}, [](Case& s) { s.majr = 12, s.high_ddr = 0x8000; }), 6},
        // The starved-planner note prints once per block, past 100 waits.
        {"100 waits: no note", With({}, [](Case& s) { s.starvedWaits = 100; }), 468},
        {"101 waits: the note's tick first", With({}, [](Case& s) { s.starvedWaits = 101; }), 0},
        {"101 waits, note printed", With({}, [](Case& s) { s.starvedWaits = 101, s.notes = NOTE_STARVED; }), 468},
        {"velocity 0 stalls", With({}, [](Case& s) { s.majrvel = 0, s.next = false; }), 0},
        // The job-length guard stops the job at the tick that reaches the limit.
        {"job-length guard 5 ticks ahead", With({}, [](Case& s) { s.guardTicksLeft = 5; }), 4},
        {"guard far ahead", With({}, [](Case& s) { s.guardTicksLeft = 5000; }), 468},
        // majrdisth stays a 32-bit number: near its minimum (reachable only
        // with a huge psuedodist) tick 1 would wrap it.
        {"majrdisth would wrap",
         With({},
              [](Case& s) {
                  s.majr = kMinI32 + 5, s.majrvel = 8 * U23, s.psuedodist = 0xFFFFFFFFu, s.notes = NOTE_DISTH_LARGE;
              }),
         0},
        {"majrdisth room for one tick",
         With({},
              [](Case& s) {
                  s.majr = kMinI32 + 8, s.majrvel = 8 * U23, s.psuedodist = 0xFFFFFFF8u, s.notes = NOTE_DISTH_LARGE;
              }),
         1},
        // End delay: counts 7 down in 7 ticks, the 8th returns to hold.
        {"end delay of 7", With({}, [](Case& s) { s.isrState = ISRDELAY, s.endDelay = 7; }), 7},
        {"end delay of 1", With({}, [](Case& s) { s.isrState = ISRDELAY, s.endDelay = 1; }), 1},
        {"end delay done", With({}, [](Case& s) { s.isrState = ISRDELAY, s.endDelay = 0; }), 0},
        {"end delay with the guard 3 ticks ahead",
         With({}, [](Case& s) { s.isrState = ISRDELAY, s.endDelay = 7, s.guardTicksLeft = 3; }), 2},
        // Creep at 1 unit/tick (creep 16) until majrdisth < IsrCreepVel: from
        // 10 tick 11 starts with 0 left and lands on the end point.
        {"creep to the end point",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.profileState = PS_CREEP, s.majr = 10; }), 10},
        {"creep one unit more",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.profileState = PS_CREEP, s.majr = 11; }), 11},
        {"creep after the deceleration",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.profileState = PS_DCC, s.majr = 11; }), 11},
        // Raster mode ends 4 units short: from 10, ticks 1..7 start with 10..4.
        {"creep end 4", With({}, [](Case& s) { s.isrState = ISRCREEP, s.majr = 10, s.creepEnd = 4; }), 7},
        // No target velocity: creeps at majrvel, 2/tick: from 10, tick 6 starts with 0.
        {"creep at the constant velocity",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.majr = 10, s.acclcount = 0; }), 5},
        {"creep at velocity 0 stalls", With({}, [](Case& s) { s.isrState = ISRCREEP, s.creep = 0, s.next = false; }),
         0},
        // The creep step compares the minor clamp unsigned: from 3 at 1/tick
        // tick 5 is clamped; from -5 the limit is above 2^31: never.
        {"creep minor clamp",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.majr = 100, s.minr = 3, s.minrvel = U23; }), 4},
        {"creep minor below -1: no clamp",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.majr = 100, s.minr = -5, s.minrvel = U23; }), 100},
        // Near its minimum minrdisth would wrap: the run stops before.
        {"creep minor at its minimum",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.majr = 100, s.minr = kMinI32 + 3, s.minrvel = U23; }), 3},
        {"creep with the guard 3 ticks ahead",
         With({}, [](Case& s) { s.isrState = ISRCREEP, s.majr = 100, s.guardTicksLeft = 3; }), 2},
        // Other states run tick by tick.
        // Acceleration from step 2 to 10: the minor sum reaches 2 units (clamped) at tick 8.
        {"acceleration", With({}, [](Case& s) { s.isrState = ISRACC, s.currvel = 2; }), 7},
        {"hold", With({}, [](Case& s) { s.isrState = ISRHOLD; }), 0},
    };
    for (const Row& r : rows) {
        const Outcome o = SkipThenTick(r.setup);
        EXPECT_EQ(o.skipped, r.run) << r.what;
        EXPECT_EQ(o.withSkip, o.tickByTick) << r.what;
    }
}

// Acceleration and deceleration runs: each row sets one stop condition a
// tick before, at and after where the case's other conditions allow, and the
// skip must stop exactly before the tick that does something else.
// Acceleration: from 2 units/tick, +1/8 per tick, D 63 + the velocities >> 7.
// Deceleration (ISRSLEW with the distance left below D): from 8 units/tick,
// -1/8 per tick, the minor axis at 1 unit/tick less 1/16 per tick.
TEST(SkipAhead, AccelerationAndDecelerationStopAtEachBoundary) {
    struct Row {
        const char* what;
        Case setup;
        uint64_t run;
    };
    auto acc = [](void (*edit)(Case&)) {
        Case s;
        s.isrState = ISRACC, s.profileState = PS_ACC, s.majr = 100000, s.minr = 100000;
        s.acclcount = 1000, s.currvel = 0;
        edit(s);
        return s;
    };
    auto dcc = [](void (*edit)(Case&)) {
        Case s;
        s.isrState = ISRSLEW, s.profileState = PS_DCC, s.majr = 1000, s.minr = 100000;
        s.majrvel = 8 * U23, s.minrvel = U23, s.currvel = 60, s.ddr = 0, s.high_ddr = 1;  // D 65536 units
        edit(s);
        return s;
    };
    const Row rows[] = {
        // Target velocity: the tick with currvel + 1 > acclcount slews.
        {"acc target 1 step away", acc([](Case& s) { s.acclcount = 1; }), 1},
        {"acc target 2 steps away", acc([](Case& s) { s.acclcount = 2; }), 2},
        {"acc target 3 steps away", acc([](Case& s) { s.acclcount = 3; }), 3},
        {"acc at the target: none", acc([](Case& s) { s.acclcount = 0; }), 0},
        // Rate doubling (rates below 0x5C418, no corner): the tick at stage 20 doubles.
        {"acc stage 18", acc([](Case& s) { s.majrdvel = 0x5C400, s.accIndex = 18; }), 2},
        {"acc stage 19", acc([](Case& s) { s.majrdvel = 0x5C400, s.accIndex = 19; }), 1},
        {"acc stage 20: doubles now", acc([](Case& s) { s.majrdvel = 0x5C400, s.accIndex = 20; }), 0},
        {"acc rate 0x5C480 is never doubled", acc([](Case& s) { s.majrdvel = 0x5C480, s.accIndex = 20; }), 1000},
        {"acc with a corner velocity: no doubling",
         acc([](Case& s) { s.majrdvel = 0x5C400, s.accIndex = 20, s.cnrvel = 5000, s.psuedodist = 1; }), 1000},
        // Velocities near 2^32: runs stop while velocity + fraction cannot wrap.
        {"acc velocity 2 steps below the no-wrap limit",
         acc([](Case& s) { s.majrvel = static_cast<int32_t>(0xFF800000u - 2 * (U23 / 8)); }), 2},
        {"acc velocity 1 step below it", acc([](Case& s) { s.majrvel = static_cast<int32_t>(0xFF800000u - U23 / 8); }),
         1},
        {"acc velocity at it", acc([](Case& s) { s.majrvel = static_cast<int32_t>(0xFF800000u); }), 0},
        {"acc velocity that would pass 2^32",
         acc([](Case& s) { s.majrvel = static_cast<int32_t>(0xFFFFFFFFu - U23 / 8 + 2); }), 0},
        // D comparison: at 2 + k/8 units/tick the distance left meets D after about 40 ticks.
        {"acc D one unit before", acc([](Case& s) { s.majr = 199; }), 20},
        {"acc D reached after 20 ticks", acc([](Case& s) { s.majr = 200; }), 20},
        {"acc D reached after 21 ticks", acc([](Case& s) { s.majr = 201; }), 21},
        // Hand-over at the end point with a corner velocity.
        {"acc hand-over", acc([](Case& s) { s.majr = 20, s.cnrvel = 3000, s.psuedodist = 100000; }), 7},
        {"acc hand-over one unit later", acc([](Case& s) { s.majr = 21, s.cnrvel = 3000, s.psuedodist = 100000; }), 8},
        // Signed minor clamp: 1/16 more per tick: the minor sum after k ticks is k (k + 1) / 32.
        {"acc minor clamp", acc([](Case& s) { s.minr = 0; }), 7},
        {"acc minor clamp one unit later", acc([](Case& s) { s.minr = 1; }), 9},
        {"acc minor below -1: clamped at once", acc([](Case& s) { s.minr = -2; }), 0},
        {"acc rate not a multiple of 2^7: tick by tick", acc([](Case& s) { s.majrdvel = U23 / 8 + 64; }), 0},
        {"acc guard 3 ticks ahead", acc([](Case& s) { s.guardTicksLeft = 3; }), 2},
        // Deceleration: the tick with currvel 1 stores ISRCREEP.
        {"dcc currvel 2", dcc([](Case& s) { s.currvel = 2; }), 1},
        {"dcc currvel 3", dcc([](Case& s) { s.currvel = 3; }), 2},
        {"dcc currvel 1: the last step now", dcc([](Case& s) { s.currvel = 1; }), 0},
        // No velocity step left to remove.
        {"dcc velocity of 3 steps", dcc([](Case& s) { s.majrvel = 3 * (U23 / 8); }), 3},
        {"dcc velocity of 3 steps less 1", dcc([](Case& s) { s.majrvel = 3 * (U23 / 8) - 128; }), 2},
        // Distance left back at D: the slew step slews that tick.
        // The distance left is 992: D 992 slews (a slew run of one tick); D 993 and 994 decelerate one tick
        // and slew at the second; from D 995 the second tick still decelerates.
        {"dcc D at the distance left: a slew tick", dcc([](Case& s) { s.ddr = 992u << 16, s.high_ddr = 0; }), 1},
        {"dcc D one unit above the distance left", dcc([](Case& s) { s.ddr = 993u << 16, s.high_ddr = 0; }), 1},
        {"dcc D two units above", dcc([](Case& s) { s.ddr = 994u << 16, s.high_ddr = 0; }), 1},
        {"dcc D three units above", dcc([](Case& s) { s.ddr = 995u << 16, s.high_ddr = 0; }), 9},
        // Hand-over, unsigned minor clamp, negative distance left (repaired), far end point note.
        // Major units carried after k ticks: 7, 15, 23, 30, 38, 45, 52.
        {"dcc hand-over at tick 5", dcc([](Case& s) { s.majr = 38, s.cnrvel = 3; }), 4},
        {"dcc hand-over at tick 6", dcc([](Case& s) { s.majr = 39, s.cnrvel = 3; }), 5},
        {"dcc hand-over at tick 7", dcc([](Case& s) { s.majr = 46, s.cnrvel = 3; }), 6},
        // Minor units after k ticks: 0, 1, 2, 3, 4, 4, 5.
        {"dcc minor clamp at tick 5", dcc([](Case& s) { s.minr = 2; }), 4},
        {"dcc minor clamp at tick 7", dcc([](Case& s) { s.minr = 3; }), 6},
        {"dcc minor below -1: no clamp", dcc([](Case& s) { s.minr = -5; }), 16},
        {"dcc distance left below 0 at tick 6 is repaired", dcc([](Case& s) { s.majr = 40; }), 5},
        {"dcc distance left above the note limit", dcc([](Case& s) { s.majr = 0x1000000 + 9, s.high_ddr = 0x100; }), 0},
        {"dcc minor velocity that would go below 0", dcc([](Case& s) { s.minrvel = U23 / 16 - 1; }), 0},
        {"dcc guard 3 ticks ahead", dcc([](Case& s) { s.guardTicksLeft = 3; }), 2},
    };
    for (const Row& r : rows) {
        const Outcome o = SkipThenTick(r.setup);
        EXPECT_EQ(o.skipped, r.run) << r.what;
        EXPECT_EQ(o.withSkip, o.tickByTick) << r.what;
    }
}

// The census books each tick under the profile state in force before it: the
// first tick of a run under the state the previous tick left.
TEST(SkipAhead, FirstTickOfARunBooksThePreviousState) {
    for (const uint8_t before : {PS_ACC, PS_SLEW, PS_HOLD}) {
        Case s;
        s.majr = 100;
        s.profileState = before;
        s.guardTicksLeft = 100000;
        const Outcome o = SkipThenTick(s);
        EXPECT_EQ(o.skipped, 18u);
        EXPECT_EQ(o.withSkip, o.tickByTick) << int{before};
    }
}

// Random blocks mid-slew, with and without a corner velocity and a queued
// vector: skip then tick against tick by tick, and then on to the end of the
// job: the deterministic tick loop with skip-ahead against TickPass alone.
TEST(SkipAhead, RandomBlocksMatchTickByTick) {
    std::mt19937_64 rng(20240611);
    const auto below = [&](uint64_t n) { return static_cast<int64_t>(rng() % n); };
    for (int i = 0; i < 300; ++i) {
        Case s;
        s.octant = static_cast<uint8_t>(below(8));
        s.majrvel = static_cast<int32_t>(below(6 * U23) + U23 / 8);  // the end within the ticks below
        s.minrvel = static_cast<int32_t>(below(s.majrvel));
        s.majrfract = static_cast<uint32_t>(below(U23));
        s.minrfract = static_cast<uint32_t>(below(U23));
        s.majr = static_cast<int32_t>(below(4000) - 50);
        s.minr = static_cast<int32_t>(below(2000) - 5);
        s.psuedodist = below(3) == 0 ? static_cast<uint32_t>(below(3000)) : 0;
        s.cnrvel = below(2) == 0 ? static_cast<uint16_t>(below(10) + 1) : 0;
        s.ddr = static_cast<uint32_t>(below(500)) << 16 | static_cast<uint32_t>(below(1 << 16));
        s.currvel = static_cast<uint16_t>(below(12));
        s.profileState = below(4) == 0 ? PS_ACC : PS_SLEW;
        s.guardTicksLeft = below(3) == 0 ? static_cast<uint32_t>(below(400) + 1) : 0;
        s.isrState = below(6) == 0 ? ISRDELAY : below(5) == 0 ? ISRCREEP : below(3) == 0 ? ISRACC : ISRSLEW;
        s.acclcount = below(4) == 0 ? 0 : static_cast<uint16_t>(10 + below(3) * below(40));
        s.majrdvel = static_cast<int32_t>(128 * below(U23 / 256));  // up to 4 units per step
        s.minrdvel = static_cast<int32_t>(below(s.majrdvel + 1));
        s.accIndex = static_cast<int32_t>(below(22));
        s.creepEnd = below(3) == 0 ? 4 : 0;
        s.endDelay = static_cast<int32_t>(below(50));
        const Outcome o = SkipThenTick(s);
        ASSERT_EQ(o.withSkip, o.tickByTick) << "case " << i;

        Rig a, b;
        Build(a, s);
        Build(b, s);
        a.SkipAheadEnabled = true;
        a.RunTicks(nullptr);
        for (int t = 0; t < 200000 && b.SVO_VectPtr.load() != nullptr && b.SvoFault.load() == 0; ++t) b.TickPass();
        ASSERT_EQ(Describe(a), Describe(b)) << "case " << i;
    }
}

// No tick is skipped while a tick trace is written: every tick has its line.
TEST(SkipAhead, NoneWhileTracing) {
    Rig m;
    Case s;
    Build(m, s);
    std::FILE* trace = std::tmpfile();
    ASSERT_NE(trace, nullptr);
    m.TickTraceFile = trace;
    EXPECT_EQ(m.SkipAhead(), 0u);
    m.TickTraceFile = nullptr;
    std::fclose(trace);
    EXPECT_GT(m.SkipAhead(), 0u);
}

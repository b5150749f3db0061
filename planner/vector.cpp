#include <cstdlib>

#include "base/fixpt.h"
#include "planner/planner_layer.h"

namespace corvanta {

const int16_t OctantBaseAngle[OCTANT_COUNT] = {0, -90, -180, 90, -360, 270, 180, -270};

const uint8_t AtanTable[64] = {0,  1,  2,  3,  4,  4,  5,  6,  7,  8,  9,  10, 11, 11, 12, 13, 14, 15, 16, 17, 17, 18,
                               19, 20, 21, 21, 22, 23, 24, 24, 25, 26, 27, 27, 28, 29, 29, 30, 31, 31, 32, 33, 33, 34,
                               35, 35, 36, 36, 37, 37, 38, 39, 39, 40, 40, 41, 41, 42, 42, 43, 43, 44, 44, 45};

const int32_t CosTable[CORNER_DEGREES] = {
    65536, 65526, 65496, 65446, 65376, 65286, 65176, 65047, 64898, 64729, 64540, 64331, 64103, 63856, 63589, 63302,
    62997, 62672, 62328, 61965, 61583, 61183, 60763, 60326, 59870, 59395, 58903, 58393, 57864, 57319, 56755, 56175,
    55577, 54963, 54331, 53683, 53019, 52339, 51643, 50931, 50203, 49460, 48702, 47930, 47142, 46340};

const uint16_t CornerFactor[CORNER_DEGREES] = {
    65535, 65002, 63884, 62000, 56497, 46476, 40872, 35020, 30628, 27211, 24483, 22245, 20379, 18798, 17442, 16267,
    15241, 14329, 13520, 12798, 12144, 11555, 11016, 10522, 10073, 9659,  9275,  8918,  8588,  8280,  7987,  7721,
    7463,  7227,  7003,  6790,  6589,  6399,  6216,  6042,  5418,  4521,  2934,  1716,  697,   0};

const PenUpBandRow PenUpBands[3] = {
    {{5, 25, 40, 600, 800}, {300, 300, 500, 1100, 5000}, {80, 80, 80, 100, 175}},
    {{1016, 1020, 1020, 1020, 1020}, {3000, 3000, 3000, 3000, 3000}, {175, 175, 175, 175, 175}},
    {{15, 615, 620, 625, 630}, {300, 1500, 1500, 1500, 1500}, {40, 80, 80, 80, 80}},
};

int32_t FixMulDiv(int32_t a, int32_t b, int32_t c) {
    const bool negative = ((a < 0) != (b < 0)) != (c < 0);
    const uint32_t ua = mag_u32(a), ub = mag_u32(b), uc = mag_u32(c);
    if (static_cast<uint64_t>(ua >> 16) * (ub >> 16) >= uc) return 0;
    const uint32_t mag = static_cast<uint32_t>(static_cast<uint64_t>(ua) * ub / uc) & 0x7FFFFFFFu;
    return negative ? -static_cast<int32_t>(mag) : static_cast<int32_t>(mag);
}

int32_t PlannerLayer::MoveLengthMm(int32_t dx, int32_t dy) const {
    const int32_t sum = add_wrap(abs_wrap(dx), abs_wrap(dy));
    return static_cast<int32_t>(static_cast<double>(sum) / (ResoCurrent.PbdReso.Y / 25.4));
}

// Linear interpolation between two band limits: lo_v + (hi_v - lo_v) x (L - lo) / (hi - lo).
static int32_t BandValue(int32_t loV, int32_t hiV, int32_t L, int32_t lo, int32_t hi) {
    return add_wrap(loV, trunc_div(mul_wrap(sub_wrap(hiV, loV), sub_wrap(L, lo)), sub_wrap(hi, lo)));
}

void PlannerLayer::PenUpRescale(int32_t dx, int32_t dy, int32_t L) {
    const int kind = (dx != 0 && dy != 0) ? 0 : (dx != 0 ? 1 : 2);
    const PenUpBandRow& row = PenUpBands[kind];
    static const char* const kindNames[3] = {"\n\r PU-DxDy", "\n\r PU-OnlyDx", "\n\r PU-OnlyDy"};
    static const char* const bandNames[6] = {"\n\r D<=PartA", "\n\r PartA-B", "\n\r PartB-C",
                                             "\n\r PartC-D",  "\n\r PartD-E", "\n\r D>PartE"};
    int band = 5;  // 0 = A, 1..4 = AB..DE, 5 = E
    if (L <= row.part[0]) {
        band = 0;
    } else {
        for (int i = 0; i < 4; ++i)
            if (row.part[i] < L && L <= row.part[i + 1]) {
                band = i + 1;
                break;
            }
    }
    if (PuBandTrace) Con("%s%s", kindNames[kind], bandNames[band]);

    if (band == 5) {
        diag_vel = trunc_div(mul_wrap(diag_vel, row.V[4]), 40);
        pbdAxiaVel = trunc_div(mul_wrap(pbdAxiaVel, row.V[4]), 40);
        return;
    }
    int32_t S = row.S[0], V = row.V[0];
    if (band > 0) {
        const int lo = band - 1, hi = band;
        S = BandValue(row.S[lo], row.S[hi], L, row.part[lo], row.part[hi]);
        V = BandValue(row.V[lo], row.V[hi], L, row.part[lo], row.part[hi]);
    }
    const int32_t k = trunc_div(mul_wrap(pbdAccel, 100), mul_wrap(S, OneG / 1000));
    pbdAccel = trunc_div(mul_wrap(pbdAccel, 100), k);
    diag_vel = trunc_div(mul_wrap(trunc_div(mul_wrap(diag_vel, k), 100), V), 40);
    pbdAxiaVel = trunc_div(mul_wrap(trunc_div(mul_wrap(pbdAxiaVel, k), 100), V), 40);
    pbdSps = pbdSps * static_cast<uint32_t>(V) / 40u;
}

void PlannerLayer::srvo_on_ve(int32_t dx, int32_t dy) {
    const int32_t L = MoveLengthMm(dx, dy);
    if (DbgOn(PbdFun)) Trace("srvo_on_ve(%d,%d,%d,%d)\n\r", dx, dy, 0, 0);
    if (DbgOn(SvoVdbCmd)) Con("    srvo_on_ve(%d,%d,%d,%d);\n\r", dx, dy, 0, 0);
    if (dx == 0 && dy == 0) return;
    VdbData* b = GetFreeVdb();
    const VelAccelRec& r = VelAccelPool[pbdVelType & 7];
    pVelAccelPointer = &r;
    pbdAccel = r.accel;
    diag_vel = r.diag_vel;
    pbdAxiaVel = r.axial_vel;
    pbdSps = static_cast<uint32_t>(r.sps);
    LowSpeed = r.LowSpeed;
    if (pbdVelType == PEN_UP_CLASS) PenUpRescale(dx, dy, L);
    _delta_move(dx, dy, b);
    if (DbgOn(ShowVdbVect)) VdbDumpPlanned(b);
    SchedSendBusyEnter();
    sendvdb(b);
    SchedSendBusyLeave();
}

namespace {

constexpr uint32_t SMOOTH_LIMIT = 0x190000;  // 25 degrees in 16.16: larger changes are not smoothed
constexpr int LOOK_BACK_MAX = 13;            // blocks the look-back passes may visit

}  // namespace

// Directly: the same result as stepping the acceleration from creep one step
// at a time, without stepping.
CornerSim SimulateCorner(uint32_t K, uint32_t Ld, uint32_t target, uint16_t H, int32_t creep) {
    CornerRamp ramp;
    ramp.Prepare(K, creep);
    return ramp.Simulate(Ld, target, H);
}

void PlannerLayer::_delta_move(int32_t dx, int32_t dy, VdbData* b) {
    VectCnt = add_wrap(VectCnt, 1);
    if (DbgOn(DeltaMove)) Trace("_delta_move(%7d,%7d,%08x,%d) %s\n\r", dx, dy, PtrBits(b), 0, "");
    VectData& v = b->vect;
    if (b->blockIdx < VDB_RING_SIZE) VdbRecordClass[b->blockIdx] = pbdVelType;
    v.dx = dx;
    v.dy = dy;
    v.smoothLoop2 = 0;
    v.smoothLoop1 = 0;
    v.smoothCnt = 0;
    v.notesPrinted = 0;

    VectGeometry g = PlanGeometry(dx, dy, b);
    PlanStartVelocities(v);
    PlanSlope(g, v, dx, dy);
    PlanMinorAxis(g, v);
    PlanTargetVelocity(g, v);
    PlanProfileStart(v, b);
    int32_t shown = 361;
    const int32_t rel = LinkToPrevious(b, shown);
    SmoothAngles(b, rel, shown);
    CornerPass(b);
}

// Axes, octant and the distances in servo units.
VectGeometry PlannerLayer::PlanGeometry(int32_t dx, int32_t dy, VdbData* b) {
    VectData& v = b->vect;
    VectGeometry g{};
    g.ax = abs_wrap(dx);
    g.ay = abs_wrap(dy);
    g.octant = static_cast<uint8_t>((dx < 0 ? 2 : 0) + (dy < 0 ? 4 : 0) + (g.ax < g.ay ? 1 : 0));
    if (g.ax >= g.ay) {
        g.major = mul_wrap(g.ax, VARRESO_PbdToSvoX);
        g.minor = mul_wrap(g.ay, VARRESO_PbdToSvoY);
    } else {
        g.major = mul_wrap(g.ay, VARRESO_PbdToSvoX);
        g.minor = mul_wrap(g.ax, VARRESO_PbdToSvoY);
    }
    b->octant = g.octant;
    v.majrdisth = g.major;
    v.majrfract = 0;
    v.minrdisth = g.minor;
    v.minrfract = 0;
    v.anglediff = 0;
    if (g.major < 0) {
        Con("vect->majrdisth < 0\n");
        Con("xdelta(%d)ydelta(%d)\n", g.ax, g.ay);
        Con("VARRESO_PbdToSvoX(%d)VARRESO_PbdToSvoY(%d)\n", VARRESO_PbdToSvoX, VARRESO_PbdToSvoY);
    }
    return g;
}

void PlannerLayer::PlanStartVelocities(VectData& v) {
    if (pbdAxiaVel != 0) {
        v.majrvel = shl_wrap(CREEP_VELOCITY, FPF_Vel_ShiftI);
        v.creep = static_cast<uint32_t>(CREEP_VELOCITY) << CREEP_FRACT_BITS;
    } else {
        v.majrvel = LowSpeed;
        v.creep = 1;
    }
    v.majrdvel = shl_wrap(pbdAccel, ACCEL_TO_VEL_SHIFT);
}

// Slope and in-octant angle, from the distances scaled down to 16 bits.
void PlannerLayer::PlanSlope(VectGeometry& g, VectData& v, int32_t dx, int32_t dy) {
    g.M = static_cast<uint32_t>(g.major);
    g.m = static_cast<uint32_t>(g.minor);
    while (g.M > 0xFFFF) {
        g.M >>= 1;
        g.m >>= 1;
    }
    g.s = 0;
    if (g.diagonal()) {
        v.slope = 0xFFFF;
        g.theta = 45;
        return;
    }
    if (g.M == 0)
        JobFail("MoveRangeError",
                "MoveRangeError: record %u \"%s\": the move (%d, %d) plotbed units has a major distance that "
                "wraps to 0 servo units",
                CurRecordNo, CurRecordText, dx, dy);
    g.s = ((g.m << SLOPE_BITS) / g.M) & 0xFFFFu;
    v.slope = static_cast<uint16_t>(g.s);
    g.theta = AtanTable[g.s >> 10];
}

void PlannerLayer::PlanMinorAxis(const VectGeometry& g, VectData& v) {
    const uint32_t minrdvelSlope = (g.s * static_cast<uint32_t>(pbdAccel)) >> SLOPE_ACCEL_TO_VEL_SHIFT;
    if (pbdAxiaVel != 0) {
        if (g.diagonal()) {
            v.minrdvel = v.majrdvel.load();
            v.minrvel = shl_wrap(CREEP_VELOCITY, FPF_Vel_ShiftI);
        } else {
            v.minrvel = shl_wrap(mul_wrap(static_cast<int32_t>(g.s), CREEP_VELOCITY), SLOPE_UNITS_TO_VEL_SHIFT);
            v.minrdvel = static_cast<int32_t>(minrdvelSlope);
        }
    } else if (g.diagonal()) {
        v.minrdvel = v.majrdvel.load();
        v.majrvel = mul_wrap(mul_wrap(CosTable[45], LowSpeed), 8);
        v.minrvel = v.majrvel.load();
    } else {
        v.majrvel = mul_wrap(mul_wrap(CosTable[g.theta], LowSpeed), 8) & ~0xFFFF;
        v.minrvel = FixMulDiv(v.majrvel, static_cast<int32_t>(g.s), 65536);
        v.minrdvel = static_cast<int32_t>(minrdvelSlope);
    }
}

// Direction, and the target (slew) velocity reduced for the direction.
void PlannerLayer::PlanTargetVelocity(const VectGeometry& g, VectData& v) {
    const int16_t a = static_cast<int16_t>(OctantBaseAngle[g.octant] + g.theta);
    v.angle = static_cast<uint16_t>(a < 0 ? -a : a);

    uint16_t accl;
    if (pbdAxiaVel == 0) {
        accl = 0;
    } else if (v.slope == 0) {
        accl = static_cast<uint16_t>(pbdAxiaVel);
    } else {
        const uint32_t c = static_cast<uint32_t>(CosTable[g.theta]);
        const uint32_t q = static_cast<uint32_t>(trunc_div(0x800000, v.majrdvel));
        const uint32_t t = ((static_cast<uint32_t>(pbdAxiaVel) * c) >> 16) - ((q * (65536u - c)) >> 16);
        if (t > static_cast<uint32_t>(pbdAxiaVel))
            accl = static_cast<uint16_t>(pbdAxiaVel);
        else
            accl = static_cast<uint16_t>(t == 0 ? 1 : t);
    }
    v.acclcount = accl;
}

// Profile start values and end delay; the block becomes a VECTOR.
void PlannerLayer::PlanProfileStart(VectData& v, VdbData* b) {
    v.currvel = 0;
    v.high_ddr = 0;
    v.ddr = (DDR_START_UNITS - static_cast<uint32_t>(CREEP_VELOCITY)) << DDR_FRACT_BITS;
    v.cnrvel = 0;
    v.psuedodist = 0;
    v.acc_index = 0;
    v.end_delay = pbdVelType == RASTER_OFFSET_CLASS ? static_cast<uint16_t>(40) : End_Delay_1;
    b->cmd = VECTOR;
}

// Link to the previous vector: the change of direction, and the previous
// vector's end delay.  Returns the relative angle; `shown` gets the angle the
// smoothing trace prints (361 when there is no previous vector).
int32_t PlannerLayer::LinkToPrevious(VdbData* b, int32_t& shown) {
    VectData& v = b->vect;
    VdbData* p = b->prev;
    int32_t rel = 0;
    if (!VdbIsVector(p)) return rel;
    VectData& pv = p->vect;
    rel = std::abs(static_cast<int32_t>(v.angle) - static_cast<int32_t>(pv.angle));
    if (rel > 180) rel = 360 - rel;
    if (rel == 1 && std::abs(static_cast<int32_t>(pv.slope) - static_cast<int32_t>(v.slope)) < 1000) rel = 0;
    v.relativeAngle = static_cast<uint16_t>(rel);
    shown = v.angle;
    pv.end_delay = (rel >= 60 && pv.majrdisth >= SvoPerMmX / 4) ? End_Delay_2 : End_Delay_3;
    if (pbdAxiaVel == 0) pv.end_delay = 0;
    v.anglediff = rel << 16;
    pv.anglediff = rel << 16;
    return rel;
}

// Angle smoothing of a run of short vectors.
void PlannerLayer::SmoothAngles(VdbData* b, int32_t rel, int32_t shown) {
    VectData& v = b->vect;
    VdbData* p = b->prev;
    const int32_t shortLimit = 3 * SvoPerMmX;
    int32_t B = p->vect.anglediff;
    const int32_t w = B;
    int32_t chg = 0;
    VdbData* r = p;
    for (int step = 0; step < LOOK_BACK_MAX; ++step) {
        if (!VdbIsVector(r) || static_cast<uint32_t>(r->vect.anglediff.load()) > SMOOTH_LIMIT ||
            v.majrdisth > shortLimit || r->vect.majrdisth > shortLimit)
            break;
        chg += 1;
        const uint32_t C = static_cast<uint32_t>(r->vect.anglediff.load());
        r->vect.anglediff = static_cast<int32_t>((static_cast<uint32_t>(v.anglediff.load()) >> 1) + C - (C >> 1));
        B = static_cast<int32_t>(static_cast<uint32_t>(B) + (C >> 1) - static_cast<uint32_t>(B >> 1));
        r = r->prev;
    }
    v.anglediff = B;
    v.smoothLoop1 = chg;
    if (DbgOn(AngleSmooth) || DbgOn(TempOff))
        Trace("AngleSmooth prev:%-3d rel:%-3d chg:%-2d %3d=>%d\n\r", shown, rel, chg, w >> 16, B >> 16);
}

// Corner pass: raise the exit velocities of the queued vectors.
void PlannerLayer::CornerPass(VdbData* b) {
    VectData& v = b->vect;
    const int32_t shortLimit = 3 * SvoPerMmX;
    if (pMsDirective->FineCuttingMode == 0) pMsPlotbed->CornerTable = 1;
    VdbData* succ = b;
    VdbData* cur = b->prev;
    VdbData* lastRaised = nullptr;
    int32_t i = 0;
    for (;;) {
        VectData& cv = cur->vect;
        if (!VdbIsVector(cur) || cv.acc_index == ACC_INDEX_DOUBLED ||
            static_cast<uint32_t>(cv.anglediff.load()) > SMOOTH_LIMIT)
            break;
        if (succ->vect.majrdisth > shortLimit) {
            cv.cnrvel = 1;
            cv.psuedodist = static_cast<uint32_t>(shortLimit);
            lastRaised = cur;
            break;
        }
        const int32_t deg = cv.anglediff >> 16;
        if (DbgOn(PbdFun)) Trace("calculate_corner_factor for angle(angle %d)\n\r", deg);
        const uint16_t F = CornerFactor[deg];
        if (F == 0) break;
        uint16_t H = static_cast<uint16_t>((static_cast<uint32_t>(F) * succ->vect.acclcount) >> 16);
        const int32_t Hmin = mul_wrap(F, min_corner_vel) >> 16;
        if (static_cast<int32_t>(H) < Hmin) H = static_cast<uint16_t>(Hmin);
        const uint16_t J = cv.cnrvel;
        if (H <= J) break;
        if (cv.majrdvel != succ->vect.majrdvel) break;
        const VectData& sv = succ->vect;
        const uint32_t Ld = static_cast<uint32_t>(sv.majrdisth.load());
        CornerSteps.Prepare(static_cast<uint32_t>(sv.majrdvel.load()), CREEP_VELOCITY);
        const CornerSim sim = CornerSteps.Simulate(Ld, sv.psuedodist + Ld, H);
        if (!(sim.n > J)) break;
        cv.smoothCnt += 1;
        cv.cnrvel = static_cast<uint16_t>(sim.n);
        cv.psuedodist = sim.pd >> PD_FRACT_BITS;
        lastRaised = cur;
        if (DbgOn(AngleSmooth) || DbgOn(TempOn))
            Trace(" %02d cnrvel:%-3d psuedoDist:%-7d angleDiff:%d\n\r", i, static_cast<int32_t>(sim.n),
                  static_cast<int32_t>(sim.pd), cv.anglediff >> 16);
        succ = cur;
        cur = cur->prev;
        i += 1;
        if (i == LOOK_BACK_MAX) break;
    }
    v.smoothLoop2 = i;

    if (PlannerDumpFlags & 1) PlannerDump();
    if (PlannerDumpFlags & 2) VdbDump(lastRaised ? lastRaised : b);
}

}  // namespace corvanta

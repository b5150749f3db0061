#include "planner/vector.h"

#include <cstdlib>

#include "driver/jobtime.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/fixpt.h"
#include "fwShare/servo/octant.h"
#include "planner/dump.h"
#include "setup/machine.h"
#include "setup/varreso.h"

const VelAccelRec* pVelAccelPointer;
int32_t pbdAxiaVel, pbdAccel, diag_vel;
uint32_t pbdSps;
int32_t LowSpeed;
int32_t lowspeedflag, CI_Flag;
uint8_t PlannerDumpFlags;
bool PuBandTrace;

void ResetVectorState() {
    pVelAccelPointer = nullptr;
    pbdAxiaVel = pbdAccel = diag_vel = 0;
    pbdSps = 0;
    LowSpeed = lowspeedflag = CI_Flag = 0;
    PlannerDumpFlags = 0;
    PuBandTrace = false;
}

const int16_t OctantBaseAngle[8] = {0, -90, -180, 90, -360, 270, 180, -270};

const uint8_t AtanTable[64] = {0,  1,  2,  3,  4,  4,  5,  6,  7,  8,  9,  10, 11, 11, 12, 13,
                               14, 15, 16, 17, 17, 18, 19, 20, 21, 21, 22, 23, 24, 24, 25, 26,
                               27, 27, 28, 29, 29, 30, 31, 31, 32, 33, 33, 34, 35, 35, 36, 36,
                               37, 37, 38, 39, 39, 40, 40, 41, 41, 42, 42, 43, 43, 44, 44, 45};

const int32_t CosTable[46] = {65536, 65526, 65496, 65446, 65376, 65286, 65176, 65047, 64898, 64729, 64540, 64331,
                              64103, 63856, 63589, 63302, 62997, 62672, 62328, 61965, 61583, 61183, 60763, 60326,
                              59870, 59395, 58903, 58393, 57864, 57319, 56755, 56175, 55577, 54963, 54331, 53683,
                              53019, 52339, 51643, 50931, 50203, 49460, 48702, 47930, 47142, 46340};

const uint16_t CornerFactor[46] = {65535, 65002, 63884, 62000, 56497, 46476, 40872, 35020, 30628, 27211, 24483, 22245,
                                   20379, 18798, 17442, 16267, 15241, 14329, 13520, 12798, 12144, 11555, 11016, 10522,
                                   10073, 9659,  9275,  8918,  8588,  8280,  7987,  7721,  7463,  7227,  7003,  6790,
                                   6589,  6399,  6216,  6042,  5418,  4521,  2934,  1716,  697,   0};

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

int32_t MoveLengthMm(int32_t dx, int32_t dy) {
    const int32_t sum = add_wrap(abs_wrap(dx), abs_wrap(dy));
    return static_cast<int32_t>(static_cast<double>(sum) / (ResoCurrent.PbdReso.Y / 25.4));
}

// Linear interpolation between two band limits: lo_v + (hi_v - lo_v) x (L - lo) / (hi - lo).
static int32_t BandValue(int32_t loV, int32_t hiV, int32_t L, int32_t lo, int32_t hi) {
    return add_wrap(loV, trunc_div(mul_wrap(sub_wrap(hiV, loV), sub_wrap(L, lo)), sub_wrap(hi, lo)));
}

void PenUpRescale(int32_t dx, int32_t dy, int32_t L) {
    const int kind = (dx != 0 && dy != 0) ? 0 : (dx != 0 ? 1 : 2);
    const PenUpBandRow& row = PenUpBands[kind];
    static const char* const kindNames[3] = {"\n\r PU-DxDy", "\n\r PU-OnlyDx", "\n\r PU-OnlyDy"};
    static const char* const bandNames[6] = {"\n\r D<=PartA", "\n\r PartA-B", "\n\r PartB-C",
                                             "\n\r PartC-D",  "\n\r PartD-E", "\n\r D>PartE"};
    int band = 5;   // 0 = A, 1..4 = AB..DE, 5 = E
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

void srvo_on_ve(int32_t dx, int32_t dy) {
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

constexpr uint32_t SMOOTH_LIMIT = 0x190000;   // 25 degrees in 16.16
constexpr int LOOK_BACK_MAX = 13;             // blocks the look-back passes may visit

// Acceleration from creep over the successor, as the corner pass simulates it:
// n = acceleration steps that fit, pd = distance covered in 1/256 servo units.
struct CornerSim {
    uint32_t n, pd;
};
CornerSim SimulateCorner(const VectData& succ, uint16_t H) {
    const uint32_t K = static_cast<uint32_t>(succ.majrdvel.load());
    const uint32_t Ld = static_cast<uint32_t>(succ.majrdisth.load());
    const uint32_t target = succ.psuedodist + static_cast<uint32_t>(succ.majrdisth.load());
    uint32_t pd = static_cast<uint32_t>(64 - CREEP_VELOCITY) << 8;
    uint32_t vel = static_cast<uint32_t>(CREEP_VELOCITY) << 23;
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

}  // namespace

void _delta_move(int32_t dx, int32_t dy, VdbData* b) {
    VectCnt = add_wrap(VectCnt, 1);
    if (DbgOn(DeltaMove)) Trace("_delta_move(%7d,%7d,%08x,%d) %s\n\r", dx, dy, PtrBits(b), 0, "");
    VectData& v = b->vect;
    VdbData* p = b->prev;
    if (b->blockIdx < VDB_RING_SIZE) VdbRecordClass[b->blockIdx] = pbdVelType;
    v.dx = dx;
    v.dy = dy;
    v.smoothLoop2 = 0;
    v.smoothLoop1 = 0;
    v.smoothCnt = 0;

    // Axes and octant.
    const int32_t ax = abs_wrap(dx), ay = abs_wrap(dy);
    const uint8_t oct = static_cast<uint8_t>((dx < 0 ? 2 : 0) + (dy < 0 ? 4 : 0) + (ax < ay ? 1 : 0));
    int32_t major, minor;
    if (ax >= ay) {
        major = mul_wrap(ax, VARRESO_PbdToSvoX);
        minor = mul_wrap(ay, VARRESO_PbdToSvoY);
    } else {
        major = mul_wrap(ay, VARRESO_PbdToSvoX);
        minor = mul_wrap(ax, VARRESO_PbdToSvoY);
    }
    b->octant = oct;
    b->octFunc = OctFuncTable[oct];
    v.majrdisth = major;
    v.majrfract = 0;
    v.minrdisth = minor;
    v.minrfract = 0;
    v.anglediff = 0;
    if (major < 0) {
        Con("vect->majrdisth < 0\n");
        Con("xdelta(%d)ydelta(%d)\n", ax, ay);
        Con("VARRESO_PbdToSvoX(%d)VARRESO_PbdToSvoY(%d)\n", VARRESO_PbdToSvoX, VARRESO_PbdToSvoY);
    }

    // Start velocities.
    if (pbdAxiaVel != 0) {
        v.majrvel = shl_wrap(CREEP_VELOCITY, 23);
        v.creep = static_cast<uint32_t>(CREEP_VELOCITY) << 4;
    } else {
        v.majrvel = LowSpeed;
        v.creep = 1;
    }
    v.majrdvel = shl_wrap(pbdAccel, 9);

    // Slope and in-octant angle.
    uint32_t M = static_cast<uint32_t>(major), m = static_cast<uint32_t>(minor);
    while (M > 0xFFFF) {
        M >>= 1;
        m >>= 1;
    }
    uint32_t s = 0;
    int theta;
    if (M == m) {
        v.slope = 0xFFFF;
        theta = 45;
    } else {
        if (M == 0)
            JobFail("MoveRangeError",
                    "MoveRangeError: record %u \"%s\": the move (%d, %d) plotbed units has a major distance that "
                    "wraps to 0 servo units",
                    CurRecordNo, CurRecordText, dx, dy);
        s = ((m << 16) / M) & 0xFFFFu;
        v.slope = static_cast<uint16_t>(s);
        theta = AtanTable[s >> 10];
    }

    // Minor axis.
    const uint32_t minrdvelSlope = (s * static_cast<uint32_t>(pbdAccel)) >> 7;
    if (pbdAxiaVel != 0) {
        if (M == m) {
            v.minrdvel = v.majrdvel.load();
            v.minrvel = shl_wrap(CREEP_VELOCITY, 23);
        } else {
            v.minrvel = shl_wrap(mul_wrap(static_cast<int32_t>(s), CREEP_VELOCITY), 7);
            v.minrdvel = static_cast<int32_t>(minrdvelSlope);
        }
    } else if (M == m) {
        v.minrdvel = v.majrdvel.load();
        v.majrvel = mul_wrap(mul_wrap(CosTable[45], LowSpeed), 8);
        v.minrvel = v.majrvel.load();
    } else {
        v.majrvel = mul_wrap(mul_wrap(CosTable[theta], LowSpeed), 8) & ~0xFFFF;
        v.minrvel = FixMulDiv(v.majrvel, static_cast<int32_t>(s), 65536);
        v.minrdvel = static_cast<int32_t>(minrdvelSlope);
    }

    // Direction.
    const int16_t a = static_cast<int16_t>(OctantBaseAngle[oct] + theta);
    v.angle = static_cast<uint16_t>(a < 0 ? -a : a);

    // Target velocity.
    uint16_t accl;
    if (pbdAxiaVel == 0) {
        accl = 0;
    } else if (v.slope == 0) {
        accl = static_cast<uint16_t>(pbdAxiaVel);
    } else {
        const uint32_t c = static_cast<uint32_t>(CosTable[theta]);
        const uint32_t q = static_cast<uint32_t>(trunc_div(0x800000, v.majrdvel));
        const uint32_t t = ((static_cast<uint32_t>(pbdAxiaVel) * c) >> 16) - ((q * (65536u - c)) >> 16);
        if (t > static_cast<uint32_t>(pbdAxiaVel))
            accl = static_cast<uint16_t>(pbdAxiaVel);
        else
            accl = static_cast<uint16_t>(t == 0 ? 1 : t);
    }
    v.acclcount = accl;

    // Profile start values and end delay.
    v.currvel = 0;
    v.high_ddr = 0;
    v.ddr = static_cast<uint32_t>(64 - CREEP_VELOCITY) << 16;
    v.cnrvel = 0;
    v.psuedodist = 0;
    v.acc_index = 0;
    v.end_delay = pbdVelType == RASTER_OFFSET_CLASS ? static_cast<uint16_t>(40) : End_Delay_1;
    b->cmd = VECTOR;

    // Link to the previous vector.
    int32_t rel = 0, shown = 361;
    if (VdbIsVector(p)) {
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
    }

    // Angle smoothing of a run of short vectors.
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

    // Corner pass: raise the exit velocities of the queued vectors.
    if (pMsDirective->FineCuttingMode == 0) pMsPlotbed->CornerTable = 1;
    VdbData* succ = b;
    VdbData* cur = p;
    VdbData* lastRaised = nullptr;
    int32_t i = 0;
    for (;;) {
        VectData& cv = cur->vect;
        if (!VdbIsVector(cur) || cv.acc_index == 21 || static_cast<uint32_t>(cv.anglediff.load()) > SMOOTH_LIMIT)
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
        const CornerSim sim = SimulateCorner(succ->vect, H);
        if (!(sim.n > J)) break;
        cv.smoothCnt += 1;
        cv.cnrvel = static_cast<uint16_t>(sim.n);
        cv.psuedodist = sim.pd >> 8;
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

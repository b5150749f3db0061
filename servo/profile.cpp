// Velocity profile of the current VECTOR block: acceleration, slew,
// deceleration and creep, in the block's own major/minor frame.
#include "base/fixpt.h"
#include "servo/servo_layer.h"

namespace corvanta {
namespace {

constexpr uint32_t RATE_DOUBLING_LIMIT = 377880; // 0x5C418: majrdvel (9.23) below this may be doubled
constexpr uint32_t DISTH_DIAG_LIMIT = 0x1000000; // remaining distances above this are reported, servo units
constexpr uint8_t NOTE_DISTH_LARGE = 1;          // VectData::notesPrinted bits
constexpr uint8_t NOTE_STARVED = 2;

uint64_t LoadD(const VectData& v) { return join_48_16(v.high_ddr, v.ddr); }
void StoreD(VectData& v, uint64_t d) {
    v.high_ddr = high_48_16(d);
    v.ddr = low_48_16(d);
}
uint32_t U(int32_t x) { return static_cast<uint32_t>(x); }

struct Move {
    int32_t major, minor;   // whole servo units moved this tick
};

// The common move of a tick at major velocity vel (9.23).  The minor step is
// clamped to minrdisth + 1, compared signed (acceleration, slew) or unsigned
// (deceleration, creep).
Move CommonMove(VectData& v, uint32_t vel, bool unsignedClamp) {
    uint32_t t = vel + v.majrfract;
    v.majrfract = t & FPF_Vel_FractMask;
    int32_t major = static_cast<int32_t>(t >> FPF_Vel_ShiftI);
    v.majrdisth -= major;

    uint32_t u = U(v.minrvel) + v.minrfract;
    v.minrfract = u & FPF_Vel_FractMask;
    int32_t minor = static_cast<int32_t>(u >> FPF_Vel_ShiftI);
    int32_t limit = add_wrap(v.minrdisth, 1);
    bool over = unsignedClamp ? U(minor) > U(limit) : minor > limit;
    if (over) minor = limit;
    v.minrdisth -= minor;
    return {major, minor};
}

// A step that would move at velocity 0 with no state change and no hand-over
// can never end its vector: no later tick changes anything either.
}  // namespace

void ServoLayer::Stall(const VdbData* b) {
    SvoFaultBlock = b->blockIdx;
    SVO_RaiseFault(SVO_FAULT_MOVE_STALL);
}

void ServoLayer::SVO_AccStep() {
    VdbData* b = SVO_VectPtr.load();
    VectData& v = b->vect;
    if (v.currvel + 1 > v.acclcount) {
        SVO_SetIsrState(ISRSLEW);
        SVO_SlewStep();
        return;
    }
    if (v.psuedodist == 0 && v.cnrvel == 0 && U(v.majrdvel) < RATE_DOUBLING_LIMIT) {
        if (v.acc_index < ACC_INDEX_LAST) {
            v.acc_index += 1;
        } else if (v.acc_index == ACC_INDEX_LAST) {
            v.majrdvel = mul_wrap(v.majrdvel, 2);
            v.minrdvel = mul_wrap(v.minrdvel, 2);
            v.currvel = static_cast<uint16_t>(v.currvel >> 1);
            v.acclcount = static_cast<uint16_t>(v.acclcount >> 1);
            uint64_t d = LoadD(v);
            d = d >= DDR_BIAS ? sub_48_16(d, DDR_BIAS) : DDR_BIAS;
            d = add_48_16(d >> 1, DDR_BIAS);
            StoreD(v, d);
            v.acc_index = ACC_INDEX_DOUBLED;
        }
    }
    const uint32_t mv = U(v.majrvel);
    const uint64_t dNext = add_48_16(LoadD(v), mv >> VEL_TO_DDR_SHIFT);
    const uint32_t vNext = mv + U(v.majrdvel);
    const uint32_t rem = U(v.majrdisth) + v.psuedodist - (vNext >> FPF_Vel_ShiftI);
    if (rem < whole_48_16(dNext)) {
        SVO_SetIsrState(ISRSLEW);
        SVO_SlewStep();
        return;
    }
    v.majrvel = static_cast<int32_t>(vNext);
    v.currvel = static_cast<uint16_t>(v.currvel + 1);
    StoreD(v, dNext);
    v.minrvel += v.minrdvel;
    Move m = CommonMove(v, vNext, false);
    ProfileState = PS_ACC;
    SVO_StepVect(m.major, m.minor);
}

int32_t ServoLayer::SVO_GetMajrDistH() {
    VectData& v = SVO_VectPtr.load()->vect;
    const int32_t majrvel = v.majrvel;
    int32_t disth = static_cast<int32_t>(U(v.majrdisth) + v.psuedodist - (U(majrvel) >> FPF_Vel_ShiftI));
    const int32_t dccDist = static_cast<int32_t>(whole_48_16(LoadD(v)));
    // A far end point is reported on the first tick of the block where it holds.
    if (disth > static_cast<int32_t>(DISTH_DIAG_LIMIT) && !(v.notesPrinted & NOTE_DISTH_LARGE))
        DisthTooLarge(v, disth, majrvel, dccDist);
    if (disth < 0) disth = DisthNegative(v, disth, majrvel, dccDist);
    // The planner is starved for blocks; report it once per block and keep
    // the computed distance, so the vector still decelerates and frees its block.
    if (m_npbdrvCnt.load() > 100 && !(v.notesPrinted & NOTE_STARVED)) PlannerStarved(v, disth, majrvel, dccDist);
    return disth;
}

void ServoLayer::DisthTooLarge(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist) {
    v.notesPrinted = static_cast<uint8_t>(v.notesPrinted | NOTE_DISTH_LARGE);
    Con("disth > 0x1000000\n");
    Con("SVO_GetMajrDistH(%d) SVO_Vect().psuedodist(%d)\n", v.majrdisth.load(), static_cast<int32_t>(v.psuedodist.load()));
    Con("disth(%d)= (SVO_Vect().majrvel(%d), FPF_Vel_ShiftI(%d)\n", disth, majrvel, FPF_Vel_ShiftI);
    Con("dccDist(%d)\n", dccDist);
}

// A remaining distance below 0 is repaired to one unit short of D.
int32_t ServoLayer::DisthNegative(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist) {
    Con("disth < 0\n");
    Con("SVO_GetMajrDistH(%d) SVO_Vect().psuedodist(%d)\n", v.majrdisth.load(), static_cast<int32_t>(v.psuedodist.load()));
    Con("disth(%d)= (SVO_Vect().majrvel(%d), FPF_Vel_ShiftI(%d)\n", disth, majrvel, FPF_Vel_ShiftI);
    Con("disth(%d), dccDist(%d)dccDist(%d)\n", disth, dccDist, dccDist);
    v.majrdisth = sub_wrap(dccDist, 1);
    return sub_wrap(dccDist, 1);
}

void ServoLayer::PlannerStarved(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist) {
    v.notesPrinted = static_cast<uint8_t>(v.notesPrinted | NOTE_STARVED);
    Con("disth1(%d)SVO_Vect().majrvel(%d)\n", disth, static_cast<int32_t>(U(majrvel) >> FPF_Vel_ShiftI));
    Con("dccDist(%d)\n", dccDist);
}

void ServoLayer::SVO_SlewStep() {
    VdbData* b = SVO_VectPtr.load();
    VectData& v = b->vect;
    const int32_t disth = SVO_GetMajrDistH();
    const int32_t dccDist = static_cast<int32_t>(whole_48_16(LoadD(v)));
    if (disth < dccDist) {
        SVO_DccStep();
        return;
    }
    const uint32_t vel = U(v.majrvel);
    if (vel == 0 && !(v.cnrvel != 0 && v.majrdisth <= 0)) {
        Stall(b);
        return;
    }
    Move m = CommonMove(v, vel, false);
    ProfileState = PS_SLEW;
    SVO_StepVect(m.major, m.minor);
}

void ServoLayer::SVO_DccStep() {
    VdbData* b = SVO_VectPtr.load();
    VectData& v = b->vect;
    const uint16_t cvel = v.currvel;
    // Deceleration starts from the block's highest velocity.
    if (U(v.majrvel) > BlockPeakVel) BlockPeakVel = U(v.majrvel);
    if (cvel != 0 && U(v.majrdvel) <= U(v.majrvel)) {
        if (cvel == 1) SVO_SetIsrState(ISRCREEP);
        v.currvel = static_cast<uint16_t>(cvel - 1);
        const uint32_t mv = U(v.majrvel) - U(v.majrdvel);
        v.majrvel = static_cast<int32_t>(mv);
        StoreD(v, sub_48_16(LoadD(v), mv >> VEL_TO_DDR_SHIFT));
        v.minrvel -= v.minrdvel;
        Move m = CommonMove(v, mv, true);
        ProfileState = PS_DCC;
        SVO_StepVect(m.major, m.minor);
    } else {
        v.currvel = 0;
        SVO_SetIsrState(ISRCREEP);
        SVO_CreepStep();
    }
}

void ServoLayer::SVO_CreepStep() {
    ProfileState = PS_CREEP;
    VdbData* b = SVO_VectPtr.load();
    VectData& v = b->vect;
    const uint8_t oct = b->octant & 7;
    const int32_t remMajor = v.majrdisth;
    if (remMajor < IsrCreepVel.load()) {
        // End point reached: land exactly on it (a negative remainder takes back an overshoot).
        const int32_t remMinor = v.minrdisth;
        const uint16_t delay = v.end_delay;
        const FinishedBlock finished = Explaining ? FinishedOf(b) : FinishedBlock{};
        VdbData* nxt = b->next;
        b->cmd = 0;
        EndDelayCount = delay;
        SVO_SetIsrState(delay != 0 ? ISRDELAY : ISRHOLD);
        SVO_SetVectPtr(nxt);
        OctStep(oct, remMajor, remMinor);
        if (Explaining) BookSegmentEnd(finished);
        return;
    }
    const uint32_t vel = v.acclcount != 0 ? v.creep << CREEP_TO_VEL_SHIFT : U(v.majrvel);
    if (vel == 0) {
        Stall(b);
        return;
    }
    Move m = CommonMove(v, vel, true);
    OctStep(oct, m.major, m.minor);
}

}  // namespace corvanta

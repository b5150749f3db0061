// Velocity profile of the current VECTOR block: acceleration, slew,
// deceleration and creep, in the block's own major/minor frame.
//
// The steps run once per tick.  They are templates over the access policy A
// (base/atom.h) and reach the block through its view v (ring/vdb.h): the
// block's own shared words, or the same words as plain memory.  All
// arithmetic on the words wraps explicitly, as plain signed words must not
// overflow.
#include "base/fixpt.h"
#include "servo/servo_layer.h"

namespace corvanta {
namespace {

template <class V>
uint64_t LoadD(const V& v) {
    return join_48_16(v.high_ddr, v.ddr);
}
template <class V>
void StoreD(V& v, uint64_t d) {
    v.high_ddr = high_48_16(d);
    v.ddr = low_48_16(d);
}
// The deceleration distance D in whole servo units, as the signed value the profile compares.
int32_t DccDist(uint64_t d) { return static_cast<int32_t>(whole_48_16(d)); }
uint32_t U(int32_t x) { return static_cast<uint32_t>(x); }

struct Move {
    int32_t major, minor;  // whole servo units moved this tick
    int32_t majrLeft;      // majrdisth after the move
};

// The common move of a tick at major velocity vel and minor velocity minrvel
// (9.23), from the remaining major distance majr.  The minor step is clamped
// to minrdisth + 1, compared signed (acceleration, slew) or unsigned
// (deceleration, creep).
template <class V>
Move CommonMove(V& v, uint32_t vel, uint32_t minrvel, int32_t majr, bool unsignedClamp) {
    const uint32_t t = vel + v.majrfract;
    v.majrfract = t & FPF_Vel_FractMask;
    const int32_t major = static_cast<int32_t>(t >> FPF_Vel_ShiftI);
    const int32_t majrLeft = sub_wrap(majr, major);
    v.majrdisth = majrLeft;

    const uint32_t u = minrvel + v.minrfract;
    v.minrfract = u & FPF_Vel_FractMask;
    int32_t minor = static_cast<int32_t>(u >> FPF_Vel_ShiftI);
    const int32_t minr = v.minrdisth;
    const int32_t limit = add_wrap(minr, 1);
    const bool over = unsignedClamp ? U(minor) > U(limit) : minor > limit;
    if (over) minor = limit;
    v.minrdisth = sub_wrap(minr, minor);
    return {major, minor, majrLeft};
}

}  // namespace

// A step that would move at velocity 0 with no state change and no hand-over
// can never end its vector: no later tick changes anything either.
void ServoLayer::Stall(const VdbData& b) {
    SvoFaultBlock = b.blockIdx;
    SVO_RaiseFault(SVO_FAULT_MOVE_STALL);
}

void ServoLayer::SVO_AccStep() { AccStep<SharedAccess>(*SVO_VectPtr.load()); }
void ServoLayer::SVO_SlewStep() { SlewStep<SharedAccess>(*SVO_VectPtr.load()); }
void ServoLayer::SVO_DccStep() { DccStep<SharedAccess>(*SVO_VectPtr.load()); }
void ServoLayer::SVO_CreepStep() { CreepStep<SharedAccess>(*SVO_VectPtr.load()); }

// The 21st acceleration step of a vector that ends at rest: rates doubled,
// steps halved, D re-biased around its start value.
void ServoLayer::DoubleRate(VectData& v) {
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

template <class A>
void ServoLayer::AccStep(VdbData& b) {
    decltype(auto) v = VectView(A{}, b.vect);
    uint16_t currvel = v.currvel;
    if (currvel + 1 > v.acclcount) {
        SVO_SetIsrState(ISRSLEW);
        SlewStep<A>(b);
        return;
    }
    const uint32_t psuedodist = v.psuedodist;
    uint32_t majrdvel = U(v.majrdvel);
    if (psuedodist == 0 && v.cnrvel == 0 && majrdvel < RATE_DOUBLING_LIMIT) {
        const int32_t stage = v.acc_index;
        if (stage < ACC_INDEX_LAST) {
            v.acc_index = stage + 1;
        } else if (stage == ACC_INDEX_LAST) {
            DoubleRate(b.vect);
            currvel = v.currvel;
            majrdvel = U(v.majrdvel);
        }
    }
    const uint32_t mv = U(v.majrvel);
    // A velocity past 2^32 (511.99 servo units per tick in 9.23) would wrap to
    // almost nothing and leave the vector creeping: count the target as reached.
    if (uint64_t{mv} + majrdvel > UINT32_MAX) {
        SVO_SetIsrState(ISRSLEW);
        SlewStep<A>(b);
        return;
    }
    const uint64_t dNext = add_48_16(LoadD(v), mv >> VEL_TO_DDR_SHIFT);
    const uint32_t vNext = mv + majrdvel;
    const int32_t majr = v.majrdisth;
    const uint32_t rem = U(majr) + psuedodist - (vNext >> FPF_Vel_ShiftI);
    if (rem < whole_48_16(dNext)) {
        SVO_SetIsrState(ISRSLEW);
        SlewStep<A>(b);
        return;
    }
    v.majrvel = static_cast<int32_t>(vNext);
    v.currvel = static_cast<uint16_t>(currvel + 1);
    StoreD(v, dNext);
    const uint32_t minrvel = U(v.minrvel) + U(v.minrdvel);
    v.minrvel = static_cast<int32_t>(minrvel);
    const Move m = CommonMove(v, vNext, minrvel, majr, false);
    ProfileState = PS_ACC;
    StepVect<A>(b, m.major, m.minor, m.majrLeft);
}

int32_t ServoLayer::SVO_GetMajrDistH() {
    VectData& v = SVO_VectPtr.load()->vect;
    int32_t majr = v.majrdisth;
    return MajrDistH<SharedAccess>(v, majr, U(v.majrvel), DccDist(LoadD(v)));
}

template <class A, class V>
int32_t ServoLayer::MajrDistH(V& v, int32_t& majr, uint32_t majrvel, int32_t dccDist) {
    const int32_t mv = static_cast<int32_t>(majrvel);
    int32_t disth = static_cast<int32_t>(U(majr) + v.psuedodist - (majrvel >> FPF_Vel_ShiftI));
    // A far end point is reported on the first tick of the block where it holds.
    if (disth > DISTH_DIAG_LIMIT && !(v.notesPrinted & NOTE_DISTH_LARGE))
        DisthTooLarge(SharedVect(v), disth, mv, dccDist);
    if (disth < 0) majr = disth = DisthNegative(SharedVect(v), disth, mv, dccDist);
    // The planner is starved for blocks; report it once per block and keep
    // the computed distance, so the vector still decelerates and frees its block.
    if (A::Get(m_npbdrvCnt) > STARVED_WAIT_LIMIT && !(v.notesPrinted & NOTE_STARVED))
        PlannerStarved(SharedVect(v), disth, mv, dccDist);
    return disth;
}

void ServoLayer::DisthTooLarge(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist) {
    v.notesPrinted = static_cast<uint8_t>(v.notesPrinted | NOTE_DISTH_LARGE);
    Con("disth > 0x1000000\n");
    Con("SVO_GetMajrDistH(%d) SVO_Vect().psuedodist(%d)\n", v.majrdisth.load(),
        static_cast<int32_t>(v.psuedodist.load()));
    Con("disth(%d)= (SVO_Vect().majrvel(%d), FPF_Vel_ShiftI(%d)\n", disth, majrvel, FPF_Vel_ShiftI);
    Con("dccDist(%d)\n", dccDist);
}

// A remaining distance below 0 is repaired to one unit short of D.
int32_t ServoLayer::DisthNegative(VectData& v, int32_t disth, int32_t majrvel, int32_t dccDist) {
    Con("disth < 0\n");
    Con("SVO_GetMajrDistH(%d) SVO_Vect().psuedodist(%d)\n", v.majrdisth.load(),
        static_cast<int32_t>(v.psuedodist.load()));
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

template <class A>
void ServoLayer::SlewStep(VdbData& b) {
    decltype(auto) v = VectView(A{}, b.vect);
    const uint32_t vel = U(v.majrvel);
    int32_t majr = v.majrdisth;
    const int32_t dccDist = DccDist(LoadD(v));
    const int32_t disth = MajrDistH<A>(v, majr, vel, dccDist);
    if (disth < dccDist) {
        DccStep<A>(b);
        return;
    }
    if (vel == 0 && !(v.cnrvel != 0 && majr <= 0)) {
        Stall(b);
        return;
    }
    const Move m = CommonMove(v, vel, U(v.minrvel), majr, false);
    ProfileState = PS_SLEW;
    StepVect<A>(b, m.major, m.minor, m.majrLeft);
}

template <class A>
void ServoLayer::DccStep(VdbData& b) {
    decltype(auto) v = VectView(A{}, b.vect);
    const uint16_t cvel = v.currvel;
    const uint32_t dvel = U(v.majrdvel);
    const uint32_t vel = U(v.majrvel);
    // Deceleration starts from the block's highest velocity.
    if (vel > BlockPeakVel) BlockPeakVel = vel;
    if (cvel != 0 && dvel <= vel) {
        if (cvel == 1) SVO_SetIsrState(ISRCREEP);
        v.currvel = static_cast<uint16_t>(cvel - 1);
        const uint32_t mv = vel - dvel;
        v.majrvel = static_cast<int32_t>(mv);
        StoreD(v, sub_48_16(LoadD(v), mv >> VEL_TO_DDR_SHIFT));
        const uint32_t minrvel = U(v.minrvel) - U(v.minrdvel);
        v.minrvel = static_cast<int32_t>(minrvel);
        const Move m = CommonMove(v, mv, minrvel, v.majrdisth, true);
        ProfileState = PS_DCC;
        StepVect<A>(b, m.major, m.minor, m.majrLeft);
    } else {
        v.currvel = 0;
        SVO_SetIsrState(ISRCREEP);
        CreepStep<A>(b);
    }
}

template <class A>
void ServoLayer::CreepStep(VdbData& b) {
    ProfileState = PS_CREEP;
    decltype(auto) v = VectView(A{}, b.vect);
    const uint8_t oct = b.octant & 7;
    const int32_t remMajor = v.majrdisth;
    if (remMajor < A::Get(IsrCreepVel)) {
        // End point reached: land exactly on it (a negative remainder takes back an overshoot).
        const int32_t remMinor = v.minrdisth;
        const uint16_t delay = v.end_delay;
        const FinishedBlock finished = Explaining ? FinishedOf(&b) : FinishedBlock{};
        VdbData* nxt = b.next;
        b.cmd = 0;
        EndDelayCount = delay;
        SVO_SetIsrState(delay != 0 ? ISRDELAY : ISRHOLD);
        SVO_SetVectPtr(nxt);
        OctStep(oct, remMajor, remMinor);
        if (Explaining) BookSegmentEnd(finished);
        return;
    }
    const uint32_t vel = CreepVelocity(v);
    if (vel == 0) {
        Stall(b);
        return;
    }
    const Move m = CommonMove(v, vel, U(v.minrvel), remMajor, true);
    OctStep(oct, m.major, m.minor);
}

template void ServoLayer::AccStep<SharedAccess>(VdbData&);
template void ServoLayer::AccStep<SoleAccess>(VdbData&);
template void ServoLayer::SlewStep<SharedAccess>(VdbData&);
template void ServoLayer::SlewStep<SoleAccess>(VdbData&);
template void ServoLayer::DccStep<SharedAccess>(VdbData&);
template void ServoLayer::DccStep<SoleAccess>(VdbData&);
template void ServoLayer::CreepStep<SharedAccess>(VdbData&);
template void ServoLayer::CreepStep<SoleAccess>(VdbData&);

}  // namespace corvanta

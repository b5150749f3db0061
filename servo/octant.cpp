// Octant stepping of the commanded servo position and the corner hand-over.
#include "base/fixpt.h"
#include "servo/servo_layer.h"

namespace corvanta {

// Octant step: a = major movement, b = minor movement (servo units).  Bit 0 of
// the octant: Y is the major axis; bit 1: X moves negative; bit 2: Y moves
// negative.
void ServoLayer::OctStep(uint8_t oct, int32_t a, int32_t b) {
    const bool yMajor = (oct & 1u) != 0;
    const int32_t along_x = yMajor ? b : a;
    const int32_t along_y = yMajor ? a : b;
    SvoPosX = (oct & 2u) ? sub_wrap(SvoPosX, along_x) : add_wrap(SvoPosX, along_x);
    SvoPosY = (oct & 4u) ? sub_wrap(SvoPosY, along_y) : add_wrap(SvoPosY, along_y);
}

void ServoLayer::SVO_SetVectPtr(VdbData* b) { SVO_VectPtr = b; }

static uint32_t U32(int32_t x) { return static_cast<uint32_t>(x); }

// (slope x distance) >> 16: signed product, arithmetic shift.
static int32_t SlopePart(uint16_t slope, int32_t dist) { return mul_wrap(slope, dist) >> 16; }
// (dvel & ~3) x currvel, wrapping.
static int32_t MaskedDvel(int32_t dvel, uint16_t currvel) { return mul_wrap(dvel & ~3, currvel); }

// Credits an overshoot (a negative distance d of the old vector) to the next
// one: its major distance takes d, its minor distance the slope's share t of
// d, which is returned.
int32_t ServoLayer::CarryDistance(VectData& nv, int32_t d) {
    nv.majrdisth += d;
    const int32_t t = SlopePart(nv.slope, d);
    nv.minrdisth += t;
    return t;
}

// The next vector starts at the inherited velocity step currvel: its
// velocities grow by currvel increments (the minor increment masked to a
// multiple of 4 unless the major axis changed), and it accelerates.
void ServoLayer::Accelerate(VectData& nv, uint16_t currvel, bool maskMinor) {
    nv.minrvel += maskMinor ? MaskedDvel(nv.minrdvel, currvel) : mul_wrap(nv.minrdvel, currvel);
    nv.majrvel += MaskedDvel(nv.majrdvel, currvel);
    SVO_SetIsrState(ISRACC);
}

void ServoLayer::SVO_StepVect(int32_t major, int32_t minor) {
    VdbData& cur = *SVO_VectPtr.load();
    StepVect<SharedAccess>(cur, major, minor, cur.vect.majrdisth);
}

template <class A>
void ServoLayer::StepVect(VdbData& cur, int32_t major, int32_t minor, int32_t majrLeft) {
    if (majrLeft > 0 || VectView(A{}, cur.vect).cnrvel == 0)
        OctStep(cur.octant & 7, major, minor);
    else
        HandOver(cur, major, minor);
}
template void ServoLayer::StepVect<SharedAccess>(VdbData&, int32_t, int32_t, int32_t);
template void ServoLayer::StepVect<SoleAccess>(VdbData&, int32_t, int32_t, int32_t);

// The end of a vector that continues at a corner velocity: hand over.
void ServoLayer::HandOver(VdbData& cur, int32_t major, int32_t minor) {
    VectData& cv = cur.vect;
    const int32_t curMajr = cv.majrdisth;
    if (curMajr < 0 && cv.acc_index == ACC_INDEX_DOUBLED) {
        // Undo the rate doubling before the profile is carried over.
        cv.majrdvel = static_cast<int32_t>(static_cast<uint32_t>(cv.majrdvel.load()) >> 1);
        cv.minrdvel = static_cast<int32_t>(static_cast<uint32_t>(cv.minrdvel.load()) >> 1);
        cv.currvel = static_cast<uint16_t>(cv.currvel * 2);
        cv.acclcount = static_cast<uint16_t>(cv.acclcount * 2);
        const uint64_t d = join_48_16(cv.high_ddr, cv.ddr) << 1;
        cv.high_ddr = high_48_16(d);
        cv.ddr = low_48_16(d);
        cv.acc_index = 0;
    }
    // Everything the hand-over needs from cur is read before cur is freed.
    const int32_t curMinr = cv.minrdisth;
    const uint16_t curVel = cv.currvel;
    const uint32_t curHigh = cv.high_ddr, curLow = cv.ddr;
    const int32_t curMajrvel = cv.majrvel;
    const uint8_t curOct = cur.octant & 7;
    if (U32(curMajrvel) > BlockPeakVel) BlockPeakVel = U32(curMajrvel);
    const FinishedBlock finished = Explaining ? FinishedOf(&cur) : FinishedBlock{};
    VdbData* nxt = cur.next;
    cur.cmd = 0;
    SVO_SetVectPtr(nxt);
    VectData& nv = nxt->vect;
    const uint8_t nxtOct = nxt->octant & 7;

    if (curMajr == 0) {
        // Exactly at the end point: the tick still moves in the old direction.
        if (curVel != 0) {
            nv.currvel = curVel;
            nv.high_ddr = curHigh;
            nv.ddr = curLow;
            nv.minrvel += MaskedDvel(nv.minrdvel, curVel);
            nv.majrvel = curMajrvel;
            SVO_SetIsrState(ISRACC);
        } else {
            SVO_SetIsrState(ISRHOLD);
        }
        OctStep(curOct, major, add_wrap(minor, curMinr));
        if (Explaining) BookSegmentEnd(finished);
        return;
    }

    // Overshot: carry the profile and credit the overshoot to the next vector.
    nv.currvel = curVel;
    nv.high_ddr = curHigh;
    nv.ddr = curLow;
    const int diff = curOct - nxtOct;
    if (diff == 0) {
        minor = add_wrap(minor, curMinr);
        minor = sub_wrap(minor, CarryDistance(nv, curMajr));
        Accelerate(nv, curVel, true);
        OctStep(nxtOct, major, minor);
        if (Explaining) BookSegmentEnd(finished);
    } else if (diff & 1) {
        // The major axis changes: the two movements swap roles.
        int32_t m = add_wrap(major, curMajr);
        if (curMinr > 0)
            minor = add_wrap(minor, curMinr);
        else
            m = sub_wrap(m, CarryDistance(nv, curMinr));
        Accelerate(nv, curVel, false);
        OctStep(nxtOct, minor, m);
        if (Explaining) BookSegmentEnd(finished);
    } else {
        // Same major axis, other signs.
        minor = add_wrap(minor, curMinr);
        minor = add_wrap(minor, CarryDistance(nv, curMajr));
        Accelerate(nv, curVel, true);
        OctStep(nxtOct, major, sub_wrap(0, minor));
        if (Explaining) BookSegmentEnd(finished);
    }
}

}  // namespace corvanta

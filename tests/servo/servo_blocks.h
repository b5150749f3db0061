// Hand-built blocks for the servo tests: the vect fields the vector planner
// would fill, with the defaults of a plain vector in vector mode.
#pragma once
#include <tuple>

#include "support/test_support.h"

namespace servo_test {

using namespace corvanta_test;

constexpr int32_t U23 = 1 << 23;             // one servo unit per tick as a 9.23 velocity
constexpr uint32_t kDdr63 = (64 - 1) << 16;  // D of a new vector in vector mode: 63 units

struct Vec {  // creep 16/16: one unit per creep tick
    uint8_t octant = 0;
    int32_t majr = 0, minr = 0, majrvel = 0, majrdvel = 0, minrvel = 0, minrdvel = 0;
    uint16_t acclcount = 0, currvel = 0, slope = 0, cnrvel = 0, end_delay = 0;
    uint32_t creep = 16, psuedodist = 0, ddr = kDdr63, high_ddr = 0, acc_index = 0;
};

// Several values as one comparable, printable tuple.
template <class... T>
auto Vals(const T&... v) {
    return std::tuple(static_cast<int64_t>(v)...);
}

// A started, armed XR7 machine and the servo position it started at.
class ServoTest : public MachineTest {
protected:
    const int32_t X0 = SvoPosX, Y0 = SvoPosY;
    int64_t DX() const { return int64_t{SvoPosX} - X0; }
    int64_t DY() const { return int64_t{SvoPosY} - Y0; }

    // Takes the next ring block, fills it as the planner would and hands it over.
    VdbData* QueueVector(const Vec& v) {
        VdbData* b = GetFreeVdb();
        VectData& d = b->vect;
        b->octant = v.octant;
        d.majrdisth = v.majr, d.minrdisth = v.minr, d.majrfract = 0, d.minrfract = 0, d.acc_index = v.acc_index;
        d.majrvel = v.majrvel, d.majrdvel = v.majrdvel, d.minrvel = v.minrvel, d.minrdvel = v.minrdvel;
        d.acclcount = v.acclcount, d.currvel = v.currvel, d.creep = v.creep, d.slope = v.slope, d.cnrvel = v.cnrvel;
        d.psuedodist = v.psuedodist, d.end_delay = v.end_delay, d.ddr = v.ddr, d.high_ddr = v.high_ddr;
        d.notesPrinted = 0;
        b->cmd = VECTOR;
        sendvdb(b);
        return b;
    }
    VdbData* QueuePen(uint8_t kind) {
        VdbData* b = GetFreeVdb();
        b->cmd = kind;
        sendvdb(b);
        return b;
    }
    // v current and already in `state` (stored directly: these tests start in
    // the middle of a vector).
    VdbData* MidVector(const Vec& v, int16_t state) {
        VdbData* b = QueueVector(v);
        IsrState = state;
        return b;
    }
};

// One fresh machine per row of a table of cases.
template <class Case>
class ServoCases : public ServoTest, public testing::WithParamInterface<Case> {};

}  // namespace servo_test

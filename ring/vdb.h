// The vector data block (VDB) and the online ring shared with the servo side.
//
// Ownership of the ring:
//  - The planner (main thread) takes the block at `freeptr` once its `cmd` is
//    0, fills it, writes `cmd` last and hands it over with sendvdb().  It is
//    the only writer of `freeptr`, of a block's header fields and of every
//    vect field up to the hand-over.
//  - The servo side (tick thread) executes blocks in ring order from
//    SVO_VectPtr, writes the run-time fields of the block it executes (and of
//    the next one at a corner hand-over), and frees a block by storing 0 into
//    its `cmd`.
//  - While a block is queued or executing the planner may still rewrite its
//    end_delay, anglediff, cnrvel, psuedodist and smoothCnt (look-back passes).
//  - SVO_VectPtr is written by the planner only while it is null (start), by
//    the servo side otherwise (advance, idle).
// Every field either side may touch while the other runs is an Atom (acquire
// loads, release stores); `cmd` is stored last when filling, so a block seen
// busy is seen whole.
#pragma once
#include <cstdint>

#include "base/atom.h"

namespace corvanta {

// Block kinds: the low five bits of cmd.
enum VdbKind : uint8_t {
    NULL_CMD = 0,
    SHORT_PEN_UP = 1,
    SHORT_PEN_DOWN = 2,
    VECTOR = 3,
    PEN_UP_CAL = 4,
    LONG_PEN_UP = 5,
    LONG_PEN_DOWN = 6,
    STEPPER_MOVE = 7,
    FIND_INDEX = 8,
    CHECK_TURRET = 9,
    SOFTLANDING_PEN_DOWN = 10,
    TPH_UP_VECTOR = 11,
    TPH_DN_VECTOR = 12,
    PLAN_MOVE = 13,
};
constexpr int VDB_KIND_COUNT = 14;
constexpr uint8_t VDB_KIND_MASK = 0x1F;                      // the kind bits of cmd
extern const char* const VdbKindTraceNames[VDB_KIND_COUNT];  // "Free", "S-PenUp", ...

// Vector data of a VECTOR block.  Distances in servo units, velocities in
// servo units per tick.
struct VectData {
    Atom<uint16_t> slope;           // minor / major distance, unsigned 0.16 (0xFFFF when equal)
    Atom<int32_t> majrdisth;        // remaining major distance, whole servo units, signed
    Atom<uint32_t> majrfract;       // major position fraction, 2^-23 units (23 bits)
    Atom<int32_t> minrdisth;        // remaining minor distance, whole servo units, signed
    Atom<uint32_t> minrfract;       // minor position fraction, 2^-23 units (23 bits)
    Atom<uint16_t> acclcount;       // target (slew) velocity, acceleration steps
    Atom<uint16_t> currvel;         // current velocity, acceleration steps
    Atom<int32_t> minrdvel;         // minor velocity change per acceleration step, 9.23
    Atom<uint32_t> minrdvel_fract;  // not used
    Atom<int32_t> minrvel;          // minor velocity, 9.23 (used unsigned by the profile)
    Atom<uint32_t> minrvel_fract;   // not used
    Atom<int32_t> majrdvel;         // major velocity change per acceleration step, 9.23 (= accel Q14 x 512)
    Atom<int32_t> majrvel;          // major velocity, 9.23 (used unsigned by the profile)
    Atom<uint32_t> creep;           // creep velocity, 2^-4 servo units per tick
    Atom<uint16_t> angle;           // direction, whole degrees 0..360 from +X toward +Y
    Atom<uint16_t> relativeAngle;   // change of direction from the previous vector, degrees 0..180
    Atom<int32_t> anglediff;        // smoothed change of direction, degrees, 16.16
    Atom<uint16_t> cnrvel;          // corner (exit) velocity, acceleration steps
    Atom<uint32_t> psuedodist;      // extra remaining distance when continuing at cnrvel, servo units
    Atom<uint32_t> ddr;             // deceleration distance D, bits 0..31 (D is unsigned 48.16 servo units)
    Atom<uint32_t> high_ddr;        // D, bits 32..63
    Atom<uint16_t> end_delay;       // ticks of delay after the vector
    Atom<uint8_t> xcrash, ycrash;   // not used
    Atom<int32_t> dx, dy;           // deltas in plotbed units as planned
    Atom<int32_t> acc_index;        // rate-doubling stage: 0..ACC_INDEX_LAST counting, ACC_INDEX_DOUBLED once doubled
    Atom<int32_t> smoothCnt;        // times a later vector raised cnrvel
    Atom<int32_t> smoothLoop1;      // earlier vectors rewritten by angle smoothing
    Atom<int32_t> smoothLoop2;      // corner-pass steps made when planned
    Atom<int32_t> vectIdx;          // not maintained
    // Console notes of the servo side already printed for this block (the
    // remaining-distance and starved-planner diagnostics print once per block).
    // Cleared by the planner when it fills the block; servo side otherwise.
    Atom<uint8_t> notesPrinted;  // NOTE_DISTH_LARGE | NOTE_STARVED
};

// The run-time fields of a VectData that the servo's tick steps use, as plain
// words (SoleAccess in base/atom.h): the same step code reads and writes them
// by the same names, as plain int and unsigned lvalues (so every arithmetic
// on them wraps explicitly).  A view costs nothing: its references are the
// block's address plus fixed offsets.
struct SoleVect {
    explicit SoleVect(VectData& v)
        : majrdisth(v.majrdisth.raw),
          majrfract(v.majrfract.raw),
          minrdisth(v.minrdisth.raw),
          minrfract(v.minrfract.raw),
          acclcount(v.acclcount.raw),
          currvel(v.currvel.raw),
          minrdvel(v.minrdvel.raw),
          minrvel(v.minrvel.raw),
          majrdvel(v.majrdvel.raw),
          majrvel(v.majrvel.raw),
          creep(v.creep.raw),
          cnrvel(v.cnrvel.raw),
          psuedodist(v.psuedodist.raw),
          ddr(v.ddr.raw),
          high_ddr(v.high_ddr.raw),
          end_delay(v.end_delay.raw),
          acc_index(v.acc_index.raw),
          notesPrinted(v.notesPrinted.raw),
          shared(v) {}
    int32_t& majrdisth;
    uint32_t& majrfract;
    int32_t& minrdisth;
    uint32_t& minrfract;
    uint16_t& acclcount;
    uint16_t& currvel;
    int32_t& minrdvel;
    int32_t& minrvel;
    int32_t& majrdvel;
    int32_t& majrvel;
    uint32_t& creep;
    uint16_t& cnrvel;
    uint32_t& psuedodist;
    uint32_t& ddr;
    uint32_t& high_ddr;
    uint16_t& end_delay;
    int32_t& acc_index;
    uint8_t& notesPrinted;
    VectData& shared;  // the block's data itself, for the rare steps written once, on shared words
};
// The tick steps' view of a block's vect under an access policy.
inline VectData& VectView(SharedAccess, VectData& v) { return v; }
inline SoleVect VectView(SoleAccess, VectData& v) { return SoleVect(v); }
// The block's data itself, from either view.
inline VectData& SharedVect(VectData& v) { return v; }
inline VectData& SharedVect(const SoleVect& v) { return v.shared; }

// VectData::notesPrinted bits.
constexpr uint8_t NOTE_DISTH_LARGE = 1;  // "disth > 0x1000000" printed
constexpr uint8_t NOTE_STARVED = 2;      // the starved-planner note printed

struct VdbData {
    VdbData* next;      // next block of the ring (fixed at reset)
    VdbData* prev;      // previous block of the ring (fixed at reset)
    Atom<uint8_t> cmd;  // kind in the low five bits; 0 = free.  Planner sets, servo clears.
    uint8_t octant;     // bit0: Y major, bit1: dx < 0, bit2: dy < 0
    uint8_t blockIdx;   // 0..19 online, 20..39 offline
    uint8_t kind;       // copy of cmd's kind made at hand-over; 0 when taken
    VectData vect;
};

constexpr int VDB_RING_SIZE = 20;
// The rate-doubling stage of a vector: acc_index counts acceleration ticks up
// to ACC_INDEX_LAST, then the rates are doubled once and it stays at
// ACC_INDEX_DOUBLED (which also stops the corner pass at this block).
constexpr int32_t ACC_INDEX_LAST = 20;
constexpr int32_t ACC_INDEX_DOUBLED = 21;

inline uint8_t VdbCmdKind(const VdbData* b) { return static_cast<uint8_t>(b->cmd.load() & VDB_KIND_MASK); }
inline bool VdbIsVector(const VdbData* b) { return VdbCmdKind(b) == VECTOR; }

constexpr int RECORD_TEXT_LEN = 96;  // a command-file record as failure messages quote it

}  // namespace corvanta

// The online and offline block rings as start-up leaves them, and the
// take / hand-over operations on them.
#include "fwShare/servo/isr.h"
#include "planner/vdb.h"
#include "support/test_support.h"

using namespace corvanta_test;
using P = std::vector<const void*>;

namespace {

TEST(VdbRing, ResetLinksTwoRingsOfTwenty) {
    StartMachine(ModelXR7, false);
    EXPECT_EQ((P{freeptr, offline_freeptr}), (P{&VdbOnline[0], &VdbOffline[0]}));
    for (int i = 0; i < VDB_RING_SIZE; ++i) {
        const int n = (i + 1) % VDB_RING_SIZE;
        EXPECT_EQ((std::vector<int>{VdbOnline[i].blockIdx, VdbOffline[i].blockIdx}), (std::vector<int>{i, 20 + i}));
        EXPECT_EQ((P{VdbOnline[i].next, VdbOnline[n].prev, VdbOffline[i].next, VdbOffline[n].prev}),
                  (P{&VdbOnline[n], &VdbOnline[i], &VdbOffline[n], &VdbOffline[i]}))
            << i;
    }
}

// A taken block is stamped and its kind cleared; its vector data is not.
// sendvdb copies the low five bits of cmd and starts only an idle servo, only when piped.
TEST(VdbRing, TakeAndHandOver) {
    StartMachine(ModelXR7, false);
    VdbOnline[0].kind = VECTOR, VdbOnline[0].vect.dx = 77, IsrTick = 1234;
    VdbData *b = GetFreeVdb(), *c = &VdbOnline[1];
    EXPECT_EQ((P{b, freeptr}), (P{&VdbOnline[0], &VdbOnline[1]}));
    EXPECT_EQ((std::vector<int64_t>{b->kind, b->takenTick, b->vect.dx.load()}), (std::vector<int64_t>{0, 1234, 77}));
    const struct { VdbData* blk; uint8_t cmd; int32_t pipe; int kind; VdbData* current; } steps[] = {
        {b, 0, 1, 0, nullptr}, {b, VECTOR | 0x20, 0, VECTOR, nullptr}, {b, VECTOR | 0x20, 1, VECTOR, b},
        {c, SHORT_PEN_UP, 1, SHORT_PEN_UP, b}};   // servo busy: c waits behind b
    for (const auto& s : steps) {
        s.blk->cmd = s.cmd;
        pipeflag = s.pipe;
        sendvdb(s.blk);
        EXPECT_EQ(s.blk->kind, s.kind);
        EXPECT_EQ(SVO_VectPtr.load(), s.current);
    }
    SVO_VectPtr = nullptr;
}

// Deterministic schedule: with all twenty blocks queued the planner's wait
// runs the servo until the block at freeptr is free.
TEST(VdbRing, FullRingWaitsForTheServo) {
    StartMachine(ModelXR7, true);
    for (int i = 0; i < VDB_RING_SIZE; ++i) {
        VdbData* b = GetFreeVdb();
        b->cmd = i % 2 ? SHORT_PEN_UP : SHORT_PEN_DOWN, sendvdb(b);
    }
    EXPECT_EQ(IsrTick.load(), 0u);
    EXPECT_EQ(GetFreeVdb(), &VdbOnline[0]);
    EXPECT_GT(IsrTick.load(), 0u);
    EXPECT_EQ(VdbOnline[1].cmd.load(), SHORT_PEN_UP);
}

}  // namespace

// The online and offline block rings as start-up leaves them, and the
// take / hand-over / idle-wait operations on them.
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "planner/vdb.h"
#include "support/test_support.h"

using namespace corvanta_test;

namespace {

TEST(VdbRing, ResetLinksTwoRingsOfTwenty) {
    StartMachine(ModelXR7, false);
    EXPECT_EQ(freeptr, &VdbOnline[0]);
    EXPECT_EQ(offline_freeptr, &VdbOffline[0]);
    for (int i = 0; i < VDB_RING_SIZE; ++i) {
        EXPECT_EQ((std::vector<int>{VdbOnline[i].blockIdx, VdbOffline[i].blockIdx}), (std::vector<int>{i, 20 + i}));
        EXPECT_EQ(VdbOnline[i].prev, &VdbOnline[(i + 19) % 20]);
        EXPECT_EQ(VdbOffline[i].next, &VdbOffline[(i + 1) % 20]);
        const VdbData *fwd = &VdbOnline[i], *back = &VdbOnline[i];
        int steps = 0;
        do {
            fwd = fwd->next;
            back = back->prev;
        } while (++steps < 100 && fwd != &VdbOnline[i]);
        EXPECT_EQ(steps, 20);
        EXPECT_EQ(back, &VdbOnline[i]);
    }
}

// A taken block is stamped and its kind cleared; its vector data is not.
TEST(VdbRing, GetFreeVdbKeepsThePreviousVectorData) {
    StartMachine(ModelXR7, false);
    VdbOnline[0].kind = VECTOR;
    VdbOnline[0].vect.dx = 77;
    IsrTick = 1234;
    VdbData* b = GetFreeVdb();
    EXPECT_EQ(b, &VdbOnline[0]);
    EXPECT_EQ(freeptr, &VdbOnline[1]);
    EXPECT_EQ((std::vector<int64_t>{b->kind, b->takenTick, b->vect.dx.load()}), (std::vector<int64_t>{0, 1234, 77}));
}

TEST(VdbRing, SendvdbStartsAnIdleServoOnlyWhenPiped) {
    StartMachine(ModelXR7, false);
    VdbData* b = GetFreeVdb();
    pipeflag = 1;
    sendvdb(b);                        // cmd 0: kind 0, never starts the servo
    EXPECT_EQ(b->kind, 0);
    EXPECT_EQ(SVO_VectPtr.load(), nullptr);
    b->cmd = VECTOR | 0x20;            // only the low five bits are the kind
    pipeflag = 0;
    sendvdb(b);
    EXPECT_EQ(b->kind, VECTOR);
    EXPECT_EQ(SVO_VectPtr.load(), nullptr);
    pipeflag = 1;
    sendvdb(b);
    EXPECT_EQ(SVO_VectPtr.load(), b);
    VdbData* c = GetFreeVdb();
    c->cmd = SHORT_PEN_UP;
    sendvdb(c);                        // servo busy: c waits behind b
    EXPECT_EQ(c->kind, SHORT_PEN_UP);
    EXPECT_EQ(SVO_VectPtr.load(), b);
    SVO_VectPtr = nullptr;
}

TEST(VdbRing, WaitServoIdleTruncatesTowardZero) {
    StartMachine(ModelXR7, false);
    for (const auto& c : {std::pair{-7, -1}, {-4, -1}, {-3, 0}, {7, 1}}) {
        SvoPosX = c.first;
        SvoPosY = -c.first;
        WaitServoIdle();
        EXPECT_EQ(positionx, c.second) << c.first;
        EXPECT_EQ(positiony, -c.second) << c.first;
    }
}

// Deterministic schedule: with all twenty blocks queued the planner's wait
// runs the servo until the block at freeptr is free.
TEST(VdbRing, FullRingWaitsForTheServo) {
    StartMachine(ModelXR7, true);
    for (int i = 0; i < VDB_RING_SIZE; ++i) {
        VdbData* b = GetFreeVdb();
        b->cmd = i % 2 ? SHORT_PEN_UP : SHORT_PEN_DOWN;
        sendvdb(b);
    }
    EXPECT_EQ(IsrTick.load(), 0u);
    EXPECT_EQ(GetFreeVdb(), &VdbOnline[0]);
    EXPECT_GT(IsrTick.load(), 0u);
    EXPECT_EQ(VdbOnline[1].cmd.load(), SHORT_PEN_UP);
    DrainServo();
    EXPECT_EQ(SVO_VectPtr.load(), nullptr);
}

}  // namespace

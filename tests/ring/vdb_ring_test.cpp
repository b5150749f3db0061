// Taking blocks from the online ring and handing them over to the servo side.
#include <cstring>

#include "support/test_support.h"

using namespace corvanta_test;
using P = std::vector<const void*>;

namespace {

using VdbRing = MachineTest;

// A taken block is stamped with the record that queued it and its kind is
// cleared; its vector data is not.  sendvdb copies the low five bits of cmd
// and starts only an idle servo, only when piped.
TEST_F(VdbRing, TakeAndHandOver) {
    VdbOnline[0].kind = VECTOR, VdbOnline[0].vect.dx = 77;
    CurRecordNo = 12;
    std::strcpy(CurRecordText, "pd_default 5 6");
    VdbData *b = GetFreeVdb(), *c = &VdbOnline[1];
    EXPECT_EQ((P{b, freeptr}), (P{&VdbOnline[0], &VdbOnline[1]}));
    EXPECT_EQ((std::vector<int64_t>{b->kind, b->vect.dx.load(), VdbRecordNo[0]}), (std::vector<int64_t>{0, 77, 12}));
    EXPECT_STREQ(VdbRecordText[0], "pd_default 5 6");
    const struct {
        VdbData* blk;
        uint8_t cmd;
        int32_t pipe;
        int kind;
        VdbData* current;
    } steps[] = {{b, 0, 1, 0, nullptr},
                 {b, VECTOR | 0x20, 0, VECTOR, nullptr},
                 {b, VECTOR | 0x20, 1, VECTOR, b},
                 {c, SHORT_PEN_UP, 1, SHORT_PEN_UP, b}};  // servo busy: c waits behind b
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
TEST_F(VdbRing, FullRingWaitsForTheServo) {
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

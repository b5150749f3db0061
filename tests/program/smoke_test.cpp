#include "support/test_support.h"

using namespace corvanta_test;

TEST(ProgramSmoke, EmptyJobGivesZeroTime) {
    TempDir dir;
    WriteFile(dir / "Corvanta.cmd", "");
    RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--deterministic", dir.path.string()}, dir.path);
    EXPECT_EQ(r.exitCode, 0);
    auto lines = StatusFileLines(ReadFile(dir / "Corvanta.sts"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "CVQX_OK");
    EXPECT_EQ(lines[2], "0");
}

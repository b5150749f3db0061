// Geometry of the HP-GL reader: scaling, rotation, relative moves, arcs, PE; labels; pens and speeds.
#include <gtest/gtest.h>

#include <cmath>

#include "hpgl_test_util.h"

using corvanta::hpgl::Convert;
using namespace hpgl_test;

namespace {

TEST(HpglMoves, FourInchLineIsOnePenDownMove) {
    const auto c = Convert("IN;SC0,100,0,100;IP0,0,4064,4064;PA0,0;PD100,0;");
    const auto r = Records(c.commands);
    ASSERT_EQ(r.size(), 4u) << c.commands;
    EXPECT_EQ(c.commands, "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 4064 0\npu_default 0 0\n");
    EXPECT_EQ(c.records, 4u);
    EXPECT_DOUBLE_EQ(c.drawnMm, 101.6);
}

TEST(HpglFrame, MapsTheSegment) {
    struct Case {
        const char* plot;
        int64_t x0, y0, x1, y1;  // the one pen-down segment, physical plotter units
    };
    const Case cases[] = {
        {"IP0,0,8000,4000;SC0,100,0,100;PA0,0;PD100,100;", 0, 0, 8000, 4000},
        // Isotropic: 40 units per user unit; the spare units are shared out by the left / bottom percentage.
        {"IP0,0,8000,4000;SC0,100,0,100,1;PA0,0;PD100,100;", 2000, 0, 6000, 4000},
        {"IP0,0,4000,8000;SC0,100,0,100,1,50,25;PA0,0;PD100,100;", 0, 1000, 4000, 5000},
        // RO turns the frame counterclockwise on the page (the bed, 29840 x 18800).
        {"RO90;PA0,0;PD1000,0;", 29840, 0, 29840, 1000},
        {"RO180;PA0,0;PD1000,0;", 29840, 18800, 28840, 18800},
        {"RO270;PA0,0;PD1000,0;", 0, 18800, 0, 17800},
    };
    for (const Case& k : cases) {
        const auto d = DrawnMoves(Convert(k.plot).commands);
        ASSERT_EQ(d.size(), 1u) << k.plot;
        EXPECT_EQ((std::vector<int64_t>{d[0].x0, d[0].y0, d[0].x1, d[0].y1}),
                  (std::vector<int64_t>{k.x0, k.y0, k.x1, k.y1}))
            << k.plot;
    }
}

TEST(HpglMoves, RelativeMovesNeverDrift) {
    // 1000 moves of 0.4 units end at 400 exactly; each written move is the rounded position's step.
    std::string plot = "SP1;PD;PR";
    for (int i = 0; i < 1000; ++i) plot += "0.4,0.4,";
    const auto moves = DrawnMoves(Convert(plot).commands);
    int64_t sx = 0, sy = 0;
    for (const Move& m : moves) {
        sx += m.dx(), sy += m.dy();
        EXPECT_TRUE(m.dx() == 1 && m.dy() == 1);
    }
    EXPECT_EQ((std::vector<int64_t>{sx, sy, static_cast<int64_t>(moves.size())}),
              (std::vector<int64_t>{400, 400, 400}));
}

TEST(HpglArcs, CircleAndArcsWithinChordTolerance) {
    struct Case {
        const char* plot;
        double cx, cy, r, sweepDeg;
        std::size_t chords;
        int64_t endX, endY;
    };
    // CT 1: chords within 2 units of the circle: chord angle 2 acos(1 - 2/4000), 100 chords.  The drawn length
    // falls short of the true one by at most theta^2/24 of it, plus at most 1 unit of rounding per chord.
    const Case cases[] = {
        {"SP1;CT1;PA10000,9000;CI4000,2;", 10000, 9000, 4000, 360, 100, 14000, 9000},
        {"SP1;PA3000,1000;PD;AA1000,1000,90,1;", 1000, 1000, 2000, 90, 90, 1000, 3000},
        {"SP1;PA3000,1000;PD;AR-2000,0,-90;", 1000, 1000, 2000, 90, 18, 1000, -1000},
        // AT: through (1000,1000) to (2000,0): the upper half of the circle about (1000,0), clockwise.
        {"SP1;PA0,0;PD;AT1000,1000,2000,0,2;", 1000, 0, 1000, 180, 90, 2000, 0},
    };
    for (const Case& k : cases) {
        const auto d = DrawnMoves(Convert(k.plot).commands);
        ASSERT_FALSE(d.empty()) << k.plot;
        double drawn = 0, worstRadius = 0;
        for (const Move& m : d) {
            drawn += std::hypot(m.dx(), m.dy());
            worstRadius = std::max(worstRadius, std::fabs(std::hypot(m.x1 - k.cx, m.y1 - k.cy) - k.r));
        }
        const double truth = k.r * k.sweepDeg * M_PI / 180, theta = k.sweepDeg * M_PI / 180 / k.chords;
        EXPECT_EQ(d.size(), k.chords) << k.plot;
        EXPECT_LE(worstRadius, 0.75) << k.plot;
        EXPECT_NEAR(drawn, truth, truth * theta * theta / 24 + d.size()) << k.plot;
        EXPECT_EQ((std::vector<int64_t>{d.back().x1, d.back().y1}), (std::vector<int64_t>{k.endX, k.endY})) << k.plot;
    }
}

TEST(HpglPolylineEncoded, DrawsTheDecodedPath) {
    // Pen 2 (':c'), an absolute pen-up point ('<=') at 1000,1000, then relative points 500,0 and -500,500.
    const auto c = Convert("IN;PE7:c<=O]`O]`G~_H~G~;PU;");
    EXPECT_EQ(c.commands,
              "CorvantaCmdVer 1\nexecute_penselect 2\npu_default 1000 1000\npd_default 500 0\n"
              "pd_default -500 500\npu_default 0 0\n");
}

TEST(HpglLabel, KnownStrokes) {
    // Characters 400 units wide and high at (1000,1000); each pen-down move as x0, y0, dx, dy.  'I' is one
    // stroke down the middle; 'L' a stem 6/14 of the width left of the middle and a foot; cells 1.5 wide.
    const std::pair<const char*, std::vector<int64_t>> cases[] = {
        {"LBL\x03", {1029, 1400, 0, -400, 1029, 1000, 342, 0}},
        {"LBII\x03", {1200, 1400, 0, -400, 1800, 1400, 0, -400}},
        {"DI0,1;LBI\x03", {600, 1200, 400, 0}},
    };
    for (const auto& [plot, expected] : cases) {
        const auto c = Convert(std::string("SP1;PA1000,1000;SI1,1;") + plot);
        std::vector<int64_t> drawn;
        for (const Move& m : DrawnMoves(c.commands)) drawn.insert(drawn.end(), {m.x0, m.y0, m.dx(), m.dy()});
        EXPECT_EQ(drawn, expected) << c.commands;
    }
}

std::string Speeds(int all, int pen = 0, int speed = 0) {
    std::string s = "VectorSpeed";
    for (int i = 1; i <= 16; ++i) s += ' ' + std::to_string(i == pen ? speed : all);
    return s + "\n";
}

TEST(HpglPens, SelectionsAndSpeedTables) {
    // VS is in cm/s; the table is in thousandths of 104.14 cm/s.  Cuts are grouped by pen, pens ascending, and
    // the pen is lifted before each selection and at the end.
    const std::pair<const char*, std::string> cases[] = {
        {"SP2;PD1,0;", "execute_penselect 2\npd_default 1 0\npu_default 0 0\n"},
        {"SP2;PA0,0;PD10,0;SP1;PD10,10;",
         "execute_penselect 1\npu_default 10 0\npd_default 0 10\npu_default 0 0\nexecute_penselect 2\n"
         "pu_default -10 -10\npd_default 10 0\npu_default 0 0\n"},
        {"VS36;", Speeds(346)},
        {"VS10,3;", Speeds(500, 3, 96)},
        {"VS200;", Speeds(1000)},
        // A plot that moves before any SP gets pen 1 first.
        {"PU100,100;PD200,200;", "execute_penselect 1\npu_default 100 100\npd_default 100 100\npu_default 0 0\n"},
        // One table before the cuts; a pen's last VS holds for all its cuts.
        {"VS10;PD5,0;VS20;", Speeds(192) + "execute_penselect 1\npd_default 5 0\npu_default 0 0\n"},
    };
    for (const auto& [plot, records] : cases) EXPECT_EQ(Convert(plot).commands, "CorvantaCmdVer 1\n" + records) << plot;
    EXPECT_EQ(NoteCount(Convert("VS10;PD5,0;VS20;"), "speed changed"), 1u);
    EXPECT_EQ(NoteCount(Convert("VS10;VS20;PD5,0;"), "speed changed"), 0u);
}

}  // namespace

// Geometry of the HP-GL reader: scaling, rotation, moves and pen states, rounding, arcs, outlines, PE.
#include <gtest/gtest.h>

#include <cmath>

#include "hpgl/polyline_encoded.h"
#include "hpgl_test_util.h"

using corvanta::hpgl::Convert;
using namespace hpgl_test;

namespace {

TEST(HpglMoves, FourInchLineIsOnePenDownMove) {
    const auto c = Convert("IN;SC0,100,0,100;IP0,0,4064,4064;PA0,0;PD100,0;");
    const auto r = Records(c.commands);
    ASSERT_EQ(r.size(), 3u) << c.commands;
    EXPECT_EQ(c.commands, "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 4064 0\n");
    EXPECT_EQ(c.records, 3u);
    EXPECT_DOUBLE_EQ(c.drawnMm, 101.6);
}

// One pen-down segment after the set-up: where it starts and ends, physical plotter units.
struct SegmentCase {
    const char* name;
    const char* plot;
    int64_t x0, y0, x1, y1;
};

void PrintTo(const SegmentCase& k, std::ostream* os) { *os << k.name; }

class HpglFrame : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(HpglFrame, MapsTheSegment) {
    const SegmentCase& k = GetParam();
    const auto c = Convert(k.plot);
    const auto d = DrawnMoves(c.commands);
    ASSERT_EQ(d.size(), 1u) << c.commands;
    EXPECT_EQ((std::vector<int64_t>{d[0].x0, d[0].y0, d[0].x1, d[0].y1}),
              (std::vector<int64_t>{k.x0, k.y0, k.x1, k.y1}))
        << c.commands;
}

INSTANTIATE_TEST_SUITE_P(
    Scaling, HpglFrame,
    ::testing::Values(
        SegmentCase{"Anisotropic", "IP0,0,8000,4000;SC0,100,0,100;PA0,0;PD100,100;", 0, 0, 8000, 4000},
        // Isotropic: 40 units per user unit; the 4000 spare units of x are shared out by the left percentage.
        SegmentCase{"IsotropicCentred", "IP0,0,8000,4000;SC0,100,0,100,1;PA0,0;PD100,100;", 2000, 0, 6000, 4000},
        SegmentCase{"IsotropicLeft0", "IP0,0,8000,4000;SC0,100,0,100,1,0,0;PA0,0;PD100,100;", 0, 0, 4000, 4000},
        SegmentCase{"IsotropicLeft100", "IP0,0,8000,4000;SC0,100,0,100,1,100,0;PA0,0;PD100,100;", 4000, 0, 8000, 4000},
        SegmentCase{"IsotropicBottom25", "IP0,0,4000,8000;SC0,100,0,100,1,50,25;PA0,0;PD100,100;", 0, 1000, 4000, 5000},
        // Point factor: user (10,20) at P1, 4 and 8 plotter units per user unit; IP with one point keeps the
        // P1-P2 offset.
        SegmentCase{"PointFactor", "IP1000,2000;SC10,4,20,8,2;PA10,20;PD15,30;", 1000, 2000, 1020, 2080},
        SegmentCase{"MirroredP1P2", "IP8000,0,0,4000;SC0,100,0,100;PA0,0;PD100,100;", 8000, 0, 0, 4000},
        SegmentCase{"IpAfterScRescales", "SC0,100,0,100;IP0,0,4064,4064;PA0,0;PD50,25;", 0, 0, 2032, 1016},
        SegmentCase{"ScalingOff", "SC0,100,0,100;SC;PA0,0;PD100,100;", 0, 0, 100, 100},
        SegmentCase{"DfEndsScaling", "SC0,100,0,100;DF;PA0,0;PD100,100;", 0, 0, 100, 100},
        // IR: per cent of the page (the bed, 29840 x 18800).
        SegmentCase{"InputRelative", "IR0,0,50,50;SC0,1,0,1;PA0,0;PD1,1;", 0, 0, 14920, 9400},
        SegmentCase{"RelativeUserMoves", "IP0,0,8000,4000;SC0,100,0,100;PA10,10;PD;PR10,10;", 800, 400, 1600, 800},
        SegmentCase{"DegenerateScIgnored", "SC0,0,0,100;PA0,0;PD7,7;", 0, 0, 7, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// RO turns the frame counterclockwise on the page (the bed): the rotated page covers the bed.
INSTANTIATE_TEST_SUITE_P(
    Rotation, HpglFrame,
    ::testing::Values(SegmentCase{"Ro0", "RO0;PA0,0;PD1000,0;", 0, 0, 1000, 0},
                      SegmentCase{"Ro90", "RO90;PA0,0;PD1000,0;", 29840, 0, 29840, 1000},
                      SegmentCase{"Ro180", "RO180;PA0,0;PD1000,0;", 29840, 18800, 28840, 18800},
                      SegmentCase{"Ro270", "RO270;PA0,0;PD1000,0;", 0, 18800, 0, 17800},
                      // P1/P2 set before RO keep their places on the page.
                      SegmentCase{"IpKeptThroughRo", "IP1000,1000,5000,3000;RO90;SC0,1,0,1;PA0,0;PD1,1;", 1000, 1000,
                                  5000, 3000},
                      // PS: the page (and with it the rotation's origin) is 11440 x 7700.
                      SegmentCase{"PageSize", "PS11440,7700;RO90;PA0,0;PD0,100;", 11440, 0, 11340, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HpglFrame, EveryRotationPutsTheScaledWindowOnTheBed) {
    for (const char* ro : {"RO0;", "RO90;", "RO180;", "RO270;"}) {
        const auto c = Convert(std::string(ro) + "SC0,100,0,100;PA0,0;PD100,0,100,100,0,100,0,0;");
        EXPECT_FALSE(c.leavesBed) << ro;
        EXPECT_EQ((std::vector<double>{c.minXmm, c.minYmm, c.maxXmm, c.maxYmm}),
                  (std::vector<double>{0.0, 0.0, 746.0, 470.0}))
            << ro;
    }
}

TEST(HpglMoves, CoordinateFormsAndPenStates) {
    struct Case {
        const char* plot;
        const char* records;  // after the version record
    };
    const Case cases[] = {
        // No separators at all; PU/PD follow PA/PR.
        {"SP1PAPU6545,6440PRPD-95,90", "execute_penselect 1\npu_default 6545 6440\npd_default -95 90\n"},
        // Blank-separated decimals, a trailing comma, line breaks inside a list.
        {"SP1\nPUPA10.4 20.6\nPD30,40,\r\n50,60,;",
         "execute_penselect 1\npu_default 10 21\npd_default 20 19\npd_default 20 20\n"},
        // A dot: pen lowered and raised without moving.
        {"SP1;PA100,100;PD;PU;", "execute_penselect 1\npu_default 100 100\npd_default 0 0\npu_default 0 0\n"},
        // Raised and lowered again in place: the lift is written before the next pen-down move.
        {"SP1;PD100,0;PU;PD;PA200,0;", "execute_penselect 1\npd_default 100 0\npu_default 0 0\npd_default 100 0\n"},
        // A pen raised at the end is lifted; a zero-length pen-down move adds nothing.
        {"SP1;PD100,0,100,0;PU;", "execute_penselect 1\npd_default 100 0\npu_default 0 0\n"},
        // A redundant pen-up move to where the pen is adds nothing; a pen selection lifts the pen itself.
        {"SP1;PD10,0;PU10,0;SP2;PU10,0;", "execute_penselect 1\npd_default 10 0\nexecute_penselect 2\n"},
        // Lower case mnemonics; an exponent, and an 'E' that starts the next mnemonic.
        {"sp1;pd5,5;", "execute_penselect 1\npd_default 5 5\n"},
        {"SP1;PD1.5e2,0,300,0EA0,0;",
         "execute_penselect 1\npd_default 150 0\npd_default 150 0\npd_default -300 0\npd_default 300 0\n"},
    };
    for (const Case& k : cases) {
        const auto c = Convert(k.plot);
        EXPECT_EQ(c.commands, std::string("CorvantaCmdVer 1\n") + k.records) << k.plot;
    }
}

TEST(HpglMoves, RelativeMovesNeverDrift) {
    // 1000 moves of 0.4 units end at 400 exactly; each written move is the rounded position's step.
    std::string plot = "SP1;PD;PR";
    for (int i = 0; i < 1000; ++i) plot += "0.4,0.4,";
    auto moves = DrawnMoves(Convert(plot).commands);
    int64_t sx = 0, sy = 0;
    for (const Move& m : moves) {
        sx += m.dx(), sy += m.dy();
        EXPECT_TRUE(m.dx() == 1 && m.dy() == 1);
    }
    EXPECT_EQ((std::vector<int64_t>{sx, sy, static_cast<int64_t>(moves.size())}),
              (std::vector<int64_t>{400, 400, 400}));

    // Scaled: a user unit is a third of a plotter unit; 3000 steps of one user unit make 1000 units.
    plot = "IP0,0,1,1;SC0,3,0,3;SP1;PD;PR";
    for (int i = 0; i < 3000; ++i) plot += "1,-1,";
    moves = DrawnMoves(Convert(plot).commands);
    sx = sy = 0;
    for (const Move& m : moves) sx += m.dx(), sy += m.dy();
    EXPECT_EQ((std::vector<int64_t>{sx, sy}), (std::vector<int64_t>{1000, -1000}));
}

// --- arcs and circles --------------------------------------------------------------------------------------

struct ArcCheck {
    double drawnPu = 0;       // length of the pen-down moves
    double worstRadius = 0;   // largest |distance of a vertex from the centre - R|
    double worstSagitta = 0;  // largest distance of a chord's midpoint inside the circle
    std::size_t chords = 0;
};

ArcCheck Check(const std::vector<Move>& d, double cx, double cy, double r) {
    ArcCheck a;
    for (const Move& m : d) {
        a.drawnPu += std::hypot(m.dx(), m.dy());
        a.worstRadius = std::max(a.worstRadius, std::fabs(std::hypot(m.x1 - cx, m.y1 - cy) - r));
        a.worstSagitta = std::max(a.worstSagitta, r - std::hypot((m.x0 + m.x1) / 2.0 - cx, (m.y0 + m.y1) / 2.0 - cy));
    }
    a.chords = d.size();
    return a;
}

TEST(HpglArcs, CircleWithinChordTolerance) {
    // CT 1: the chords stay within 2 units of the circle: chord angle 2 acos(1 - 2/4000) = 3.624 degrees,
    // 100 chords.  The drawn length falls short of 2 pi R by at most theta^2/24 of it, plus the rounding of
    // the vertices to whole units (at most 1 unit per chord).
    const auto c = Convert("SP1;CT1;PA10000,9000;CI4000,2;");
    const auto d = DrawnMoves(c.commands);
    const ArcCheck a = Check(d, 10000, 9000, 4000);
    const double theta = 2 * std::acos(1 - 2.0 / 4000), truth = 2 * M_PI * 4000;
    EXPECT_EQ(a.chords, static_cast<std::size_t>(std::ceil(2 * M_PI / theta)));
    EXPECT_LE(a.worstRadius, 0.75);
    EXPECT_LE(a.worstSagitta, 2.0 + 0.75);
    EXPECT_NEAR(a.drawnPu, truth, truth * theta * theta / 24 + a.chords);
    // Starts at 0 degrees, closes, and goes back to the centre with the pen up.
    const auto m = Moves(c.commands);
    EXPECT_EQ((std::vector<int64_t>{d.front().x0, d.front().y0, d.back().x1, d.back().y1}),
              (std::vector<int64_t>{14000, 9000, 14000, 9000}));
    EXPECT_EQ((std::vector<int64_t>{m.back().x1, m.back().y1, m.back().down}), (std::vector<int64_t>{10000, 9000, 0}));
}

TEST(HpglArcs, ArcsMatchTheirTrueLength) {
    struct Case {
        const char* plot;
        double cx, cy, r, sweepDeg;
        std::size_t chords;
        int64_t endX, endY;
    };
    const Case cases[] = {
        // AA: centre absolute, 90 degrees counterclockwise in 1-degree chords.
        {"SP1;PA3000,1000;PD;AA1000,1000,90,1;", 1000, 1000, 2000, 90, 90, 1000, 3000},
        // AR: centre relative, clockwise, default 5-degree chords.
        {"SP1;PA3000,1000;PD;AR-2000,0,-90;", 1000, 1000, 2000, 90, 18, 1000, -1000},
        // AT: through (1000,1000) to (2000,0): the upper half of the circle about (1000,0), clockwise.
        {"SP1;PA0,0;PD;AT1000,1000,2000,0,2;", 1000, 0, 1000, 180, 90, 2000, 0},
        // RT: the same, relative to the start.
        {"SP1;PA5000,5000;PD;RT1000,-1000,2000,0,2;", 6000, 5000, 1000, 180, 90, 7000, 5000},
    };
    for (const Case& k : cases) {
        const auto d = DrawnMoves(Convert(k.plot).commands);
        ASSERT_FALSE(d.empty()) << k.plot;
        const ArcCheck a = Check(d, k.cx, k.cy, k.r);
        const double truth = k.r * k.sweepDeg * M_PI / 180, theta = k.sweepDeg * M_PI / 180 / k.chords;
        EXPECT_EQ(a.chords, k.chords) << k.plot;
        EXPECT_LE(a.worstRadius, 0.75) << k.plot;
        EXPECT_NEAR(a.drawnPu, truth, truth * theta * theta / 24 + a.chords) << k.plot;
        EXPECT_EQ((std::vector<int64_t>{d.back().x1, d.back().y1}), (std::vector<int64_t>{k.endX, k.endY})) << k.plot;
    }
    // The AT arc bulges upward, through its intermediate point.
    const auto d = DrawnMoves(Convert("SP1;PA0,0;PD;AT1000,1000,2000,0,2;").commands);
    int64_t top = 0;
    for (const Move& m : d) top = std::max(top, m.y1);
    EXPECT_EQ(top, 1000);
}

TEST(HpglArcs, ChordCountIsBounded) {
    // A chord angle of 0.01 degree is clamped to 0.5 degree: 720 chords, with a note.
    const auto c = Convert("SP1;CI1000,0.01;");
    EXPECT_EQ(DrawnMoves(c.commands).size(), 720u);
    EXPECT_EQ(NoteCount(c, "fine chords"), 1u);
    // Sweeps beyond a full turn are one turn.
    const auto s = Convert("SP1;PA1000,0;PD;AA0,0,1000000000,5;");
    EXPECT_EQ(DrawnMoves(s.commands).size(), 72u);
    EXPECT_EQ(NoteCount(s, "sweep"), 1u);
}

// --- outlines and polygons ---------------------------------------------------------------------------------

TEST(HpglOutlines, RectanglesWedgesPolygonsAndFills) {
    struct Case {
        const char* plot;
        std::vector<int64_t> drawn;  // dx, dy of each pen-down move
        uint64_t fills;
    };
    const Case cases[] = {
        {"SP1;PA100,100;EA300,200;", {200, 0, 0, 100, -200, 0, 0, -100}, 0},
        {"SP1;PA100,100;ER200,100;", {200, 0, 0, 100, -200, 0, 0, -100}, 0},
        {"SP1;PA100,100;RA300,200;", {200, 0, 0, 100, -200, 0, 0, -100}, 1},
        {"SP1;PA100,100;RR-50,-50;", {-50, 0, 0, -50, 50, 0, 0, 50}, 1},
        // Polygon mode records the path; EP draws each subpolygon closed, FP the same with a note.
        {"SP1;PA0,0;PM0;PD1000,0,1000,1000;PU;PM2;EP;", {1000, 0, 0, 1000, -1000, -1000}, 0},
        {"SP1;PA0,0;PM0;PD1000,0,1000,1000;PM1;PU2000,0;PD3000,0;PM2;FP;",
         {1000, 0, 0, 1000, -1000, -1000, 1000, 0, -1000, 0},
         1},
        // Wedge of 90 degrees in 45-degree chords: out along the radius, the arc, back to the centre.
        {"SP1;PA1000,1000;WG500,0,90,45;", {500, 0, -146, 354, -354, 146, 0, -500}, 1},
    };
    for (const Case& k : cases) {
        const auto c = Convert(k.plot);
        std::vector<int64_t> drawn;
        for (const Move& m : DrawnMoves(c.commands)) drawn.push_back(m.dx()), drawn.push_back(m.dy());
        EXPECT_EQ(drawn, k.drawn) << k.plot << "\n" << c.commands;
        EXPECT_EQ(NoteCount(c, "fill outlined"), k.fills) << k.plot;
        EXPECT_EQ(Records(c.commands).back().keyword, "pu_default") << k.plot;  // the pen ends up lifted
    }
}

TEST(HpglOutlines, WindowClipsPenDownMoves) {
    // IW 0,0..1000,1000: a line across it is drawn only inside; the rest is travelled with the pen up.
    const auto c = Convert("SP1;IW0,0,1000,1000;PA-500,500;PD1500,500;PU;IW;PD2000,500;");
    const auto d = DrawnMoves(c.commands);
    ASSERT_EQ(d.size(), 2u) << c.commands;
    EXPECT_EQ((std::vector<int64_t>{d[0].x0, d[0].y0, d[0].x1, d[0].y1}), (std::vector<int64_t>{0, 500, 1000, 500}));
    EXPECT_EQ((std::vector<int64_t>{d[1].x0, d[1].x1}), (std::vector<int64_t>{1500, 2000}));  // IW; ends clipping
    EXPECT_EQ(NoteCount(c, "clipped"), 1u);
}

TEST(HpglOutlines, TicksAndBezier) {
    // XT: up and down by 0.5 % of P2-P1 (the bed: 94 units in y).
    const auto t = Convert("SP1;PA1000,1000;XT;");
    std::vector<int64_t> drawn;
    for (const Move& m : DrawnMoves(t.commands)) drawn.push_back(m.dy());
    EXPECT_EQ(drawn, (std::vector<int64_t>{94, -188}));
    // A Bezier ends at its last control point and stays inside the control polygon's box.
    const auto b = DrawnMoves(Convert("SP1;PA0,0;PD;BZ0,1000,1000,1000,1000,0;").commands);
    ASSERT_GT(b.size(), 4u);
    int64_t top = 0;
    for (const Move& m : b) top = std::max(top, m.y1);
    EXPECT_EQ((std::vector<int64_t>{b.back().x1, b.back().y1}), (std::vector<int64_t>{1000, 0}));
    EXPECT_NEAR(top, 750, 10);  // the curve's top, within the flattening tolerance
}

// --- polyline encoded --------------------------------------------------------------------------------------

TEST(HpglPolylineEncoded, DecodesHandEncodedNumbers) {
    // 7-bit digits: base 32, 63..94 before the last digit, 95..126 for the last.  1000 -> 2000 = 16 + 30*32 +
    // 1*1024: 'O' ']' '`'.  500 -> 1000 = 8 + 31*32: 'G' '~'.  -500 -> 1001: 'H' '~'.  0 -> '_'.
    // 8-bit: 1000 -> 2000 = 16 + 31*64: 'O' 0xDE.
    struct Case {
        const char* data;
        std::vector<double> expected;  // per step: pen (select) or x, y, penUp, absolute
    };
    const Case cases[] = {
        {"7<=O]`O]`G~_H~G~", {1000, 1000, 1, 1, 500, 0, 0, 0, -500, 500, 0, 0}},
        {"<=O\xDEO\xDE", {1000, 1000, 1, 1}},
        // Select pen 2 (4 -> 'c'); one fractional bit (2 -> 'a') halves what follows.
        {"7:c>a<=O]`O]`", {2, 500, 500, 1, 1}},
        // Blanks and line breaks between digits are skipped.
        {"7 O]\r\n` _", {1000, 0, 0, 0}},
    };
    for (const Case& k : cases) {
        const auto pe = corvanta::hpgl::DecodePolylineEncoded(k.data);
        std::vector<double> got;
        for (const auto& s : pe.steps) {
            if (s.kind == corvanta::hpgl::EncodedStep::Kind::SelectPen)
                got.push_back(s.pen);
            else
                got.insert(got.end(), {s.value.x, s.value.y, double(s.penUp), double(s.absolute)});
        }
        EXPECT_EQ(got, k.expected) << k.data;
        EXPECT_FALSE(pe.badNumber || pe.unpairedCoordinate || pe.danglingFlag) << k.data;
    }
    const auto bad = corvanta::hpgl::DecodePolylineEncoded("7O]`O<");
    EXPECT_TRUE(bad.badNumber && bad.unpairedCoordinate);
}

TEST(HpglPolylineEncoded, DrawsTheDecodedPath) {
    const auto c = Convert("IN;PE7:c<=O]`O]`G~_H~G~;PU;");
    EXPECT_EQ(c.commands,
              "CorvantaCmdVer 1\nexecute_penselect 2\npu_default 1000 1000\npd_default 500 0\n"
              "pd_default -500 500\npu_default 0 0\n");
    // Scaled: the encoded numbers are user units.
    const auto s = DrawnMoves(Convert("SP1;IP0,0,2000,2000;SC0,1000,0,1000;PE7<=G~G~G~_;").commands);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ((std::vector<int64_t>{s[0].x0, s[0].y0, s[0].x1, s[0].y1}),
              (std::vector<int64_t>{1000, 1000, 2000, 1000}));
}

}  // namespace

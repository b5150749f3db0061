// Labels: the embedded stroke font, character size and placement, direction, origin, control characters.
#include <gtest/gtest.h>

#include "hpgl/stroke_font.h"
#include "hpgl_test_util.h"

using corvanta::hpgl::Convert;
using namespace hpgl_test;

namespace {

TEST(HpglFont, EmbeddedGlyphStrokes) {
    const auto& font = corvanta::hpgl::EmbeddedFont();
    EXPECT_EQ(font.GlyphCount(), 95u);
    const std::pair<unsigned char, std::size_t> strokes[] = {{' ', 0}, {'I', 1}, {'L', 2}, {'H', 3}, {'E', 4},
                                                             {'O', 1}, {'+', 2}, {'*', 3}, {'~', 2}};
    for (const auto& [c, n] : strokes) {
        ASSERT_NE(font.Find(c), nullptr) << c;
        EXPECT_EQ(font.Find(c)->strokes.size(), n) << c;
    }
    EXPECT_EQ(font.Find(127), nullptr);
    EXPECT_EQ(font.Find(0xE9), nullptr);
}

// A label at (1000,1000): each pen-down move as x0, y0, dx, dy.
struct LabelCase {
    const char* name;
    const char* plot;  // appended to "SP1;PA1000,1000;SI1,1;": characters 400 units wide and high
    std::vector<int64_t> drawn;
};

void PrintTo(const LabelCase& k, std::ostream* os) { *os << k.name; }

class HpglLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(HpglLabel, Strokes) {
    const LabelCase& k = GetParam();
    const auto c = Convert(std::string("SP1;PA1000,1000;SI1,1;") + k.plot);
    std::vector<int64_t> drawn;
    for (const Move& m : DrawnMoves(c.commands)) drawn.insert(drawn.end(), {m.x0, m.y0, m.dx(), m.dy()});
    EXPECT_EQ(drawn, k.drawn) << c.commands;
}

// 'I' is one stroke down the middle of its character width; 'L' a stem 6 font units left of the middle
// (6/14 of the width) and a foot 12 units long.
INSTANTIATE_TEST_SUITE_P(
    Placement, HpglLabel,
    ::testing::Values(
        LabelCase{"I", "LBI\x03", {1200, 1400, 0, -400}},
        LabelCase{"L", "LBL\x03", {1029, 1400, 0, -400, 1029, 1000, 342, 0}},
        // Cells are 1.5 character widths apart; ES 1 adds a whole cell.
        LabelCase{"Advance", "LBII\x03", {1200, 1400, 0, -400, 1800, 1400, 0, -400}},
        LabelCase{"ExtraSpace", "ES1;LBII\x03", {1200, 1400, 0, -400, 2400, 1400, 0, -400}},
        // DI 0,1 (and DR 0,1): the text runs up the page, the characters lie on their side.
        LabelCase{"Direction", "DI0,1;LBI\x03", {600, 1200, 400, 0}},
        LabelCase{"RelativeDirection", "DR0,1;LBI\x03", {600, 1200, 400, 0}},
        // SR: per cent of P2-P1 (the bed): 298.4 x 376 units.
        LabelCase{"RelativeSize", "SR1,2;LBI\x03", {1149, 1376, 0, -376}},
        LabelCase{"Slant", "SL1;LBI\x03", {1600, 1400, -400, -400}},
        // LO 5 centres the label on the position, LO 7 ends it there, LO 13 hangs it below and to the right
        // with half a character's margin.
        LabelCase{"OriginCentre", "LO5;LBI\x03", {1000, 1200, 0, -400}},
        LabelCase{"OriginRight", "LO7;LBI\x03", {800, 1400, 0, -400}},
        LabelCase{"OriginOffsetTop", "LO13;LBI\x03", {1400, 800, 0, -400}},
        // CR LF: the next line starts two character heights lower, at the carriage-return point.
        LabelCase{"LineFeed", "LBI\r\nI\x03", {1200, 1400, 0, -400, 1200, 600, 0, -400}},
        // DT: another terminator; with mode 0 the terminator is printed too ('*' has three strokes).
        LabelCase{"Terminator", "DT#;LBI#", {1200, 1400, 0, -400}},
        LabelCase{"PrintedTerminator",
                  "DT*,0;LBI*",
                  {1200, 1400, 0, -400, 1800, 1286, 0, -229, 1657, 1229, 286, -115, 1943, 1229, -286, -115}},
        // Symbol mode: the character centred on every point ('+' is 18 font units each way).
        LabelCase{"Symbol", "SM+;PA2000,2000;", {2000, 2171, 0, -342, 1743, 2000, 514, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HpglLabel, CapitalFillsTheCharacterSize) {
    // 'H' spans 14 x 21 font units: exactly the character width and height.
    const auto c = Convert("SP1;PA1000,1000;SI0.5,1;LBH\x03");
    EXPECT_EQ((std::vector<double>{c.minXmm, c.maxXmm, c.minYmm, c.maxYmm}), (std::vector<double>{25, 30, 25, 35}));
    EXPECT_EQ(DrawnMoves(c.commands).size(), 3u);
}

TEST(HpglLabel, PositionAfterTheLabel) {
    struct Case {
        const char* plot;  // after "SP1;SI1,1;PA1000,1000;"; then "PD;PR100,0;" shows where the pen is
        int64_t x, y;
    };
    const Case cases[] = {
        {"LBII\x03", 2200, 1000},      // after the last cell
        {"LO5;LBII\x03", 1000, 1000},  // a justified label leaves the position where it was
        {"CP2,1;", 2200, 1800},        // two cells right, one line up
        {"LBII\x03"
         "CP;",
         1000, 200},  // CP alone: carriage return and line feed
        {"LBI\x03"
         "LBI\x03",
         2200, 1000},  // labels continue each other
    };
    for (const Case& k : cases) {
        const auto d = DrawnMoves(Convert(std::string("SP1;SI1,1;PA1000,1000;") + k.plot + "PD;PR100,0;").commands);
        ASSERT_FALSE(d.empty()) << k.plot;
        EXPECT_EQ((std::vector<int64_t>{d.back().x0, d.back().y0, d.back().dx()}),
                  (std::vector<int64_t>{k.x, k.y, 100}))
            << k.plot;
    }
}

TEST(HpglLabel, CharactersOutsideTheFontAreBlank) {
    const auto c = Convert("SP1;PA1000,1000;SI1,1;LB\xE9I\x03");
    const auto d = DrawnMoves(c.commands);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].x0, 1800);  // the blank keeps its cell
    EXPECT_EQ(NoteCount(c, "blank characters"), 1u);
}

}  // namespace

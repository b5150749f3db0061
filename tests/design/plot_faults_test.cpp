// Faults of the plot reader found on real plots, each a file in tests/golden/regress/: the geometry the plot
// asks for, and (pen change while down) what the machine does with the records.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "corvanta/corvanta.h"
#include "corvanta/explain.h"
#include "hpgl/hpgl.h"

using corvanta::hpgl::Conversion;

namespace {

std::string RegressFile(const std::string& name) {
    std::ifstream in(std::string(CORVANTA_GOLDEN_DIR) + "/regress/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Move {
    bool down;
    int64_t x0, y0, x1, y1;
};

std::vector<Move> Moves(const std::string& commands) {
    std::vector<Move> out;
    std::istringstream in(commands);
    int64_t x = 0, y = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string keyword;
        int64_t dx = 0, dy = 0;
        words >> keyword;
        if ((keyword != "pd_default" && keyword != "pu_default") || !(words >> dx >> dy)) continue;
        out.push_back({keyword == "pd_default", x, y, x + dx, y + dy});
        x += dx, y += dy;
    }
    return out;
}

Move LastCut(const Conversion& c) {
    Move last{};
    for (const Move& m : Moves(c.commands))
        if (m.down) last = m;
    return last;
}

void ExpectExtent(const Conversion& c, double x0, double x1, double y0, double y1) {
    EXPECT_NEAR(c.minXmm, x0, 0.03);
    EXPECT_NEAR(c.maxXmm, x1, 0.03);
    EXPECT_NEAR(c.minYmm, y0, 0.03);
    EXPECT_NEAR(c.maxYmm, y1, 0.03);
}

TEST(PlotFaults, EachRegressionPlot) {
    const struct {
        const char* file;
        std::function<void(const Conversion&)> check;
    } cases[] = {
        // P1P2 4000 x 2000 plotter units for 100 x 100 user units: 0.4 mm per unit along x, 0.2 mm along y.
        {"hpgl_arc_anisotropic_scaling.plt",
         [](const Conversion& c) {
             ExpectExtent(c, 50, 100, 25, 50);  // a quarter of the 50 x 25 mm ellipse
             const Move end = LastCut(c);
             EXPECT_EQ(end.x1, 2000);
             EXPECT_EQ(end.y1, 2000);
         }},
        {"hpgl_circle_anisotropic_scaling.plt", [](const Conversion& c) { ExpectExtent(c, 0, 100, 0, 50); }},
        {"hpgl_wedge_anisotropic_scaling.plt",
         [](const Conversion& c) {
             ExpectExtent(c, 50, 100, 25, 50);  // EW cut; the WG beside it engraved
             EXPECT_EQ(c.fills, 1u);
         }},
        {"hpgl_pen_change_while_down.plt",
         [](const Conversion& c) {
             EXPECT_NE(c.commands.find("pd_default 1000 0\npu_default 0 0\nexecute_penselect 2\npd_default 0 1000\n"),
                       std::string::npos)
                 << c.commands;
         }},
        // The closing edge was defined with the pen up: only the two edges drawn with it down, 25 mm each.
        {"hpgl_polygon_closed_pen_up.plt", [](const Conversion& c) { EXPECT_NEAR(c.drawnMm, 50.0, 1e-9); }},
        // LO 12: the text starts half a character width right of and half a height below the origin; the pen
        // stays after its third character, 3 x 1.5 x 74.8 + 37.4 = 374 units right, 53.8 down.
        {"hpgl_label_origin_position.plt",
         [](const Conversion& c) {
             const Move m = LastCut(c);
             EXPECT_EQ(m.x0, 1374);
             EXPECT_EQ(m.y0, 946);
             EXPECT_EQ(m.x1, 1000);
             EXPECT_EQ(m.y1, 0);
         }},
        // SC 0..10 over the bed's 18800 units: 5 units are 235 mm.
        {"hpgl_unquoted_comment.plt", [](const Conversion& c) { EXPECT_NEAR(c.drawnMm, 235.0, 1e-9); }},
        // FP then EP: the square engraved once and cut once (100 mm), not cut twice.
        {"hpgl_fill_then_edge_cut_once.plt",
         [](const Conversion& c) {
             EXPECT_NEAR(c.drawnMm, 100.0, 1e-9);
             EXPECT_EQ(c.fills, 1u);
             EXPECT_EQ(c.rasterLines, 500u);  // 25 mm at 20 rows per mm
         }},
    };
    for (const auto& k : cases) {
        const std::string plot = RegressFile(k.file);
        ASSERT_FALSE(plot.empty()) << k.file;
        SCOPED_TRACE(k.file);
        k.check(corvanta::hpgl::Convert(plot));
    }
}

// After a pen change while the pen was down, the machine cuts the next stroke (with pen 2), not travels it.
TEST(PlotFaults, PenChangeWhileDownCutsTheNextStroke) {
    const Conversion c = corvanta::hpgl::Convert(RegressFile("hpgl_pen_change_while_down.plt"));
    corvanta::Options opt;
    opt.explain = true;
    const corvanta::Result r = corvanta::Estimate(c.commands, opt);
    ASSERT_TRUE(r.explanation);
    double pen2CutMm = 0;
    for (const auto& s : r.explanation->segments)
        if (s.activity == corvanta::explain::Activity::Cutting && s.pen == 2)
            pen2CutMm += std::hypot(double(s.x1) - s.x0, double(s.y1) - s.y0) / corvanta::explain::kServoPerMm;
    EXPECT_NEAR(pen2CutMm, 25.0, 0.01);
}

}  // namespace

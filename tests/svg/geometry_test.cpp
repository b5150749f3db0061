// Shapes, paths, transforms, viewBox and units: where the cuts land on the page, in millimetres.
#include <gtest/gtest.h>

#include <numbers>

#include "svg_test_util.h"

using namespace svg_test;

namespace {

constexpr double kPi = std::numbers::pi;

TEST(SvgGeometry, SquareOf100MmCutsFourHundredMillimetres) {
    const auto r = Read(Drawing(R"(<rect x="0" y="0" width="100" height="100" fill="none" stroke="red"/>)", 100, 100));
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_DOUBLE_EQ(r.page.width, 100);
    EXPECT_DOUBLE_EQ(r.page.height, 100);
    ASSERT_EQ(r.page.cuts.size(), 1u);
    EXPECT_NEAR(CutLength(r.page), 400, 1e-9);
    EXPECT_TRUE(r.page.fills.empty());
    const auto& pts = r.page.cuts[0].points;
    ASSERT_EQ(pts.size(), 5u);  // closed: the first point repeated
    EXPECT_DOUBLE_EQ(pts.front().x, pts.back().x);
}

TEST(SvgGeometry, CurvesWithinTheTolerance) {
    struct Case {
        const char* shape;
        double length;
    } cases[] = {
        {R"(<circle cx="50" cy="50" r="20"/>)", 2 * kPi * 20},
        {R"(<ellipse cx="50" cy="50" rx="20" ry="20"/>)", 2 * kPi * 20},
        {R"(<path d="M30 50 A20 20 0 0 1 70 50"/>)", kPi * 20},      // half circle, small arc
        {R"(<path d="M30 50 a20 20 0 1 0 40 0"/>)", kPi * 20},       // relative, large flag
        {R"(<path d="M30 50 A10 10 0 0 1 70 50"/>)", kPi * 20},      // radii too small: enlarged
        {R"(<path d="M50 30 a20 20 0 1120 20"/>)", 1.5 * kPi * 20},  // flags run together, three quarters
        {R"(<path d="M10 10 A0 5 0 0 1 40 50"/>)", 50},              // zero radius: a line
        {R"(<rect x="10" y="10" width="60" height="40" rx="5"/>)", 2 * 50 + 2 * 30 + 2 * kPi * 5},
        {R"(<path d="M0 0 Q 50 0 100 0"/>)", 100},
    };
    Settings settings;
    settings.curveToleranceMm = 0.01;
    for (const Case& c : cases) {
        const std::string shape =
            std::string(c.shape).insert(std::string(c.shape).size() - 2, R"( fill="none" stroke="#000")");
        const auto r = Read(Drawing(shape), settings);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_NEAR(CutLength(r.page), c.length, c.length * 1e-3) << c.shape;
    }
    // Every point of a flattened circle is on it, and no chord strays beyond the tolerance.
    const auto r = Read(Drawing(R"(<circle cx="50" cy="50" r="20" fill="none" stroke="red"/>)"), settings);
    ASSERT_EQ(r.page.cuts.size(), 1u);
    const auto& pts = r.page.cuts[0].points;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        EXPECT_NEAR(std::hypot(pts[i].x - 50, pts[i].y - 50), 20, 0.01);
        const double mx = (pts[i].x + pts[i - 1].x) / 2 - 50, my = (pts[i].y + pts[i - 1].y) / 2 - 50;
        EXPECT_GT(std::hypot(mx, my), 20 - 0.011);
    }
}

TEST(SvgGeometry, PathCommandsAbsoluteAndRelative) {
    struct Case {
        const char* d;
        double length;
        Point last;
    } cases[] = {
        {"M0 0 h10 v10 H0 Z", 40, {0, 0}},
        {"m10 10 l10 0 0 10 -10 0 z", 40, {10, 10}},
        {"M0,0L3,4", 5, {3, 4}},
        {"M0 0 10 0 10 10", 20, {10, 10}},               // pairs after a moveto are linetos
        {"M0-0.5.5.5", std::hypot(0.5, 1), {0.5, 0.5}},  // numbers run together
        {"M0 0 C0 10 10 10 10 0 S20 -10 20 0", -1, {20, 0}},
        {"M0 0 Q5 10 10 0 T20 0", -1, {20, 0}},
        {"M0 0 L10 0 Z L0 10", 30, {0, 10}},        // after a close, drawing restarts at the start
        {"M0 0 L10 0 L10 10 X 5 5", 20, {10, 10}},  // an error: drawn up to it
    };
    for (const Case& c : cases) {
        const auto r = Read(Drawing(std::string(R"(<path fill="none" stroke="red" d=")") + c.d + R"("/>)"));
        ASSERT_TRUE(r.ok()) << r.error;
        ASSERT_FALSE(r.page.cuts.empty()) << c.d;
        if (c.length >= 0) {
            EXPECT_NEAR(CutLength(r.page), c.length, 1e-9) << c.d;
        }
        const Point last = r.page.cuts.back().points.back();
        EXPECT_NEAR(last.x, c.last.x, 1e-9) << c.d;
        EXPECT_NEAR(last.y, c.last.y, 1e-9) << c.d;
    }
    // The smooth forms reflect the previous control point: S after C and T after Q give symmetric bumps.
    const auto s = Read(Drawing(R"(<path fill="none" stroke="red" d="M0 0 C0 10 10 10 10 0 S20 -10 20 0"/>)"));
    const Extent e = CutExtent(s.page);
    EXPECT_NEAR(e.maxY, 7.5, 0.01);
    EXPECT_NEAR(e.minY, -7.5, 0.01);
    EXPECT_TRUE(HasNote(Read(Drawing(R"(<path stroke="red" d="M0 0 L1 1 X"/>)")).page, "malformed data"));
}

TEST(SvgGeometry, NestedTransformsCompose) {
    struct Case {
        const char* outer;
        const char* inner;
        Point start, end;  // of the line from (0,0) to (5,0)
    } cases[] = {
        {"translate(10,20)", "scale(2)", {10, 20}, {20, 20}},
        {"translate(10 20)", "rotate(90)", {10, 20}, {10, 25}},
        {"scale(2)", "translate(10,20)", {20, 40}, {30, 40}},
        {"rotate(180 10 10)", "translate(1)", {19, 20}, {14, 20}},
        {"matrix(1 0 0 1 3 4)", "skewY(45)", {3, 4}, {8, 9}},
        {"translate(5) scale(3)", "", {5, 0}, {20, 0}},
        {"scale(2,3)", "skewX(45)", {0, 0}, {10, 0}},
        {"translate(5,", "", {0, 0}, {5, 0}},  // malformed: ignored with a note
    };
    for (const Case& c : cases) {
        const std::string svg = Drawing(std::string("<g transform=\"") + c.outer + "\"><g transform=\"" + c.inner +
                                        R"("><line x1="0" y1="0" x2="5" y2="0" stroke="red"/></g></g>)");
        const auto r = Read(svg);
        ASSERT_TRUE(r.ok()) << r.error;
        ASSERT_EQ(r.page.cuts.size(), 1u) << c.outer;
        const auto& p = r.page.cuts[0].points;
        EXPECT_NEAR(p.front().x, c.start.x, 1e-9) << c.outer << " " << c.inner;
        EXPECT_NEAR(p.front().y, c.start.y, 1e-9) << c.outer << " " << c.inner;
        EXPECT_NEAR(p.back().x, c.end.x, 1e-9) << c.outer << " " << c.inner;
        EXPECT_NEAR(p.back().y, c.end.y, 1e-9) << c.outer << " " << c.inner;
    }
}

TEST(SvgGeometry, PageSizeAndUnits) {
    struct Case {
        const char* size;     // width and height attributes
        const char* viewBox;  // empty: none
        double unitsPerInch;
        double width, height;  // page, mm
        double lineEnd;        // where a line to user x = 10 ends, mm
    } cases[] = {
        {R"(width="100mm" height="50mm")", "0 0 100 50", 96, 100, 50, 10},
        {R"(width="10cm" height="5cm")", "0 0 200 100", 96, 100, 50, 5},
        {R"(width="4in" height="2in")", "0 0 4 2", 96, 101.6, 50.8, 254},
        {R"(width="72pt" height="36pt")", "", 96, 25.4, 12.7, 10 * 25.4 / 96},
        {R"(width="6pc" height="3pc")", "", 96, 25.4, 12.7, 10 * 25.4 / 96},
        {R"(width="96px" height="48px")", "", 96, 25.4, 12.7, 10 * 25.4 / 96},
        {R"(width="72" height="36")", "", 72, 25.4, 12.7, 10 * 25.4 / 72},     // unitless at the setting
        {R"()", "0 0 96 48", 96, 25.4, 12.7, 10 * 25.4 / 96},                  // size from the viewBox
        {R"(width="200mm")", "0 0 100 50", 96, 200, 100, 20},                  // height from the ratio
        {R"(width="200mm" height="100mm")", "0 0 100 100", 96, 200, 100, 60},  // meet: centred across
    };
    for (const Case& c : cases) {
        std::string svg = std::string(R"(<svg xmlns="http://www.w3.org/2000/svg" )") + c.size;
        if (*c.viewBox) svg += std::string(R"( viewBox=")") + c.viewBox + "\"";
        svg += R"(><line x1="0" y1="0" x2="10" y2="0" stroke="red"/></svg>)";
        Settings settings;
        settings.svgUnitsPerInch = c.unitsPerInch;
        const auto r = Read(svg, settings);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_NEAR(r.page.width, c.width, 1e-9) << c.size << c.viewBox;
        EXPECT_NEAR(r.page.height, c.height, 1e-9) << c.size << c.viewBox;
        ASSERT_EQ(r.page.cuts.size(), 1u);
        EXPECT_NEAR(r.page.cuts[0].points.back().x, c.lineEnd, 1e-9) << c.size << c.viewBox;
    }
    // Stretched when the aspect ratio is not preserved.
    const auto r = Read(R"(<svg xmlns="http://www.w3.org/2000/svg" width="200mm" height="100mm" viewBox="0 0 100 100"
        preserveAspectRatio="none"><line x1="0" y1="0" x2="10" y2="10" stroke="red"/></svg>)");
    ASSERT_EQ(r.page.cuts.size(), 1u);
    EXPECT_NEAR(r.page.cuts[0].points.back().x, 20, 1e-9);
    EXPECT_NEAR(r.page.cuts[0].points.back().y, 10, 1e-9);
    // Lengths with units inside the drawing.
    const auto mm = Read(
        R"(<svg xmlns="http://www.w3.org/2000/svg"><line x1="0" y1="0" x2="25.4mm" y2="1in" stroke="red"/></svg>)");
    ASSERT_EQ(mm.page.cuts.size(), 1u);
    EXPECT_NEAR(mm.page.cuts[0].points.back().x, 25.4, 1e-9);
    EXPECT_NEAR(mm.page.cuts[0].points.back().y, 25.4, 1e-9);
    EXPECT_TRUE(HasNote(mm.page, "states no width"));
    // Illustrator's user units are points: a note says so when the size rests on them.
    const std::string illustrator = R"(<?xml version="1.0"?><!-- Generator: Adobe Illustrator 24.0.0 -->
        <svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 72 72"><line x2="72" stroke="red"/></svg>)";
    EXPECT_TRUE(HasNote(Read(illustrator).page, "counts 72 user units to the inch"));
    Settings points;
    points.svgUnitsPerInch = 72;
    const auto inch = Read(illustrator, points);
    EXPECT_FALSE(HasNote(inch.page, "counts 72 user units"));
    EXPECT_DOUBLE_EQ(inch.page.width, 25.4);
}

}  // namespace

// The page on the bed: a filled rectangle with its outline cut lies with the outline on the edge of its
// engraving, as the machine runs the records (the explanation's path, servo units, y up the bed).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "corvanta/corvanta.h"
#include "corvanta/explain.h"
#include "design/writer.h"

using namespace corvanta;

namespace {

TEST(DesignPlacement, OutlineLiesOnTheEdgeOfItsEngraving) {
    const std::vector<design::Point> rect{{10, 10}, {60, 10}, {60, 40}, {10, 40}};
    design::Page page;
    page.fills = {design::FillRegion{{rect}, design::FillRegion::Rule::NonZero, 1}};
    page.cuts = {design::Path{1, {rect[0], rect[1], rect[2], rect[3], rect[0]}}};
    for (const bool bottomUp : {false, true}) {
        design::Settings s;
        s.rasterFixedRunUp = true;  // a 13 mm run-up on both sides of every stroke
        s.rasterBottomUp = bottomUp;
        Options opt;
        opt.explain = true;
        const Result r = Estimate(design::WriteCommands(page, s).commands, opt);
        ASSERT_TRUE(r.explanation);
        int64_t cutX0 = INT64_MAX, cutX1 = INT64_MIN, cutY0 = INT64_MAX, cutY1 = INT64_MIN;
        int64_t rasterY0 = INT64_MAX, rasterY1 = INT64_MIN, strokes = 0, strokeX0 = INT64_MAX, strokeX1 = INT64_MIN;
        for (const explain::Segment& g : r.explanation->segments) {
            if (g.activity == explain::Activity::Cutting) {
                cutX0 = std::min<int64_t>({cutX0, g.x0, g.x1}), cutX1 = std::max<int64_t>({cutX1, g.x0, g.x1});
                cutY0 = std::min<int64_t>({cutY0, g.y0, g.y1}), cutY1 = std::max<int64_t>({cutY1, g.y0, g.y1});
            } else if (g.activity == explain::Activity::RasterStroke) {
                ++strokes;
                EXPECT_EQ(g.y0, g.y1);
                strokeX0 = std::min<int64_t>(strokeX0, std::abs(g.x1 - g.x0));
                strokeX1 = std::max<int64_t>(strokeX1, std::abs(g.x1 - g.x0));
                rasterY0 = std::min<int64_t>(rasterY0, g.y0), rasterY1 = std::max<int64_t>(rasterY1, g.y0);
            }
        }
        // 50 x 30 mm, page 10 mm from the PCL origin: the cut from 12 mm right of the start corner, 456 mm up.
        EXPECT_EQ(cutX0, 12 * explain::kServoPerMm) << bottomUp;
        EXPECT_EQ(cutY1, 456 * explain::kServoPerMm) << bottomUp;
        EXPECT_EQ(cutY1 - cutY0, 30 * explain::kServoPerMm) << bottomUp;
        // Every stroke: the image's width, the cut's, and a 13 mm run-up before and after it.
        EXPECT_EQ(strokeX0, strokeX1) << bottomUp;
        EXPECT_EQ(strokeX1 - 2 * 13 * explain::kServoPerMm, cutX1 - cutX0) << bottomUp;
        // 600 lines at 20 rows per mm: the first row on the top edge, the last one row above the bottom edge.
        EXPECT_EQ(strokes, 600) << bottomUp;
        EXPECT_EQ(rasterY1, cutY1) << bottomUp;
        EXPECT_EQ(rasterY0, cutY0 + 24) << bottomUp;  // 1/20 mm = 24 servo units
    }
}

}  // namespace

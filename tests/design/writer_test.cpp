// The writer's records for small pages, byte for byte: placement on the bed, pens grouped in the pen table's
// order with the pen lifted before each selection, dots, speeds, and the raster image of the engraving.
#include <gtest/gtest.h>

#include <string>

#include "design/writer.h"

using namespace corvanta::design;

namespace {

Path P(int pen, std::vector<Point> points) { return Path{pen, std::move(points)}; }

Page Cuts(std::vector<Path> paths) {
    Page page;
    page.cuts = std::move(paths);
    return page;
}

std::string Repeat(const std::string& line, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += line;
    return s;
}

// The raster records of an image at the default settings (508 dpi and rows per inch, both directions).
std::string Image(int dots, int lines, int x, int y) {
    return "RasterDPI 508\nRasterUnit 508\nRasterSpeedX 1000\nRasterSpeedY 1000\nRasterFiringType 0\n"
           "RasterBandingFree 1\nRasterBuEngrave 0\nRasterAccelEngrave 0\nRasterPower 100\nImageWidth " +
           std::to_string(dots) + "\nImageHeight " + std::to_string(lines) + "\nSetHorizontalPositionPCL 1 " +
           std::to_string(x) + "\nSetVerticalPositionPCL 1 " + std::to_string(y) + "\nSetStartRasterGraphics 0\n" +
           Repeat("RasterLineOut 0\n", lines) + "SetEndRasterGraphics 0\nToHpglMode 0\n";
}

TEST(DesignWriter, RecordsOfSmallPages) {
    // A 10 mm square from the page's corner: page 0,0 lies 2 mm right of and 466 mm up from the carriage's start.
    const std::vector<Point> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    Settings tableOrder;
    tableOrder.penTable = {{"#ff0000", 3}, {"#00ff00", 1}};
    Settings speeds;
    speeds.penSpeedMmS[0] = 104.14;  // 100 thousandths of 1041.4 mm/s
    Settings outline;
    outline.fills = Settings::FillMode::CutOutline;
    Settings offset;
    offset.offsetXmm = 5, offset.offsetYmm = -1;
    Page speedPage;
    speedPage.cuts = {P(1, {{0, 0}, {1, 0}}), P(2, {{0, 0}, {0, 1}})};
    speedPage.penSpeedMmS[1] = 520.7;  // the file's own speed for pen 2; the settings win for pen 1
    Page fillPage;
    fillPage.fills = {FillRegion{{{{10, 10}, {20, 10}, {20, 15}, {10, 15}}}, FillRegion::Rule::NonZero, 2}};
    fillPage.cuts = {P(1, {{10, 10}, {20, 10}})};
    struct Case {
        const char* name;
        Page page;
        Settings settings;
        std::string records;  // after the version record
    };
    const Case cases[] = {
        {"square",
         Cuts({P(1, square)}),
         {},
         "execute_penselect 1\npu_default 80 18640\npd_default 400 0\npd_default 0 -400\npd_default -400 0\n"
         "pd_default 0 400\npu_default 0 0\n"},
        {"pens grouped, pen lifted before a selection",
         Cuts({P(2, {{0, 0}, {1, 0}}), P(1, {{0, 0}, {0, 1}})}),
         {},
         "execute_penselect 1\npu_default 80 18640\npd_default 0 -40\npu_default 0 0\nexecute_penselect 2\n"
         "pu_default 0 40\npd_default 40 0\npu_default 0 0\n"},
        {"pen table order", Cuts({P(1, {{0, 0}, {1, 0}}), P(3, {{1, 0}, {2, 0}})}), tableOrder,
         "execute_penselect 3\npu_default 120 18640\npd_default 40 0\npu_default 0 0\nexecute_penselect 1\n"
         "pu_default -80 0\npd_default 40 0\npu_default 0 0\n"},
        {"a path from where the last ended lifts first; a point is a dot",
         Cuts({P(1, {{0, 0}, {1, 0}}), P(1, {{1, 0}, {1, 1}}), P(1, {{5, 5}})}),
         {},
         "execute_penselect 1\npu_default 80 18640\npd_default 40 0\npu_default 0 0\npd_default 0 -40\n"
         "pu_default 160 -160\npd_default 0 0\npu_default 0 0\n"},
        {"speeds: settings, then the file's, then the start-up speed", speedPage, speeds,
         "VectorSpeed 100 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500\nexecute_penselect 1\n"
         "pu_default 80 18640\npd_default 40 0\npu_default 0 0\nexecute_penselect 2\npu_default -40 0\n"
         "pd_default 0 -40\npu_default 0 0\n"},
        {"offset", Cuts({P(1, {{0, 0}, {1, 0}})}), offset,
         "execute_penselect 1\npu_default 280 18680\npd_default 40 0\npu_default 0 0\n"},
        // 10..20 x 10..15 mm at 20 dots and rows per mm: 200 dots x 100 lines from dot 200, row 200.  The
        // carriage then stands at the image's left edge on its last line, row 299: 1794 plotbed units below the
        // PCL origin, 54126 from the corner, 18042 plotter units.
        {"engraving first, then the cuts",
         fillPage,
         {},
         Image(200, 100, 200, 200) + "execute_penselect 1\npu_default 0 198\npd_default 400 0\npu_default 0 0\n"},
        {"fills cut as outlines", fillPage, outline,
         "execute_penselect 1\npu_default 480 18240\npd_default 400 0\npu_default 0 0\nexecute_penselect 2\n"
         "pu_default -400 0\npd_default 400 0\npd_default 0 -200\npd_default -400 0\npd_default 0 200\n"
         "pu_default 0 0\n"},
    };
    for (const Case& c : cases) {
        const Written w = WriteCommands(c.page, c.settings);
        EXPECT_EQ(w.commands, "CorvantaCmdVer 1\n" + c.records) << c.name;
    }
}

TEST(DesignWriter, RasterSettingsAndBottomUp) {
    Page page;
    page.images = {Bitmap{0, 0, 10, 10.2, 2, 2, {0, 0, 0, 255}}};  // ink in the lower right quarter only
    Settings s;
    s.rasterDpi = 254, s.rasterRowsPerInch = 254, s.rasterRowsPerLine = 2, s.rasterBottomUp = true;
    s.rasterBothDirections = false, s.rasterFixedRunUp = true, s.rasterSpeedX = 500, s.rasterPower = 700;
    // Cropped to 5..10 x 5.1..10.2 mm: dots 50..100, rows 51..102, 51 rows in 26 lines of 2 rows; bottom-up
    // starts at the last line, row 51 + 25 x 2.
    const Written w = WriteCommands(page, s);
    EXPECT_EQ(w.commands,
              "CorvantaCmdVer 1\nRasterDPI 254\nRasterUnit 254\nRasterSpeedX 500\nRasterSpeedY 1000\n"
              "RasterFiringType 1\nRasterBandingFree 2\nRasterBuEngrave 1\nRasterAccelEngrave 1\nRasterPower 700\n"
              "ImageWidth 50\nImageHeight 26\nSetHorizontalPositionPCL 1 50\nSetVerticalPositionPCL 1 101\n"
              "SetStartRasterGraphics 0\n" +
                  Repeat("RasterLineOut 0\n", 26) + "SetEndRasterGraphics 0\nToHpglMode 0\n");
    s.cropImageMargins = false;
    EXPECT_NE(WriteCommands(page, s).commands.find("ImageWidth 100\nImageHeight 51\n"), std::string::npos);
    page.images[0].ink.assign(4, 0);  // blank: nothing to engrave once cropped
    s.cropImageMargins = true;
    EXPECT_EQ(WriteCommands(page, s).commands, "CorvantaCmdVer 1\n");
}

// Notes say which pens run at the start-up speed; limits and clamps hold and say so.
TEST(DesignWriter, NotesAndLimits) {
    Page page;
    page.cuts = {P(1, {{0, 0}, {1, 0}}), P(2, {{0, 0}, {1e9, 0}})};
    Written w = WriteCommands(page, {});
    std::string notes;
    for (const std::string& n : w.notes) notes += n + "\n";
    EXPECT_NE(notes.find("pens 1, 2 cut at the machine's start-up speed"), std::string::npos) << notes;
    EXPECT_NE(notes.find("clamped"), std::string::npos) << notes;
    EXPECT_NE(w.commands.find("pd_default 49999920 0"), std::string::npos);  // to 1.25 km from the corner
    EXPECT_FALSE(w.cut.InsideBed());

    WriteLimits limits;
    limits.maxRecords = 4;
    w = WriteCommands(page, {}, limits);
    EXPECT_TRUE(w.truncated);
    EXPECT_EQ(w.records, 4u);
    EXPECT_EQ(w.commands, "CorvantaCmdVer 1\nexecute_penselect 1\npu_default 80 18640\npd_default 40 0\n");
}

}  // namespace

// Raster images: placement, the carriage move to the first stroke, strokes and
// line steps, the cursor advance at the end, the return to vector work, and
// the records that cannot be carried out.
//
// Start-up machine: 3048 plotbed units per inch, PCL origin (240, 55920),
// hard_max.x 0, Resolution.X 0.  The images below use RasterAccelEngrave 1, so
// the run-up is 120 + 1440 = 1560 units whatever the speed.
#include <tuple>
#include <vector>

#include "driver/interp.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/servo/octant.h"
#include "planner/vector.h"
#include "raster/margin.h"
#include "raster/raster.h"
#include "support/test_support.h"

using namespace corvanta_test;

namespace {

struct Image {
    uint16_t dpi = 300, unit = 508;
    int8_t absolute = 1;
    int32_t offX = 600, offY = 508;   // dots, rows: plotbed (6096, 3048)
    int32_t width = 300, height = 3;  // 1 inch: stroke 3048 + 2 x 1560 = 6168
    uint16_t firing = 0;
    uint8_t bottomUp = 0, banding = 0;
};

void Load(const Image& img) {
    CurrentFileRec& cf = *ptCurrentFile;
    cf.RasterDPI = img.dpi, cf.RasterUnit = img.unit;
    cf.ImageAbsPosFlag = img.absolute, cf.ImageOffsetX = img.offX, cf.ImageOffsetY = img.offY;
    cf.ImageWidth = img.width, cf.ImageHeight = img.height;
    cf.RasterFiringType = img.firing, cf.RasterBuEngrave = img.bottomUp, cf.RasterBandingFree = img.banding;
    cf.RasterAccelEngrave = 1, cf.RasterSpeedX = 1000, cf.RasterSpeedY = 1000;
}

// The planner calls echoed under SvoVdbCmd, without their indent.
template <class Fn>
std::vector<std::string> Calls(Fn&& fn) {
    DbgSet(SvoVdbCmd);
    const std::string out = Console(fn);
    DbgClear(SvoVdbCmd);
    std::vector<std::string> calls;
    for (size_t at = 0; (at = out.find("    srvo_on_", at)) != std::string::npos;) {
        const size_t end = out.find("\n\r", at);
        calls.push_back(out.substr(at + 4, end - at - 4));
        at = end;
    }
    return calls;
}

std::vector<std::string> StartImage(const Image& img) {
    Load(img);
    return Calls([] { HandleStartRasterGraphics(); });
}

template <class Fn>
std::string AbortReason(Fn&& fn) {
    std::string reason;
    Console([&] {
        try {
            fn();
        } catch (const JobAbort& a) {
            reason = a.reason;
        }
    });
    return reason;
}

class RasterFlow : public ::testing::Test {
protected:
    void SetUp() override { StartMachine(); }
    // Servo idle at plotbed (x, y): PCL (x - 240, 55920 - y).
    static void PlaceCarriage(int32_t x, int32_t y) { SvoPosX = 4 * x, SvoPosY = 4 * y; }
};

using CallList = std::vector<std::string>;

TEST_F(RasterFlow, StartUpValuesGiveForwardStrokeAndClampedStart) {
    PlaceCarriage(1000, 2000);   // PCL (760, 53920)
    // Start X 6096 - 1560 = 4536 >= 0 and beyond hard_max.x 0: clamped to -240; Y first.
    EXPECT_EQ(StartImage({}), (CallList{"srvo_on_raster_move(6);", "srvo_on_ve(0,50872,0,0);",
                                      "srvo_on_raster_move(6);", "srvo_on_ve(-1000,0,0,0);"}));
    EXPECT_EQ(std::tuple(int{RasterDir}, PclPosX, x_mrg, PclPosY, y_mrg, PclAbsX, PclAbsY, RasterDistanceX),
              std::tuple(0, 6096, 6096, 3048, 3048, 600, 508, 6168));
    // Raster motion settings; the position records are consumed.
    EXPECT_EQ(std::tuple(int{End_Delay_1}, int{End_Delay_2}, CREEP_VELOCITY, CREEP_SPEED), std::tuple(5, 0, 4, 2500));
    const CurrentFileRec& cf = *ptCurrentFile;
    EXPECT_EQ(std::tuple(int{cf.ImageAbsPosFlag}, cf.ImageOffsetX, cf.ImageOffsetY), std::tuple(0, 0, 0));
    // With room up to hard_max.x the start is one diagonal move: (4536 - 760, 53920 - 3048).
    StartMachine();
    PlaceCarriage(1000, 2000);
    hard_max.x = 100000;
    EXPECT_EQ(StartImage({}), (CallList{"srvo_on_raster_move(6);", "srvo_on_ve(3776,50872,0,0);"}));
}

TEST_F(RasterFlow, FirstStrokeDirectionAndStart) {
    // Resolution.X 3048 and 3048 dpi at power 999: margins equal plotbed X.
    // span = 89520 - 76800 = 12720, T = 76800; stroke = width + 3120.
    struct Case { int32_t x, width, carriageX; uint16_t firing; uint8_t dir; int32_t startX; size_t moves; };
    const Case cases[] = {
        {12720, 3048, 0, 0, 0, 11160, 1},       // MarginL <= span: forward, x - 1560
        {76000, 3048, 0, 0, 1, 80608, 2},       // MarginR 79048 > T: backward, x - 1560 + 6168
        {76000, 3048, 0, 1, 0, 74440, 1},       // forward-only firing overrides
        {70000, 6800, 0, 0, 0, 68440, 1},       // MarginR = T
        {20000, 3048, 30000, 0, 1, 24608, 1},   // MarginR < T, carriage right of the middle 21524
        {20000, 3048, 0, 0, 0, 18440, 1},       // ... left of it
        {78776, 300, 0, 1, 0, 77216, 1},        // the last start reached diagonally
        {78777, 300, 0, 1, 0, 77217, 2},
    };
    for (const Case& c : cases) {
        StartMachine();
        hard_max.x = 100000;
        CurrentRomParam.MachParam.Resolution.X = 3048;
        ptCurrentFile->RasterPower = 999;
        PlaceCarriage(c.carriageX, 0);
        const size_t moves = StartImage({.dpi = 3048, .offX = c.x, .width = c.width, .firing = c.firing}).size() / 2;
        WaitServoIdle();
        EXPECT_EQ(std::tuple(int{RasterDir}, positionx - 240, moves), std::tuple(c.dir, c.startX, c.moves))
            << c.x << "," << c.carriageX;
    }
}

TEST_F(RasterFlow, AlternatingStrokesWithPureYSteps) {
    StartImage({.banding = 2});   // two rows of 6 units per line, top-down
    EXPECT_EQ(Calls([] { for (int i = 0; i < 3; ++i) HandleRasterLineOut(); }),
              (CallList{"srvo_on_raster_move(3);", "srvo_on_ve(6168,0,0,0);", "srvo_on_raster_move(5);",
                      "srvo_on_ve(0,-12,0,0);", "srvo_on_raster_move(4);", "srvo_on_ve(-6168,0,0,0);",
                      "srvo_on_raster_move(5);", "srvo_on_ve(0,-12,0,0);", "srvo_on_raster_move(3);",
                      "srvo_on_ve(6168,0,0,0);", "srvo_on_raster_move(5);", "srvo_on_ve(0,-12,0,0);"}));
    EXPECT_EQ(RasterIndicatorY, 3);
}

TEST_F(RasterFlow, ForwardOnlyStrokesWithDiagonalBottomUpSteps) {
    StartImage({.firing = 1, .bottomUp = 1});   // banding 0 steps one row
    const CallList line = {"srvo_on_raster_move(3);", "srvo_on_ve(6168,0,0,0);", "srvo_on_raster_move(5);",
                         "srvo_on_ve(-6168,6,0,0);"};
    EXPECT_EQ(Calls([] { HandleRasterLineOut(); }), line);
    EXPECT_EQ(Calls([] { HandleRasterLineOut(); }), line);
}

TEST_F(RasterFlow, LineStepsOfAWholeInchAddUpTo3048) {
    for (uint16_t unit : {304, 609}) {
        StartMachine();
        StartImage({.unit = unit, .offY = unit});   // plotbed Y 3048: the start of an inch, index 0
        WaitServoIdle();
        const int32_t y0 = positiony;
        for (int i = 0; i < unit; ++i) HandleRasterLineOut();
        EXPECT_EQ(std::tuple(y0 - positiony, RasterIndicatorY), std::tuple(3048, int{unit}));
    }
}

TEST_F(RasterFlow, CursorAdvanceAtTheImageEnd) {
    // Cursor at row 508 (plotbed 3048); advance = banding x (height - 1).
    struct Case { uint8_t bottomUp, banding; int32_t height, absY, posY; };
    const Case cases[] = {{0, 2, 3, 512, 3072}, {1, 2, 3, 504, 3024}, {0, 0, 3, 508, 3048}, {0, 2, 0, 508, 3048}};
    for (const Case& c : cases) {
        StartMachine();
        StartImage({.height = c.height, .bottomUp = c.bottomUp, .banding = c.banding});
        HandleEndRasterGraphics();
        // PclPosY = rows x 3048 / 508; the image is no longer pending.
        EXPECT_EQ(std::tuple(PclAbsY, PclPosY, ptCurrentFile->ImageWidth, ptCurrentFile->ImageHeight),
                  std::tuple(c.absY, c.posY, 0, 0));
    }
}

TEST_F(RasterFlow, SecondImagePlacedFromTheCursorOfTheFirst) {
    // Start-up cursor (-240, 55920), PCL (0, 0); offsets of 1 inch each way.
    StartImage({.absolute = 0, .offX = 300, .banding = 1});
    EXPECT_EQ(std::tuple(x_mrg, y_mrg), std::tuple(2808, 58968));
    HandleEndRasterGraphics();   // row 508 + 2: plotbed 510 x 6 = 3060
    ptCurrentFile->ImageWidth = 300, ptCurrentFile->ImageHeight = 3;
    Calls([] { HandleStartRasterGraphics(); });
    EXPECT_EQ(std::tuple(PclAbsX, PclAbsY, x_mrg, y_mrg), std::tuple(300, 510, 2808, 3060));
}

TEST_F(RasterFlow, BackToVectorWorkAtTheCursor) {
    PlaceCarriage(1240, 52872);   // PCL (1000, 3048)
    PclPosX = 2000, PclPosY = 1000;
    End_Delay_1 = 5;   // the raster value, to be put back
    EXPECT_EQ(Calls([] { HandleToHpglMode(); }), (CallList{"srvo_on_raster_move(6);", "srvo_on_ve(1000,2048,0,0);"}));
    // The move has run (the vector start waits for the servo) and vector settings are back.
    EXPECT_EQ(std::tuple(int{LanguageMode}, positionx, positiony, int{End_Delay_1}), std::tuple(1, 2240, 54920, 24));
    // Already at the cursor: the zero move is still made (and queues nothing).
    VdbData* const before = freeptr;
    EXPECT_EQ(Calls([] { HandleToHpglMode(); }), (CallList{"srvo_on_raster_move(6);", "srvo_on_ve(0,0,0,0);"}));
    EXPECT_EQ(freeptr, before->next);
}

TEST_F(RasterFlow, ImagesWithoutResolutionOrTableAreRefused) {
    Load({.dpi = 0});
    EXPECT_EQ(AbortReason([] { HandleStartRasterGraphics(); }), "RasterParamError");
    Load({.unit = 0});
    EXPECT_EQ(AbortReason([] { HandleStartRasterGraphics(); }), "RasterParamError");
    // The end divides by RasterUnit only when it advances the cursor.
    EXPECT_EQ(AbortReason([] { HandleEndRasterGraphics(); }), "RasterParamError");
    ptCurrentFile->ImageHeight = 0;
    EXPECT_EQ(AbortReason([] { HandleEndRasterGraphics(); }), "");
    // No image has ever selected a step table.
    EXPECT_EQ(AbortReason([] { HandleRasterLineOut(); }), "RasterParamError");
}

TEST_F(RasterFlow, LineIndexOutsideTheTableIsWrapped) {
    StartImage({.unit = 304});
    // Cursor at plotbed Y -1164: cur_point = -1164 x 304 / 3048 = -116, index -115,
    // by floor modulo entry 189, one of the 11-unit entries.
    SetRasterDistance(RasterDistanceX, -1164, 304);
    ASSERT_EQ(RasterIndicatorY, -115);
    EXPECT_EQ(Calls([] { HandleRasterLineOut(); }).back(), "srvo_on_ve(0,-11,0,0);");
    EXPECT_EQ(RasterIndicatorY, 190);
    // Unit 300 selects no table and keeps the 3-entry table of a 508 image:
    // Y 1524 gives index 150 + 1, entry 151 mod 3 = 1.
    StartMachine();
    StartImage({});
    StartImage({.unit = 300, .offY = 150});
    ASSERT_EQ(RasterIndicatorY, 151);
    EXPECT_EQ(Calls([] { HandleRasterLineOut(); }).back(), "srvo_on_ve(0,-6,0,0);");
    EXPECT_EQ(RasterIndicatorY, 2);
}

}  // namespace

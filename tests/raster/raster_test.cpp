// Raster images: placement, the carriage move to the first stroke, strokes and
// line steps, the cursor advance at the end, the return to vector work, the
// records that cannot be carried out; run-up distance, line-step tables and
// the carriage position taken as PCL cursor.
//
// Start-up machine: 3048 plotbed units per inch, PCL origin (240, 55920),
// hard_max.x 0, Resolution.X 0.  The images below use RasterAccelEngrave 1, so
// the run-up is 120 + 1440 = 1560 units whatever the speed.
#include <sstream>
#include <tuple>

#include "support/test_support.h"

using namespace corvanta_test;

namespace {

struct Image {
    uint16_t dpi = 300, unit = 508;
    int8_t absolute = 1;
    // Offsets in dots and rows: plotbed (6096, 3048).  Always 1 inch wide: stroke 3048 + 2 x 1560 = 6168.
    int32_t offX = 600, offY = 508, height = 3;
    uint16_t firing = 0;
    uint8_t bottomUp = 0, banding = 0;
};

template <class Fn>
std::string AbortReason(Fn&& fn) {
    try {
        fn();
    } catch (const JobAbort& a) {
        return a.reason;
    }
    return "";
}

class RasterFlow : public MachineTest {
protected:
    void Load(const Image& img) {
        CurrentFileRec& cf = *ptCurrentFile;
        cf.RasterDPI = img.dpi, cf.RasterUnit = img.unit, cf.ImageWidth = 300, cf.ImageHeight = img.height;
        cf.ImageAbsPosFlag = img.absolute, cf.ImageOffsetX = img.offX, cf.ImageOffsetY = img.offY;
        cf.RasterFiringType = img.firing, cf.RasterBuEngrave = img.bottomUp, cf.RasterBandingFree = img.banding;
        cf.RasterAccelEngrave = 1, cf.RasterSpeedX = 1000, cf.RasterSpeedY = 1000;
    }
    // The planner calls echoed under SvoVdbCmd, each followed by a space.
    template <class Fn>
    std::string Calls(Fn&& fn) {
        DbgSet(SvoVdbCmd);
        std::istringstream out(Console(fn));
        DbgClear(SvoVdbCmd);
        std::string calls;
        for (std::string word; out >> word;)
            if (word.starts_with("srvo_on_")) calls += word + " ";
        return calls;
    }
    std::string StartImage(const Image& img) {
        Load(img);
        return Calls([this] { HandleStartRasterGraphics(); });
    }
    // Servo idle at plotbed (x, y): PCL (x - 240, 55920 - y).
    void PlaceCarriage(int32_t x, int32_t y) { SvoPosX = 4 * x, SvoPosY = 4 * y; }
};
template <class Case>
class RasterCases : public RasterFlow, public testing::WithParamInterface<Case> {};

// Resolution.X 0 gives margins of 0, so every first stroke is forward; hard_max.x 0
// clamps any start at X 0 or more, so the carriage always goes along Y, then X.
TEST_F(RasterFlow, FirstStrokeIsForwardAndStartsAlongYThenX) {
    PlaceCarriage(1000, 2000);  // PCL (760, 53920)
    // Start X 6096 - 1560 = 4536: clamped to -240.
    EXPECT_EQ(StartImage({}),
              "srvo_on_raster_move(6); srvo_on_ve(0,50872,0,0); "
              "srvo_on_raster_move(6); srvo_on_ve(-1000,0,0,0); ");
    EXPECT_EQ(std::tuple(int{RasterDir}, PclPosX, x_mrg, PclPosY, y_mrg, PclAbsX, PclAbsY, RasterDistanceX),
              std::tuple(0, 6096, 6096, 3048, 3048, 600, 508, 6168));
    // From there (PCL X -240), an image at 100 dots: start X 1016 - 1560 = -544 is not clamped.
    EXPECT_EQ(StartImage({.offX = 100}),
              "srvo_on_raster_move(6); srvo_on_ve(0,0,0,0); "
              "srvo_on_raster_move(6); srvo_on_ve(-304,0,0,0); ");
}

TEST_F(RasterFlow, AlternatingStrokesWithPureTopDownSteps) {
    StartImage({.banding = 2});  // two rows of 6 units per line
    EXPECT_EQ(Calls([this] {
                  for (int i = 0; i < 3; ++i) HandleRasterLineOut();
              }),
              "srvo_on_raster_move(3); srvo_on_ve(6168,0,0,0); srvo_on_raster_move(5); srvo_on_ve(0,-12,0,0); "
              "srvo_on_raster_move(4); srvo_on_ve(-6168,0,0,0); srvo_on_raster_move(5); srvo_on_ve(0,-12,0,0); "
              "srvo_on_raster_move(3); srvo_on_ve(6168,0,0,0); srvo_on_raster_move(5); srvo_on_ve(0,-12,0,0); ");
}

TEST_F(RasterFlow, ForwardOnlyStrokesWithDiagonalBottomUpSteps) {
    StartImage({.firing = 1, .bottomUp = 1});  // banding 0 steps one row
    EXPECT_EQ(Calls([this] {
                  for (int i = 0; i < 2; ++i) HandleRasterLineOut();
              }),
              "srvo_on_raster_move(3); srvo_on_ve(6168,0,0,0); srvo_on_raster_move(5); srvo_on_ve(-6168,6,0,0); "
              "srvo_on_raster_move(3); srvo_on_ve(6168,0,0,0); srvo_on_raster_move(5); srvo_on_ve(-6168,6,0,0); ");
}

using LineSteps = RasterCases<uint16_t>;
TEST_P(LineSteps, OfAWholeInchAddUpTo3048) {
    const uint16_t unit = GetParam();
    StartImage({.unit = unit, .offY = unit});  // plotbed Y 3048: the start of an inch, index 0
    WaitServoIdle();
    const int32_t y0 = positiony;
    for (int i = 0; i < unit; ++i) HandleRasterLineOut();
    EXPECT_EQ(std::tuple(y0 - positiony, RasterIndicatorY), std::tuple(3048, int{unit}));
}
INSTANTIATE_TEST_SUITE_P(Units, LineSteps, testing::Values(304, 609));

// Cursor at row 508 (plotbed 3048); advance = banding x (height - 1).
struct AdvanceCase {
    uint8_t bottomUp, banding;
    int32_t height, absY, posY;
};
const AdvanceCase kAdvances[] = {
    {0, 2, 3, 512, 3072}, {1, 2, 3, 504, 3024}, {0, 0, 3, 508, 3048}, {0, 2, 0, 508, 3048}};
using CursorAdvance = RasterCases<AdvanceCase>;
TEST_P(CursorAdvance, AtTheImageEnd) {
    const AdvanceCase& c = GetParam();
    StartImage({.height = c.height, .bottomUp = c.bottomUp, .banding = c.banding});
    HandleEndRasterGraphics();
    // PclPosY = rows x 3048 / 508; the image is no longer pending.
    EXPECT_EQ(std::tuple(PclAbsY, PclPosY, ptCurrentFile->ImageWidth, ptCurrentFile->ImageHeight),
              std::tuple(c.absY, c.posY, 0, 0));
}
INSTANTIATE_TEST_SUITE_P(Rows, CursorAdvance, testing::ValuesIn(kAdvances));

TEST_F(RasterFlow, SecondImagePlacedFromTheCursorOfTheFirst) {
    // Start-up cursor (-240, 55920), PCL (0, 0); offsets of 1 inch each way.
    StartImage({.absolute = 0, .offX = 300, .banding = 1});
    EXPECT_EQ(std::tuple(x_mrg, y_mrg), std::tuple(2808, 58968));
    HandleEndRasterGraphics();  // row 508 + 2: plotbed 510 x 6 = 3060
    // The offsets were consumed by the first start: the second sits at the cursor.
    ptCurrentFile->ImageWidth = 300, ptCurrentFile->ImageHeight = 3;
    Calls([this] { HandleStartRasterGraphics(); });
    EXPECT_EQ(std::tuple(PclAbsX, PclAbsY, x_mrg, y_mrg), std::tuple(300, 510, 2808, 3060));
}

TEST_F(RasterFlow, BackToVectorWorkAtTheCursor) {
    PlaceCarriage(1240, 52872);  // PCL (1000, 3048)
    PclPosX = 2000, PclPosY = 1000;
    End_Delay_1 = 5;  // the raster value, to be put back
    EXPECT_EQ(Calls([this] { HandleToHpglMode(); }), "srvo_on_raster_move(6); srvo_on_ve(1000,2048,0,0); ");
    // The move has run (the vector start waits for the servo) and vector settings are back.
    EXPECT_EQ(std::tuple(int{LanguageMode}, positionx, positiony, int{End_Delay_1}), std::tuple(1, 2240, 54920, 24));
}

TEST_F(RasterFlow, ImagesWithoutResolutionOrTableAreRefused) {
    Load({.dpi = 0});
    EXPECT_EQ(AbortReason([this] { HandleStartRasterGraphics(); }), "RasterParamError");
    Load({.unit = 0});
    EXPECT_EQ(AbortReason([this] { HandleStartRasterGraphics(); }), "RasterParamError");
    // The end divides by RasterUnit only when it advances the cursor.
    EXPECT_EQ(AbortReason([this] { HandleEndRasterGraphics(); }), "RasterParamError");
    ptCurrentFile->ImageHeight = 0;
    EXPECT_EQ(AbortReason([this] { HandleEndRasterGraphics(); }), "");
    // No image has ever selected a step table.
    EXPECT_EQ(AbortReason([this] { HandleRasterLineOut(); }), "RasterParamError");
}

TEST_F(RasterFlow, LineIndexOutsideTheTableIsWrapped) {
    StartImage({.unit = 304});
    // Cursor at plotbed Y -1164: cur_point = -1164 x 304 / 3048 = -116, index -115,
    // by floor modulo entry 189, one of the 11-unit entries.
    SetRasterDistance(RasterDistanceX, -1164, 304);
    EXPECT_TRUE(Calls([this] { HandleRasterLineOut(); }).ends_with("srvo_on_ve(0,-11,0,0); "));
    EXPECT_EQ(RasterIndicatorY, 190);
    // Unit 300 selects no table and keeps the 3-entry table of a 508 image:
    // Y 1524 gives index 150 + 1, entry 151 mod 3 = 1.
    StartImage({});
    StartImage({.unit = 300, .offY = 150});
    EXPECT_TRUE(Calls([this] { HandleRasterLineOut(); }).ends_with("srvo_on_ve(0,-6,0,0); "));
    EXPECT_EQ(RasterIndicatorY, 2);
}

// Run-up by hand: d = ((3048 x ips^2) / 2) / a with a in g, then d / 386.4 + 120;
// start-up MaxVelocity.X 80 in/s, MaxAcceleration.X 50 (5 g).
TEST_F(RasterFlow, AccelDistance) {
    struct Case {
        uint16_t speedX;
        int32_t maxAccel;
        uint16_t expected;
    };
    const Case cases[] = {
        {0, 50, 120},      // ips 0: 1 mm only
        {500, 50, 1382},   // ips 40: 487680 / 386.4 = 1262.1
        {1000, 50, 5168},  // ips 80: 1950720 / 386.4 = 5048.4
        {1000, 40, 5168},  // 4 g is raised to 5 g
    };
    for (const Case& c : cases) {
        ptCurrentFile->RasterSpeedX = c.speedX;
        CurrentRomParam.MachParam.MaxAcceleration.X = c.maxAccel;
        EXPECT_EQ(CalAccelDistance(), c.expected) << c.speedX << " " << c.maxAccel;
    }
}

TEST_F(RasterFlow, RunUpStrokeLengthAndDefaultAcceleration) {
    Load({});  // speed 1000, RasterAccelEngrave 1: 13 mm instead of 5168 + 600
    Console([this] { HandleRasterMoving(); });
    EXPECT_EQ(std::tuple(RasterAccelDist, RasterDistanceX), std::tuple(1560, 3048 + 2 * 1560));
    // Acceleration 0 becomes 50 tenths of 1 g (50 x 12350 / 10) and stays for later images.
    EXPECT_EQ(std::tuple(int{ptCurrentFile->RasterAccelX}, int{ptCurrentFile->RasterAccelY},
                         VelAccelPool[RASTER_FORWARD_CLASS].accel),
              std::tuple(50, 50, 50 * 1235));
}

TEST_F(RasterFlow, StepTableAndIndexFromTheUnit) {
    SetRasterDistance(4488, 1524, 304);  // half an inch: 1524 x 304 / 3048 = 152
    EXPECT_EQ(std::tuple(RasterDistanceX, RasterStepTable, rasterindicator, RasterIndicatorY),
              std::tuple(4488, RasterStep304.data(), 304, 153));
    // Units dividing 3048 use the even table from index 0, wherever the cursor is.
    for (auto [unit, step] : {std::pair{508, 6}, {381, 8}, {762, 4}}) {
        SetRasterDistance(0, 1524, unit);
        EXPECT_EQ(std::tuple(RasterStepTable, rasterindicator, RasterIndicatorY, RasterStepEven[0], RasterStepEven[2]),
                  std::tuple(&RasterStepEven[0], 3, 0, step, step))
            << unit;
    }
}

TEST_F(RasterFlow, ToPclModeTakesTheCursorFromTheCarriage) {
    Load({});
    PlaceCarriage(1240, 52872);  // PCL (1000, 3048)
    HandleHpglToPclPosition();
    // 1000 x 300 / 3048 = 98.4 dots, 3048 x 508 / 3048 rows.
    EXPECT_EQ(std::tuple(PclPosX, PclPosY, PclAbsX, PclAbsY), std::tuple(1000, 3048, 98, 508));
}

}  // namespace

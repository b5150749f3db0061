// Raster margins, run-up distance, stroke length, line-step tables, raster
// speeds and the plotbed/PCL conversions.  Start-up machine: 3048 plotbed
// units per inch, MaxVelocity.X 80 in/s, MaxAcceleration.X 50 (5 g), 1 mm = 120.
#include <numeric>
#include <tuple>

#include "fwShare/debug.h"
#include "fwShare/servo/octant.h"
#include "planner/vdb.h"
#include "raster/margin.h"
#include "raster/raster.h"
#include "setup/speeds.h"
#include "support/test_support.h"

using namespace corvanta_test;

namespace {

class RasterSetup : public ::testing::Test {
protected:
    void SetUp() override {
        StartMachine();
        ptCurrentFile->RasterDPI = 300;
        ptCurrentFile->ImageWidth = 300;   // 1 inch
    }
};

TEST_F(RasterSetup, MarginsOfTheImage) {
    x_mrg = PclPosX = 6096;
    HandleRasterMargin();   // start-up Resolution.X 0: both margins 0
    EXPECT_EQ(std::tuple(MarginL, MarginR, MarginMid), std::tuple(0, 0, 6096 + 1524));
    // Resolution.X 3048, power 0: width 3048 - (999 x 3048 / 1000) / 300 = 3048 - 10.
    CurrentRomParam.MachParam.Resolution.X = 3048;
    HandleRasterMargin();
    EXPECT_EQ(std::tuple(MarginL, MarginR), std::tuple(6096, 6096 + 3038));
}

TEST_F(RasterSetup, AccelDistance) {
    // By hand: d = ((3048 x ips^2) / 2) / a, result d / 386.4 + 120, low 16 bits.
    struct Case { uint16_t speedX; int32_t maxAccel, maxVel; uint16_t expected; };
    const Case cases[] = {
        {0, 50, 243840, 120},        // ips 0: 1 mm only
        {500, 50, 243840, 1382},     // ips 40: 487680 / 386.4 = 1262.1
        {1000, 50, 243840, 5168},    // ips 80: 1950720 / 386.4 = 5048.4
        {1000, 40, 243840, 5168},    // 4 g is raised to 5 g
        {1000, 60, 243840, 4327},    // 6 g: 1625600 / 386.4 = 4207.0
        {1000, 50, 1219200, 60795},  // 400 in/s: 126331 wraps to 16 bits
    };
    for (const Case& c : cases) {
        ptCurrentFile->RasterSpeedX = c.speedX;
        CurrentRomParam.MachParam.MaxAcceleration.X = c.maxAccel;
        CurrentRomParam.MachParam.MaxVelocity.X = c.maxVel;
        EXPECT_EQ(CalAccelDistance(), c.expected) << c.speedX << " " << c.maxAccel << " " << c.maxVel;
    }
}

TEST_F(RasterSetup, RunUpAndStrokeLength) {
    Console([] { HandleRasterMoving(); });   // speed 0: 120 + 600 margin
    EXPECT_EQ(std::tuple(RasterAccelDist, RasterDistanceX), std::tuple(720, 3048 + 2 * 720));
    ptCurrentFile->RasterAccelEngrave = 1;   // 13 mm whatever the speed
    for (uint16_t speed : {0, 1000}) {
        ptCurrentFile->RasterSpeedX = speed;
        Console([] { HandleRasterMoving(); });
        EXPECT_EQ(std::tuple(RasterAccelDist, RasterDistanceX), std::tuple(1560, 3048 + 2 * 1560));
    }
}

TEST_F(RasterSetup, RasterSpeedsAndDefaultAcceleration) {
    ptCurrentFile->RasterSpeedX = 1000;   // 243840
    ptCurrentFile->RasterSpeedY = 500;    // 124968 / 2
    EXPECT_EQ(Console([] { HandleRasterMoving(); }),
              "setup_plotbed_speeds(RASTER_FORWARD ,243840,50);\n\r"
              "setup_plotbed_speeds(RASTER_BACKWARD,243840,50);\n\r"
              "setup_plotbed_speeds(RASTER_OFFSET  ,62484,50);\n\r"
              "setup_plotbed_speeds(RASTER_MOVE    ,121920,50);\n\r");
    // Kept for later images; 50 tenths of 1 g is 50 x 12350 / 10.
    EXPECT_EQ(std::tuple(int{ptCurrentFile->RasterAccelX}, int{ptCurrentFile->RasterAccelY},
                         VelAccelPool[RASTER_FORWARD_CLASS].accel),
              std::tuple(50, 50, 50 * 1235));
    ptCurrentFile->RasterAccelY = 20;
    const std::string again = Console([] { HandleRasterMoving(); });
    EXPECT_NE(again.find("(RASTER_BACKWARD,243840,50)"), std::string::npos);
    EXPECT_NE(again.find("(RASTER_MOVE    ,121920,20)"), std::string::npos);
}

TEST(RasterStepTables, EachSumsToOneInch) {
    EXPECT_EQ(std::accumulate(RasterStep304.begin(), RasterStep304.end(), 0), 3048);
    EXPECT_EQ(std::accumulate(RasterStep609.begin(), RasterStep609.end(), 0), 3048);
    for (size_t i = 0; i < RasterStep304.size(); ++i) EXPECT_EQ(RasterStep304[i], i % 38 == 37 ? 11 : 10) << i;
    for (size_t i = 0; i < RasterStep609.size(); ++i) EXPECT_EQ(RasterStep609[i], i % 203 == 202 ? 6 : 5) << i;
}

TEST(RasterStepTables, TableAndIndexFromTheUnit) {
    StartMachine();
    SetRasterDistance(4488, 1524, 304);   // half an inch: 1524 x 304 / 3048 = 152
    EXPECT_EQ(std::tuple(RasterDistanceX, RasterStepTable, rasterindicator, RasterIndicatorY),
              std::tuple(4488, RasterStep304.data(), 304, 153));
    SetRasterDistance(0, 1524, 609);      // 1524 x 609 / 3048 = 304.5
    EXPECT_EQ(std::tuple(RasterStepTable, RasterIndicatorY), std::tuple(RasterStep609.data(), 305));
    SetRasterDistance(0, 0, 609);         // cur_point 0 gives index 0
    EXPECT_EQ(RasterIndicatorY, 0);
    // Units dividing 3048 use the even table from index 0, wherever the cursor is.
    for (auto [unit, step] : {std::pair{508, 6}, {381, 8}, {762, 4}}) {
        SetRasterDistance(0, 1524, unit);
        EXPECT_EQ(std::tuple(RasterStepTable, rasterindicator, RasterIndicatorY, RasterStepEven[0], RasterStepEven[2]),
                  std::tuple(&RasterStepEven[0], 3, 0, step, step))
            << unit;
    }
    // A unit selecting no table keeps the last one: 1524 x 300 / 3048 = 150.
    SetRasterDistance(0, 1524, 304);
    SetRasterDistance(0, 1524, 300);
    EXPECT_EQ(std::tuple(RasterStepTable, rasterindicator, RasterIndicatorY),
              std::tuple(RasterStep304.data(), 304, 151));
}

TEST_F(RasterSetup, PlotbedToPcl) {
    lsr_TransPlotbedtoPCL(300, 508, {1000, 3048, 0, 0});   // 300000 / 3048 = 98.4
    EXPECT_EQ(std::tuple(PclAbsX, PclAbsY), std::tuple(98, 508));
    lsr_TransPlotbedtoPCL(300, 508, {-240, -1524, 0, 0});  // truncation toward zero: -23.6
    EXPECT_EQ(std::tuple(PclAbsX, PclAbsY), std::tuple(-23, -254));
    // ToPclMode: the cursor is where the carriage stands, (1240 - 240, 55920 - 52872).
    ptCurrentFile->RasterUnit = 508;
    SvoPosX = 4 * 1240, SvoPosY = 4 * 52872;
    HandleHpglToPclPosition();
    EXPECT_EQ(std::tuple(PclPosX, PclPosY, PclAbsX, PclAbsY), std::tuple(1000, 3048, 98, 508));
}

}  // namespace

// Resolution factors, position conversions and speed records of the machine set-up.
#include "support/test_support.h"

using namespace corvanta_test;
using V = std::vector<int64_t>;

namespace {

using Resolution = MachineTest;
using PlotbedSpeeds = MachineTest;

// Servo units to encoder counts (Q16 product with the derived scales 16383 and
// 32768) and, at the idle wait, to plotbed units (divided by 4): both truncate
// toward zero.
TEST_F(Resolution, EncoderCountsAndPlotbedPosition) {
    for (const auto& c :
         {V{4, 0, -87987, 6104, 1, 0}, V{8, 2, -87986, 6103, 2, 0}, V{-1, -1, -87987, 6104, 0, 0},
          V{-8, -4, -87988, 6106, -2, -1}, V{-7, 7, -87988, 6101, -1, 1}, V{-3, -3, -87987, 6105, 0, 0}}) {
        SvoPosX = static_cast<int32_t>(c[0]), SvoPosY = static_cast<int32_t>(c[1]), FormatPosition(), WaitServoIdle();
        EXPECT_EQ((V{EncX, EncY, positionx, positiony}), (V{c[2], c[3], c[4], c[5]})) << c[0] << "," << c[1];
    }
}

TEST_F(PlotbedSpeeds, RecordsOfTheVectorModeCalls) {
    // accel argument, class, speed; then accel, sps, diag_vel, axial_vel, LowSpeed, min_corner_vel.
    const int32_t cases[][9] = {
        {1, PEN_UP_CLASS, 1200, 1235, 575, 12, 12, 0, 795},
        {1, PEN_DOWN_CLASS, 1200, 12, 575, 1249, 1249, 0, 81912},
        {50, RASTER_FORWARD_CLASS, 244800, 61750, 244175, 103, 103, 0, 15},
        {1, RASTER_OFFSET_CLASS, 2400, 1235, 1775, 37, 37, 0, 795},
        {1, RASTER_MOVE_CLASS, 1560, 1235, 935, 19, 19, 0, 795},
        {3, PEN_UP_CLASS, 121920, 3705, 121295, 858, 858, 0, 265},
        {30, PEN_DOWN_CLASS, 62484, 360, 61859, 4504, 4504, 0, 2730},
        {60, PEN_DOWN_CLASS, 62484, 720, 61859, 2252, 2252, 0, 1365},
        {30, PEN_DOWN_CLASS, 625, 360, 625, 0, 0, 15, 2730},  // at CREEP_SPEED: low-speed record
        {30, PEN_DOWN_CLASS, 626, 360, 1, 1, 1, 0, 2730},     // one above: steps forced to 1
    };
    for (const auto& c : cases) {
        Console([&] { setup_plotbed_speeds(c[0], c[1], static_cast<uint32_t>(c[2])); });
        const VelAccelRec& r = VelAccelPool[c[1]];
        EXPECT_EQ((V{r.id, r.accel, r.sps, r.diag_vel, r.axial_vel, r.LowSpeed, r.ips, min_corner_vel, boundary_speed,
                     factor_num}),
                  (V{c[1], c[3], c[4], c[5], c[6], c[7], 0, c[8], 625, 15}))
            << SpeedClassNames[c[1]] << "," << c[2];
    }
    CREEP_VELOCITY = 4, CREEP_SPEED = 2500;  // raster mode
    DbgSet(SvoSpeed);                        // also traces the call and dumps the record (factor 65)
    EXPECT_EQ(Console([this] { setup_plotbed_speeds(50, RASTER_OFFSET_CLASS, 1000); }),
              "T00000 setup_plotbed_speeds(RASTER_OFFSET  ,1000,50);\n\r"
              "setup_plotbed_speeds(RASTER_OFFSET  ,1000,50);\n\r"
              "  id        : 5\n\r  diag_vel  : 0\n\r  axial_vel : 0\n\r  accel     : 61750\n\r"
              "  sps       : 1000\n\r  LowSpeed  : 26\n\r  ips       : 0\n\r");
}

// The models differ only in the pens' pen-down acceleration (30 or 60
// thousandths of 1 g).  Pen-down speed in thousandths of MaxVelocity.Y at that
// acceleration; pen-up is always 0.3 g at 40 in/s.
TEST(VectorSpeed, SpeedRecordsPerModel) {
    // speed of pen 7, pen-down speed, LowSpeed, acceleration of the model.
    for (const auto& c : {V{500, 62484, 0, 30}, V{1000, 124968, 0, 60}, V{0, 0, 1, 30}}) {
        Rig m(c[3] == 30 ? ModelXR7 : ModelK730, false);
        m.ptCurrentFile->VectorCurrentPen = 7;
        m.ptCurrentFile->VectorSpeed[7] = static_cast<uint16_t>(c[0]);
        m.SetVectorMode(), m.lsrinp_SetVectSpeed();
        EXPECT_EQ(m.NewConsole(),
                  "setup_plotbed_speeds(PEN_UP         ,121920,3);\n\r"
                  "setup_plotbed_speeds(PEN_DOWN       ," +
                      std::to_string(c[1]) + "," + std::to_string(c[3]) + ");\n\r")
            << m.CorvantaModel.tag;
        EXPECT_EQ((V{m.VelAccelPool[PEN_DOWN_CLASS].LowSpeed, m.VelAccelPool[PEN_UP_CLASS].diag_vel, m.End_Delay_1,
                     m.End_Delay_2, m.End_Delay_3}),
                  (V{c[2], 858, 24, 100, 3}));
    }
}

}  // namespace

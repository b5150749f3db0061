// Start-up values, resolution factors and speed records of the machine set-up.
#include <cstring>

#include "driver/jobtime.h"
#include "driver/program.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "planner/vdb.h"
#include "raster/raster.h"
#include "setup/speeds.h"
#include "setup/varreso.h"
#include "support/test_support.h"

using namespace corvanta_test;
using V = std::vector<int64_t>;

namespace {

V Gains(const ServoGainRec& g) {
    return {g.XGain, g.YGain, g.XRateFactor, g.YRateFactor, g.XIGain, g.YIGain, g.K3X, g.K3Y,
            g.rXGain, g.rGain, g.rXratefactor, g.rratefactor, g.rXIGain, g.rIGain, g.XILimit, g.YILimit};
}

TEST(MachineStartup, PrintsTheSixSpeedLinesAndHoldsWithCompiledInDefaults) {
    EXPECT_EQ(StartMachine(ModelXR7, false),
              "setup_plotbed_speeds(PEN_UP         ,1200,1);\n\r"
              "setup_plotbed_speeds(PEN_DOWN       ,1200,1);\n\r"
              "setup_plotbed_speeds(RASTER_FORWARD ,244800,50);\n\r"
              "setup_plotbed_speeds(RASTER_BACKWARD,244800,50);\n\r"
              "setup_plotbed_speeds(RASTER_OFFSET  ,2400,1);\n\r"
              "setup_plotbed_speeds(RASTER_MOVE    ,1560,1);\n\r");
    EXPECT_EQ((V{IsrState, JobTimePhase.load(), JobStartTick, JobEndTick, IsrTick.load(), pbdVelType, pipeflag,
                 IsrCreepVel.load(), CREEP_VELOCITY, CREEP_SPEED, PenUpSpeed, RasterMarginEngrave,
                 RasterMarginNormal, UsePseudoDist, EncOffsetX, EncOffsetY, HwScaleFactorX, HwScaleFactorY}),
              (V{ISRHOLD, 0, 0, 0, 0, 1, 0, 1, 1, 625, 121920, 1440, 600, 1, -87987, 6104, 10923, 5461}));
    EXPECT_EQ(SVO_VectPtr.load(), nullptr);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(VelAccelPool[k].id, k);

    // MaxDistance .. EndDelay6: twenty int32 in record order.
    int32_t head[20];
    std::memcpy(head, &CurrentRomParam.MachParam, sizeof head);
    EXPECT_EQ(V(head, head + 20), (V{89520, 56400, 243840, 124968, 50, 1, 76800, 55200, 240, 55920, 240, 55920, 0, 0,
                                     24, 100, 3, 5, 0, 0}));
    EXPECT_EQ(Gains(CurrentRomParam.MachParam.ServoAux),
              (V{120, 150, 3700, 3300, 5, 5, 250, 10, 0, 0, 0, 0, 0, 0, 4800, 6400}));
    EXPECT_EQ(Gains(CurrentRomParam.MachParam.ServoVector),
              (V{100, 140, 4000, 4100, 4, 5, 120, 160, 0, 0, 0, 0, 0, 0, 2400, 3200}));
}

// The two model variants differ only in the third acceleration level.
TEST(MachineStartup, PenTablesPerModel) {
    for (const ModelVariant* model : {&ModelXR7, &ModelK730}) {
        StartMachine(*model, false);
        const int16_t level3 = model == &ModelXR7 ? 30 : 60;
        EXPECT_EQ((V{VectorAccelLevels[1], VectorAccelLevels[2], VectorAccelLevels[3], ptCurrentFile->VectorAccel[0]}),
                  (V{32, 32, level3, 1}));
        for (int p = 0; p <= 16; ++p) {
            EXPECT_EQ(ptCurrentFile->VectorSpeed[p], 500) << p;
            EXPECT_EQ(pLaserVectorParam->VectorAccel[p], 3) << p;
            EXPECT_EQ(ptCurrentFile->VectorAccel[p], p ? level3 : 1) << model->tag << " pen " << p;
        }
    }
}

TEST(MachineStartup, ServoAndPclPositionsFollowThePlotbedPosition) {
    StartMachine(ModelXR7, false);
    EXPECT_EQ((V{SvoPosX, SvoPosY, PclPosX, PclPosY}), (V{0, 0, -240, 55920}));
    EXPECT_STREQ(FormatPosition(), "Pbd:0,0  Svo:0,0  Enc:-87987,6104");

    // A start-up from another plotbed position keeps it and derives the rest from it.
    Console([] {
        ResetProcessState();
        SchedDeterministic = true;
        positionx = 1000;
        positiony = -30;
        InitMachine();
    });
    EXPECT_EQ((V{SvoPosX, SvoPosY, positionx, positiony, PclPosX, PclPosY}), (V{4000, -120, 1000, -30, 760, 55950}));
}

TEST(Resolution, ConversionFactorsAndEncoderCounts) {
    StartMachine(ModelXR7, false);
    // HwScale X and Y, SvoReso X, PbdReso X, AuxReso X, HpglReso X: x 10 / 254, truncating.
    EXPECT_EQ((V{ResoPerMm[0], ResoPerMm[1], ResoPerMm[3], ResoPerMm[6], ResoPerMm[9], ResoPerMm[12]}),
              (V{430, 215, 480, 120, 80, 40}));
    EXPECT_EQ((V{SvoPerMmX, PbdPerMmX, PbdPerMmY, VARRESO_PbdToSvoX, VARRESO_PbdToSvoY, HpglToPbdX, HpglToPbdY}),
              (V{480, 120, 120, 4, 4, 3, 3}));
    // 10923 x 1.5 = 16384.5 rounds away from zero.
    EXPECT_EQ((V{EncToSvoX, EncToSvoY, EncScaleX, EncScaleY, OneG, RasterMoveSpeed}),
              (V{16385, 8192, 16383, 32768, 12350, 121920}));
    EXPECT_EQ(static_cast<double>(ServoTickPeriod), 0.00039999998989515007);

    // Servo to encoder counts: the Q16 product truncates toward zero.
    for (const auto& c : {V{4, 0, -87987, 6104}, V{8, 2, -87986, 6103}, V{-1, -1, -87987, 6104},
                          V{-8, -4, -87988, 6106}}) {
        SvoPosX = static_cast<int32_t>(c[0]);
        SvoPosY = static_cast<int32_t>(c[1]);
        FormatPosition();
        EXPECT_EQ((V{EncX, EncY}), (V{c[2], c[3]})) << c[0] << "," << c[1];
    }
}

TEST(PlotbedSpeeds, RecordsOfTheVectorModeCalls) {
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
        {30, PEN_DOWN_CLASS, 625, 360, 625, 0, 0, 15, 2730},   // at CREEP_SPEED: low-speed record
        {30, PEN_DOWN_CLASS, 626, 360, 1, 1, 1, 0, 2730},      // one above: steps forced to 1
    };
    StartMachine(ModelXR7, false);
    for (const auto& c : cases) {
        char line[80];
        std::snprintf(line, sizeof line, "setup_plotbed_speeds(%-15s,%d,%d);\n\r", SpeedClassNames[c[1]], c[2], c[0]);
        EXPECT_EQ(Console([&] { setup_plotbed_speeds(c[0], c[1], static_cast<uint32_t>(c[2])); }), line);
        const VelAccelRec& r = VelAccelPool[c[1]];
        EXPECT_EQ((V{r.id, r.accel, r.sps, r.diag_vel, r.axial_vel, r.LowSpeed, r.ips, min_corner_vel, boundary_speed,
                     factor_num}),
                  (V{c[1], c[3], c[4], c[5], c[6], c[7], 0, c[8], 625, 15}))
            << line;
    }

    CREEP_VELOCITY = 4;   // raster mode
    CREEP_SPEED = 2500;
    Console([] { setup_plotbed_speeds(50, RASTER_OFFSET_CLASS, 1000); });
    const VelAccelRec& r = VelAccelPool[RASTER_OFFSET_CLASS];
    EXPECT_EQ((V{r.LowSpeed, r.diag_vel, r.axial_vel, r.sps, boundary_speed, factor_num}),
              (V{26, 0, 0, 1000, 2500, 65}));
}

TEST(PlotbedSpeeds, SvoSpeedTracesTheLineTwiceAndDumpsTheRecord) {
    StartMachine(ModelXR7, false);
    DbgSet(SvoSpeed);
    EXPECT_EQ(Console([] { setup_plotbed_speeds(1, RASTER_MOVE_CLASS, 1560); }),
              "T00000 setup_plotbed_speeds(RASTER_MOVE    ,1560,1);\n\r"
              "setup_plotbed_speeds(RASTER_MOVE    ,1560,1);\n\r"
              "  id        : 6\n\r  diag_vel  : 19\n\r  axial_vel : 19\n\r  accel     : 1235\n\r"
              "  sps       : 935\n\r  LowSpeed  : 0\n\r  ips       : 0\n\r");
}

// Pen speed in thousandths of MaxVelocity.Y; PEN_UP is always 0.3 g at 40 in/s.
TEST(PlotbedSpeeds, VectorSpeedFromThePenTable) {
    const int32_t cases[][3] = {{500, 62484, 0}, {1000, 124968, 0}, {0, 0, 1}};
    for (const auto& c : cases) {
        StartMachine(ModelK730, false);
        ptCurrentFile->VectorCurrentPen = 7;
        ptCurrentFile->VectorSpeed[7] = static_cast<uint16_t>(c[0]);
        char lines[160];
        std::snprintf(lines, sizeof lines,
                      "setup_plotbed_speeds(PEN_UP         ,121920,3);\n\rsetup_plotbed_speeds(PEN_DOWN       ,%d,60);\n\r",
                      c[1]);
        EXPECT_EQ(Console([] {
                      SetVectorMode();
                      lsrinp_SetVectSpeed();
                  }),
                  lines);
        EXPECT_EQ((V{VelAccelPool[PEN_DOWN_CLASS].LowSpeed, VelAccelPool[PEN_UP_CLASS].diag_vel, End_Delay_1,
                     End_Delay_2, End_Delay_3}),
                  (V{c[2], 858, 24, 100, 3}));
    }
}

}  // namespace

// Speed records per speed class, the creep settings and the vector-mode set-up.
//
// An acceleration step: a speed s (plotbed units/s) is reached after
// s x 26.2144 / accel ticks at acceleration accel (Q14 servo units/tick^2);
// the records use ((s >> 2) x 839 / accel) >> 3.  Target velocities of vector
// blocks count the same steps.
#pragma once
#include <cstdint>

// Speed classes k = 0..7 (the block kind PEN_DOWN + k).
enum SpeedClass : int32_t {
    PEN_DOWN_CLASS = 0, PEN_UP_CLASS = 1, PEN_UPC_CLASS = 2, RASTER_FORWARD_CLASS = 3,
    RASTER_BACKWARD_CLASS = 4, RASTER_OFFSET_CLASS = 5, RASTER_MOVE_CLASS = 6, SERVO_MOVE_CLASS = 7,
};

struct VelAccelRec {
    int32_t id;         // the class index k
    int32_t diag_vel;   // target speed above creep, acceleration steps; 0 for a low-speed record
    int32_t axial_vel;  // as diag_vel, the speed above creep capped to the X axis maximum
    int32_t accel;      // acceleration, Q14 servo units per tick^2
    int32_t sps;        // speed above creep, plotbed units/s (the given speed for a low-speed record)
    int32_t LowSpeed;   // low-speed record: speed x factor_num / CREEP_SPEED (at least 1); else 0
    int32_t ips;        // never set (0)
};
extern VelAccelRec VelAccelPool[8];

extern int32_t CREEP_VELOCITY;    // creep velocity selector: 1 vector mode, 4 raster mode
extern int32_t CREEP_SPEED;       // plotbed units/s at or below which a record is low-speed (625 / 2500)
extern uint16_t End_Delay_1, End_Delay_2, End_Delay_3;   // end delays given to vector blocks, ticks
extern int32_t boundary_speed;    // CREEP_SPEED of the last set-up
extern int32_t factor_num;        // multiplier of the last set-up: 65 when CREEP_VELOCITY is 4, else 15
extern int32_t min_corner_vel;    // 30 % of MaxVelocity.Y in acceleration steps of the last set-up record
extern int32_t PenUpSpeed;        // pen-up travel speed, plotbed units/s (121920 = 40 in/s)

extern const char* const SpeedClassNames[8];

void setup_plotbed_speeds(int32_t accel, int32_t speedClass, uint32_t speed);
void SetVectorMode();
void lsrinp_SetVectSpeed();
void PrintVelAccel(const VelAccelRec& r);
void ResetSpeedState();

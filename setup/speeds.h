// Speed records per speed class, the creep settings and the vector-mode set-up.
//
// An acceleration step: a speed s (plotbed units/s) is reached after
// s x 26.2144 / accel ticks at acceleration accel (Q14 servo units/tick^2);
// the records use ((s >> 2) x 839 / accel) >> 3.  Target velocities of vector
// blocks count the same steps.
#pragma once
#include <cstdint>

namespace corvanta {

// Speed classes k = 0..7 (the block kind PEN_DOWN + k).
enum SpeedClass : int32_t {
    PEN_DOWN_CLASS = 0,
    PEN_UP_CLASS = 1,
    PEN_UPC_CLASS = 2,
    RASTER_FORWARD_CLASS = 3,
    RASTER_BACKWARD_CLASS = 4,
    RASTER_OFFSET_CLASS = 5,
    RASTER_MOVE_CLASS = 6,
    SERVO_MOVE_CLASS = 7,
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
constexpr int SPEED_CLASS_COUNT = 8;
extern const char* const SpeedClassNames[SPEED_CLASS_COUNT];

}  // namespace corvanta

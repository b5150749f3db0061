#include <cstring>

#include "base/fixpt.h"
#include "setup/setup_layer.h"

namespace corvanta {

const char* const SpeedClassNames[SPEED_CLASS_COUNT] = {
    "PEN_DOWN", "PEN_UP", "PEN_UPC", "RASTER_FORWARD", "RASTER_BACKWARD", "RASTER_OFFSET", "RASTER_MOVE", "SERVO_MOVE"};

// Acceleration steps of a speed above creep: ((speed >> 2) x 839 / accel) >> 3, unsigned.
static uint32_t AccelSteps(uint32_t speed_pbd_s, uint32_t accel) { return udiv((speed_pbd_s >> 2) * 839u, accel) >> 3; }

void SetupLayer::setup_plotbed_speeds(int32_t accel, int32_t k, uint32_t speed) {
    const char* name = (k >= 0 && k < SPEED_CLASS_COUNT) ? SpeedClassNames[k] : "";
    if (DbgOn(SvoVdbCmd) || DbgOn(SvoSpeed))
        Trace("setup_plotbed_speeds(%-15s,%d,%d);\n\r", name, static_cast<int32_t>(speed), accel);
    Con("setup_plotbed_speeds(%-15s,%d,%d);\n\r", name, static_cast<int32_t>(speed), accel);
    if (k < 0 || k >= SPEED_CLASS_COUNT) return;

    VelAccelRec& r = VelAccelPool[k];
    r.accel = mul_wrap(accel, k == PEN_DOWN_CLASS ? OneG / 1000 : OneG / 10);
    r.sps = static_cast<int32_t>(speed);
    boundary_speed = CREEP_SPEED;
    factor_num = CREEP_VELOCITY == 4 ? 65 : 15;
    const uint32_t accel_u = static_cast<uint32_t>(r.accel);
    if (speed > static_cast<uint32_t>(boundary_speed)) {
        uint32_t d = speed - static_cast<uint32_t>(CREEP_SPEED);
        r.sps = static_cast<int32_t>(d);
        uint32_t t = udiv((d >> 2) * 839u, accel_u);
        r.LowSpeed = 0;
        r.diag_vel = static_cast<int32_t>(t >> 3);
        const MachParamRec& m = CurrentRomParam.MachParam;
        uint32_t pbd = static_cast<uint32_t>(ResoCurrent.PbdReso.X);
        uint32_t cap = udiv(static_cast<uint32_t>(m.MaxVelocity.X), pbd) * pbd - static_cast<uint32_t>(CREEP_SPEED);
        r.axial_vel = static_cast<int32_t>(d <= cap ? t >> 3 : AccelSteps(cap, accel_u));
        if (r.diag_vel == 0) r.diag_vel = 1;
        if (r.axial_vel == 0) r.axial_vel = 1;
    } else {
        uint32_t low = udiv(speed * static_cast<uint32_t>(factor_num), static_cast<uint32_t>(CREEP_SPEED));
        r.LowSpeed = static_cast<int32_t>(low) <= 0 ? 1 : static_cast<int32_t>(low);
        r.diag_vel = 0;
        r.axial_vel = 0;
    }
    uint32_t full = AccelSteps(static_cast<uint32_t>(CurrentRomParam.MachParam.MaxVelocity.Y), accel_u);
    min_corner_vel = static_cast<int32_t>(full * 30u / 100u);
    if (DbgOn(SvoSpeed)) PrintVelAccel(r);
}

void SetupLayer::PrintVelAccel(const VelAccelRec& r) {
    Con("  %-10s: %d\n\r", "id", r.id);
    Con("  %-10s: %d\n\r", "diag_vel", r.diag_vel);
    Con("  %-10s: %d\n\r", "axial_vel", r.axial_vel);
    Con("  %-10s: %d\n\r", "accel", r.accel);
    Con("  %-10s: %d\n\r", "sps", r.sps);
    Con("  %-10s: %d\n\r", "LowSpeed", r.LowSpeed);
    Con("  %-10s: %d\n\r", "ips", r.ips);
}

void SetupLayer::SetVectorMode() {
    IsrCreepVel = 1;
    CREEP_VELOCITY = 1;
    CREEP_SPEED = 625;
    const MachParamRec& m = CurrentRomParam.MachParam;
    End_Delay_1 = static_cast<uint16_t>(m.EndDelay1);
    End_Delay_2 = static_cast<uint16_t>(m.EndDelay2);
    End_Delay_3 = static_cast<uint16_t>(m.EndDelay3);
}

void SetupLayer::lsrinp_SetVectSpeed() {
    uint8_t pen = ptCurrentFile->VectorCurrentPen;
    if (pen > PEN_MAX) return;  // refused earlier by the pen selection; never index past the table
    uint16_t spd = ptCurrentFile->VectorSpeed[pen];
    int16_t acc = ptCurrentFile->VectorAccel[pen];
    int32_t maxY = CurrentRomParam.MachParam.MaxVelocity.Y;
    if (DbgOn(SvoSpeed)) Trace("lsrinp_SetVectSpeed() pen:%d spd:%d acc:%d maxSpdY:%d\n\r", pen, spd, acc, maxY);
    uint32_t v = static_cast<uint32_t>(maxY) * spd / 1000u;
    setup_plotbed_speeds(3, PEN_UP_CLASS, static_cast<uint32_t>(PenUpSpeed));
    setup_plotbed_speeds(acc, PEN_DOWN_CLASS, v);
}

}  // namespace corvanta

// States of the servo interrupt and of the velocity profile.
#pragma once
#include <cstdint>

namespace corvanta {

enum IsrStateValue : int16_t {
    ISRIDLE = 0,
    ISRHOLD = 1,
    ISRACC = 2,
    ISRSLEW = 3,
    ISRDCC = 4,
    ISRCREEP = 5,
    ISRCORN = 6,
    ISRPENUP = 7,
    ISRPENDOWN = 8,
    ISRDELAY = 9,
    R_HOME = 10,
    RY_FOCUS = 11,
    ISRPAUSE = 12,
    ISRPLANMOVE = 13,
};
enum ProfileStateValue : uint8_t {
    PS_IDLE = 0,
    PS_HOLD = 1,
    PS_ACC = 2,
    PS_SLEW = 3,
    PS_DCC = 4,
    PS_CREEP = 5,
    PS_DELAY = 6,
};
constexpr int PROFILE_STATE_COUNT = 7;
extern const char* const ProfileStateNames[PROFILE_STATE_COUNT];

// Faults found by the servo side that end the job (the planner side reports them).
enum SvoFaultCode : int32_t { SVO_FAULT_NONE = 0, SVO_FAULT_JOB_TOO_LONG = 1, SVO_FAULT_MOVE_STALL = 2 };

}  // namespace corvanta

// Velocity profile of the current VECTOR block: acceleration, slew,
// deceleration and creep, in the block's own major/minor frame.
#pragma once
#include <cstdint>

void SVO_AccStep();
void SVO_SlewStep();
void SVO_DccStep();
void SVO_CreepStep();
int32_t SVO_GetMajrDistH();

// Octant stepping of the commanded servo position and the corner hand-over.
#pragma once
#include <cstdint>

#include "planner/vdb.h"

extern int32_t SvoPosX, SvoPosY;          // commanded servo position, servo units
extern const OctStepFn OctFuncTable[8];   // indexed by a block's octant

void SVO_SetVectPtr(VdbData* b);
void SVO_StepVect(int32_t major, int32_t minor);

// Console dumps of one block and of the planner's global state.
#pragma once
#include "planner/vdb.h"

void VdbDump(const VdbData* b);         // by the block's `kind`
void VdbDumpPlanned(const VdbData* b);  // a block being planned: kind from its `cmd`
void PlannerDump();

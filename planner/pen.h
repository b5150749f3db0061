// Pen blocks, pen selection and the start of vector cutting.
#pragma once
#include <cstdint>

extern int32_t PenIsUp;   // the planner's pen state: 1 up, 0 down

void penupout();
void pendnout();
void srvo_on_pu();
void srvo_on_pd();
void srvo_on_raster_move(int32_t n);
void execute_penselect(int32_t pen);
void HandleStartVectorCutting();
void srvo_off_to_on();
void ResetPenState();

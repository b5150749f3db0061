// Console dumps of one block and of the planner's state.
#include <cstdio>

#include "planner/planner_layer.h"

namespace corvanta {

void PlannerLayer::DumpField(const char* name, int32_t value) {
    char text[48];
    std::snprintf(text, sizeof text, "%d", value);
    Con("%-20s = %s\n\r", name, text);
}

// A fixed-point field: the value, then the unsigned value times its scale.
void PlannerLayer::DumpScaled(const char* name, int32_t value, double scale) {
    char text[80];
    std::snprintf(text, sizeof text, "%d(%.2f)", value, static_cast<double>(static_cast<uint32_t>(value)) * scale);
    Con("%-20s = %s\n\r", name, text);
}

void PlannerLayer::DumpAs(const VdbData* b, uint8_t kind) {
    char suffix[16] = "==";
    if (kind == VECTOR) std::snprintf(suffix, sizeof suffix, "%d ", b->octant);
    Con("==== VdbData %-8s %s==================\n\r", kind < VDB_KIND_COUNT ? VdbKindTraceNames[kind] : "", suffix);
    if (kind != VECTOR) return;
    const VectData& v = b->vect;
    const double q16 = 1.0 / 65536.0, q9 = 1.0 / 512.0, q23 = 1.0 / 8388608.0;
    auto i32 = [](uint32_t u) { return static_cast<int32_t>(u); };
    DumpScaled("slope", v.slope, q16);
    DumpField("majrdisth", v.majrdisth);
    DumpField("majrfract", i32(v.majrfract));
    DumpField("minrdisth", v.minrdisth);
    DumpField("minrfract", i32(v.minrfract));
    DumpField("acclcount", v.acclcount);
    DumpField("currvel", v.currvel);
    DumpScaled("minrdvel", v.minrdvel, q9);
    DumpField("minrdvel_fract", i32(v.minrdvel_fract));
    DumpScaled("minrvel", v.minrvel, q23);
    DumpField("minrvel_fract", i32(v.minrvel_fract));
    DumpScaled("majrdvel", v.majrdvel, q9);
    DumpScaled("majrvel", v.majrvel, q23);
    DumpField("creep", i32(v.creep));
    DumpField("angle", v.angle);
    DumpField("relativeAngle", v.relativeAngle);
    DumpScaled("anglediff", v.anglediff, q16);
    DumpField("cnrvel", v.cnrvel);
    DumpField("psuedodist", i32(v.psuedodist));
    DumpScaled("ddr", i32(v.ddr), q16);
    DumpField("high_ddr", i32(v.high_ddr));
    DumpField("end_delay", v.end_delay);
    DumpField("xcrash", v.xcrash);
    DumpField("ycrash", v.ycrash);
    DumpField("dx", v.dx);
    DumpField("dy", v.dy);
    DumpField("acc_index", v.acc_index);
    DumpField("smoothCnt", v.smoothCnt);
    DumpField("smoothLoop1", v.smoothLoop1);
    DumpField("smoothLoop2", v.smoothLoop2);
    DumpField("vectIdx", v.vectIdx);
}

void PlannerLayer::VdbDump(const VdbData* b) { DumpAs(b, b->kind); }
void PlannerLayer::VdbDumpPlanned(const VdbData* b) { DumpAs(b, VdbCmdKind(b)); }

void PlannerLayer::PlannerDump() {
    static const char* const rule = "========================================\n\r";
    auto d = [this](const char* label, int32_t v) { Con("%-25s = %d\n\r", label, v); };
    auto u = [this](const char* label, uint32_t v) { Con("%-25s = %u\n\r", label, v); };
    auto p = [this](const char* label, const void* ptr) { Con("%-25s = 0x%08x\n\r", label, PtrBits(ptr)); };
    Con("%s", rule);
    d("pbdAxiaVel", pbdAxiaVel);
    d("pbdAccel", pbdAccel);
    d("min_corner_vel", min_corner_vel);
    d("CREEP_VELOCITY", CREEP_VELOCITY);
    d("LowSpeed", LowSpeed);
    d("lowspeedflag", lowspeedflag);
    d("pbdVelType", pbdVelType);
    u("End_Delay_1", End_Delay_1);
    u("End_Delay_2", End_Delay_2);
    u("End_Delay_3", End_Delay_3);
    d("CI_Flag", CI_Flag);
    d("CREEP_SPEED", CREEP_SPEED);
    d("diag_vel", diag_vel);
    d("factor_num", factor_num);
    d("boundary_speed", boundary_speed);
    d("pbdSps", static_cast<int32_t>(pbdSps));
    d("pipeflag", pipeflag);
    d("null_vector", null_vector);
    d("save_real_pen_pos_is_down", save_real_pen_pos_is_down);
    p("stopptr", stopptr);
    p("SVO_VectPtr", SVO_VectPtr.load());
    p("freeptr", freeptr);
    p("autoptr", autoptr);
    p("offline_freeptr", offline_freeptr);
    p("pVelAccelPointer", pVelAccelPointer);
    p("VelAccelPool", VelAccelPool);
    Con("%s", rule);
}

}  // namespace corvanta

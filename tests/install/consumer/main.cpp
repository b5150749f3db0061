// Estimates a 100 mm pen-down move, then the same move drawn as an HP-GL plot, and prints both job times.
#include <cstdio>

#include <corvanta/corvanta.h>
#include <corvanta/plot.h>

int main() {
    const corvanta::Result r = corvanta::Estimate("execute_penselect 1\npd_default 4000 0\n");
    const corvanta::PlotCommands plot = corvanta::PlotToCommands("IN;SP1;PD4000,0;");
    const corvanta::Result p = corvanta::Estimate(plot.commands);
    std::printf("%s %u %u\n", r.status.empty() ? "" : r.status[0].c_str(), r.ms, p.ms);
    return r.ok && p.ok ? 0 : 1;
}

// Estimates a 100 mm pen-down move and prints the job time in milliseconds.
#include <cstdio>

#include <corvanta/corvanta.h>

int main() {
    const corvanta::Result r = corvanta::Estimate("execute_penselect 1\npd_default 4000 0\n");
    std::printf("%s %u\n", r.status.empty() ? "" : r.status[0].c_str(), r.ms);
    return r.ok ? 0 : 1;
}

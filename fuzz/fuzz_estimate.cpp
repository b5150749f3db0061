// Coverage-guided fuzzing of the library entry: a command text with the run's
// options taken from its first bytes.
//
//   byte 0: bit 0 model (K730), bit 1 threaded schedule, bit 2 explain (and
//           the report, summary, progress and picture writers), bits 3..7
//           select a set of debug categories (dumps and traces)
//   the rest: the command file
//
// The job-length guard is lowered so that legitimately long jobs end quickly
// with JobTooLong instead of timing out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "corvanta/corvanta.h"

namespace {

// Debug category sets that switch on the traces and dumps of every layer.
const char* const kDebugSets[][6] = {
    {"ShowJobTime", "CorvantaDbg"},
    {"PbdFun", "SvoVdbCmd", "SendVdb"},
    {"AngleSmooth", "TempOn", "DeltaMove"},
    {"RasterProc", "TempOff", "AccDist", "RasterMove", "CarriagePos"},
    {"ShowVdbVect", "PenSel", "SvoSpeed", "Event"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t flags = data[0];
    corvanta::Options opt;
    opt.model = flags & 1 ? corvanta::Model::K730 : corvanta::Model::XR7;
    opt.schedule = flags & 2 ? corvanta::Schedule::Threaded : corvanta::Schedule::Deterministic;
    opt.explain = (flags & 4) != 0;
    opt.jobTickLimit = 2000000;  // 800 s of machine time
    for (int set = 0; set < 5; ++set)
        if (flags & (8u << set))
            for (const char* name : kDebugSets[set])
                if (name) opt.debug.emplace_back(name);
    const std::string_view commands(reinterpret_cast<const char*>(data + 1), size - 1);
    const corvanta::Result r = corvanta::Estimate(commands, opt);
    std::string out = corvanta::ReportJson(r);
    if (r.explanation) {
        out += corvanta::explain::Summary(*r.explanation);
        out += corvanta::explain::ProgressCsv(*r.explanation);
        out += corvanta::explain::Svg(*r.explanation, commands.substr(0, 40));
    }
    return out.empty() ? 1 : 0;
}

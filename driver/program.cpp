#include "driver/program.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/interp.h"
#include "driver/jobtime.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/servo/isr.h"
#include "fwShare/servo/octant.h"
#include "planner/pen.h"
#include "planner/vdb.h"
#include "planner/vector.h"
#include "raster/raster.h"
#include "setup/speeds.h"
#include "setup/varreso.h"

static const char* const kVersion = "03.10-01";

void ResetProcessState() {
    DbgReset();
    ResetMachineState();
    ResetSpeedState();
    ResetVdbState();
    ResetVectorState();
    ResetPenState();
    ResetRasterState();
    ResetIsrState();
    SvoPosX = SvoPosY = 0;
    ResetJobTimeState();
    ResetInterpState();
    ResetScheduleState();
}

namespace {

struct Options {
    bool deterministic = false;
    std::vector<std::pair<int, bool>> debug;   // category, set (true) or clear
    std::string reportPath, tracePath, jobDir;
    bool haveJobDir = false;
};

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: corvanta [options] [JOBDIR]\n"
                 "Estimates the run time of the job in JOBDIR/Corvanta.cmd (default: the program's\n"
                 "directory) and writes JOBDIR/Corvanta.sts.\n"
                 "  --deterministic     run the servo only inside the planner's waits (repeatable figures)\n"
                 "  --debug LIST        comma-separated debug categories to set; -Name clears one\n"
                 "  --report FILE       write the run's figures as JSON\n"
                 "  --trace-ticks FILE  write tick,isr,profile,x,y after every servo step (CSV)\n"
                 "  --help              show this text\n"
                 "  --version           show the model and version\n");
}

int BadUsage(const std::string& msg) {
    std::fprintf(stderr, "corvanta: %s (try --help)\n", msg.c_str());
    return 2;
}

std::string ValidNames() {
    std::string s;
    for (int i = 0; i < DbgCatCount; ++i) {
        if (i) s += ",";
        s += DbgCatNames[i];
    }
    return s;
}

// Returns -1 when parsing succeeded, else the exit status.
int ParseArgs(int argc, char** argv, Options& o, const ModelVariant& model) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("corvanta %s %s\n", model.tag, kVersion);
            return 0;
        } else if (arg == "--deterministic") {
            o.deterministic = true;
        } else if (arg == "--debug") {
            std::string list;
            if (!value(list)) return BadUsage("--debug needs a list of category names");
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                start = comma == std::string::npos ? list.size() + 1 : comma + 1;
                if (name.empty()) continue;
                bool set = true;
                if (name[0] == '-') {
                    set = false;
                    name.erase(0, 1);
                }
                int cat = DbgFind(name);
                if (cat < 0) return BadUsage("unknown debug category \"" + name + "\"; valid names: " + ValidNames());
                o.debug.emplace_back(cat, set);
            }
        } else if (arg == "--report") {
            if (!value(o.reportPath)) return BadUsage("--report needs a file name");
        } else if (arg == "--trace-ticks") {
            if (!value(o.tracePath)) return BadUsage("--trace-ticks needs a file name");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return BadUsage("unknown option \"" + arg + "\"");
        } else if (o.haveJobDir) {
            return BadUsage("more than one job directory given (\"" + o.jobDir + "\" and \"" + arg + "\")");
        } else {
            o.jobDir = arg;
            o.haveJobDir = true;
        }
    }
    return -1;
}

// The program's directory from argv[0]: everything before the last '\' or '/';
// the current directory when there is none.
std::string DirOfProgram(const char* argv0) {
    std::string p = argv0 ? argv0 : "";
    size_t cut = p.find_last_of("\\/");
    if (cut == std::string::npos) return ".";
    return p.substr(0, cut);
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void WriteReport(FILE* f, const ModelVariant& model) {
    JobTimeFigures t = JobTimeOf(JobStartTick, JobEndTick);
    std::fprintf(f, "{\n \"status\": [");
    for (size_t i = 0; i < StatusLines.size(); ++i)
        std::fprintf(f, "%s\n  %s", i ? "," : "", JsonString(StatusLines[i]).c_str());
    std::fprintf(f, "%s],\n", StatusLines.empty() ? "" : "\n ");
    std::fprintf(f, " \"ticks\": %d,\n \"ms\": %u,\n", t.ticks, t.ms);
    std::fprintf(f, " \"IsrTick\": %d,\n \"JobStartTick\": %d,\n \"JobEndTick\": %d,\n",
                 static_cast<int32_t>(IsrTick.load()), JobStartTick, JobEndTick);
    std::fprintf(f, " \"PlanCnt\": [");
    for (int i = 0; i < 7; ++i) std::fprintf(f, "%s\n  %d", i ? "," : "", PlanCnt[i]);
    std::fprintf(f, "\n ],\n \"VectCnt\": %d,\n", VectCnt);
    std::fprintf(f, " \"SvoPosX\": %d,\n \"SvoPosY\": %d,\n \"positionx\": %d,\n \"positiony\": %d,\n", SvoPosX,
                 SvoPosY, positionx, positiony);
    std::fprintf(f, " \"PclPosX\": %d,\n \"PclPosY\": %d,\n \"PclAbsX\": %d,\n \"PclAbsY\": %d,\n", PclPosX, PclPosY,
                 PclAbsX, PclAbsY);
    std::fprintf(f, " \"schedule\": \"%s\",\n \"model\": \"%s\"\n}\n",
                 SchedDeterministic ? "deterministic" : "threaded", model.tag);
}

}  // namespace

int CorvantaMain(int argc, char** argv, const ModelVariant& model) {
    Options o;
    int rc = ParseArgs(argc, argv, o, model);
    if (rc >= 0) return rc;

    // Output files are opened before the job files are touched, so a file that
    // cannot be written stops the run with nothing else changed.
    FILE* report = nullptr;
    FILE* trace = nullptr;
    if (!o.reportPath.empty() && !(report = std::fopen(o.reportPath.c_str(), "w")))
        return BadUsage("cannot write the report file \"" + o.reportPath + "\": " + std::strerror(errno));
    if (!o.tracePath.empty() && !(trace = std::fopen(o.tracePath.c_str(), "w"))) {
        if (report) std::fclose(report);
        return BadUsage("cannot write the trace file \"" + o.tracePath + "\": " + std::strerror(errno));
    }
    static char traceBuf[1 << 16];
    if (trace) {
        std::setvbuf(trace, traceBuf, _IOFBF, sizeof traceBuf);
        std::fprintf(trace, "tick,isr,profile,x,y\n");
    }

    ResetProcessState();
    CorvantaModel = model;
    SchedDeterministic = o.deterministic;
    TickTraceFile = trace;

    Con("Start job working time calculating....\n");
    ExeDir = o.haveJobDir ? o.jobDir : DirOfProgram(argc > 0 ? argv[0] : nullptr);
    DbgClear(Event);
    for (auto [cat, set] : o.debug) {
        if (set)
            DbgSet(static_cast<DbgCat>(cat));
        else
            DbgClear(static_cast<DbgCat>(cat));
    }
    InitMachine();
    SchedStartThreads();
    (void)CorvantaCmdInterpreter();
    SchedStopThreads();
    std::fflush(stdout);

    TickTraceFile = nullptr;
    if (trace) std::fclose(trace);
    if (report) {
        WriteReport(report, model);
        std::fclose(report);
    }
    return 0;
}

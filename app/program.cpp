#include "app/program.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/files.h"
#include "hpgl/hpgl.h"
#if defined(CORVANTA_HAS_SERVER)
#include "server/server.h"
#endif

namespace corvanta::app {

namespace {

constexpr const char* kRecordsHelp = R"(
Job files: JOBDIR/Corvanta.cmd is read, JOBDIR/Corvanta.sts written.

Command file: whitespace-separated records, a keyword and one or two integers.
  One value:  CorvantaCmdVer 1, RasterDPI, RasterUnit, RasterSpeedX, RasterSpeedY,
              RasterFiringType, RasterBandingFree, RasterBuEngrave,
              RasterAccelEngrave, RasterPower, ImageWidth, ImageHeight,
              SetStartRasterGraphics 0, RasterLineOut 0, SetEndRasterGraphics 0,
              ToHpglMode 0, ToPclMode 0, execute_penselect PEN (0..16)
  Two values: pd_default DX DY, pu_default DX DY (moves in 1/1016 inch),
              SetHorizontalPositionPCL ABS X, SetVerticalPositionPCL ABS Y,
              VectorSpeed S1 .. S16 (thousandths of the Y axis maximum)
  The job ends at the end of the file or at the first record that is not a
  command for its count of numbers.

Status file, each line ending in the bytes 0D 0A 0D:
  CVQX_OK, "MODEL 03.10-01", job time in ms, "APP Run Time Nms",
  "Job Run Time M:S"; or CVQX_Error and a reason word (VersionMisMatch,
  PenParamError, MoveRangeError, MoveStallError, RasterParamError, JobTooLong).

Exit status: 0 a status file was written; 1 none was written (the reason is on
standard error); 2 a bad command line or an output file that could not be written.
)";

struct CommandLine {
    bool deterministic = false, threaded = false, quiet = false, version = false, summary = false, noSkip = false;
    std::vector<std::string> debugLists;
    std::string reportPath, tracePath, progressPath, svgPath, jobDir, hpglPath, writeCmdPath;
};

int Fail(int status, const std::string& msg) {
    std::fprintf(stderr, "corvanta: %s\n", msg.c_str());
    return status;
}

int BadUsage(const std::string& msg) { return Fail(2, msg + " (try --help)"); }

// Options that take a value may have it in the next argument even when it
// starts with '-' (a debug list such as "-Event" clears a category).
std::vector<std::string> JoinOptionValues(int argc, char** argv) {
    static const char* const valued[] = {"--debug", "--report", "--trace-ticks", "--progress",
                                         "--svg",   "--hpgl",   "--write-cmd"};
    std::vector<std::string> out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            for (; i < argc; ++i) out.emplace_back(argv[i]);
            break;
        }
        bool joined = false;
        for (const char* v : valued)
            if (arg == v && i + 1 < argc) {
                out.push_back(arg + "=" + argv[++i]);
                joined = true;
                break;
            }
        if (!joined) out.push_back(arg);
    }
    return out;
}

// The program's directory from argv[0]: everything before the last '\' or '/';
// the current directory when there is none.
std::string DirOfProgram(const char* argv0) {
    std::string p = argv0 ? argv0 : "";
    size_t cut = p.find_last_of("\\/");
    if (cut == std::string::npos) return ".";
    return p.substr(0, cut);
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        start = comma == std::string::npos ? list.size() + 1 : comma + 1;
        if (!name.empty()) out.push_back(name);
    }
    return out;
}

// One run of the program: its command line, its outputs and the estimate.
class ProgramRun {
public:
    explicit ProgramRun(Model model) : model_(model) {}
    int Main(int argc, char** argv);

private:
    int ParseCommandLine(int argc, char** argv);  // -1: go on; else the exit status
    int CheckOutputNames();                       // -1: go on; else the exit status
    int OpenOutputs();                            // -1: go on; else the exit status
    int NoStatus(const std::string& reason);
    int WriteOutputs(const Result& r);

    Model model_;
    CommandLine cl_;
    Options opt_;
    bool plot_ = false;
    std::string dir_, cmdPath_, commands_;
    std::vector<char> traceBuf_ = std::vector<char>(1 << 16);  // outlives the trace stream that uses it
    OutputFile report_, trace_, progress_, svg_, writeCmd_;
};

int ProgramRun::ParseCommandLine(int argc, char** argv) {
    CommandLine& cl = cl_;
    CLI::App cli(
        "Estimates the run time of the job in JOBDIR/Corvanta.cmd (default: the program's\n"
        "directory) and writes JOBDIR/Corvanta.sts.",
        "corvanta");
    cli.add_option("JOBDIR", cl.jobDir, "directory of Corvanta.cmd and Corvanta.sts");
    cli.add_flag("--deterministic", cl.deterministic,
                 "planner-first schedule: the servo runs only inside the planner's waits (the default)");
    cli.add_flag("--threaded", cl.threaded,
                 "run the servo on its own tick thread as fast as the host allows (figures depend on host timing)");
    cli.add_flag("--no-skip", cl.noSkip,
                 "run every tick one by one (the deterministic schedule otherwise applies runs of constant-speed "
                 "and delay ticks at once; the results are the same)");
    cli.add_option("--debug", cl.debugLists, "comma-separated debug categories to set; -Name clears one")
        ->type_name("LIST")
        ->allow_extra_args(false);
    cli.add_option("--report", cl.reportPath, "write the run's figures as JSON")->type_name("FILE");
    cli.add_option("--trace-ticks", cl.tracePath, "write tick,isr,profile,x,y after every servo step (CSV)")
        ->type_name("FILE");
    cli.add_flag("--summary", cl.summary, "after the run, print where the job time goes");
    cli.add_option("--progress", cl.progressPath, "write record,keyword,start_ms,end_ms for every record (CSV)")
        ->type_name("FILE");
    cli.add_option("--svg", cl.svgPath, "write a picture of the job (SVG, millimetres)")->type_name("FILE");
    cli.add_option("--hpgl", cl.hpglPath,
                   "estimate an HP-GL plot: its command records are made in memory; the status file goes to "
                   "JOBDIR, or else next to the plot")
        ->type_name("FILE");
    cli.add_option("--write-cmd", cl.writeCmdPath, "with --hpgl: also save the command file made from the plot")
        ->type_name("FILE");
    cli.add_flag("--quiet", cl.quiet,
                 "print nothing on standard output but the failure line of a failed job (and the summary)");
    cli.add_flag("--version", cl.version, "show the model and version");
    cli.footer(kRecordsHelp);

    std::vector<std::string> args = JoinOptionValues(argc, argv);
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
    try {
        cli.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(cli.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::string what = e.what();
        std::replace(what.begin(), what.end(), '\n', ' ');
        return BadUsage(what);
    }
    if (cl.version) {
        std::printf("corvanta %s %s\n", ModelTag(model_), VersionString());
        return 0;
    }
    if (cl.deterministic && cl.threaded) return BadUsage("--deterministic and --threaded exclude each other");
    if (!cl.writeCmdPath.empty() && cl.hpglPath.empty()) return BadUsage("--write-cmd needs --hpgl");

    opt_.model = model_;
    opt_.schedule = cl.threaded ? Schedule::Threaded : Schedule::Deterministic;
    opt_.skipAhead = !cl.noSkip;
    for (const std::string& list : cl.debugLists)
        for (const std::string& name : SplitList(list)) {
            const std::string bare = name[0] == '-' ? name.substr(1) : name;
            if (!bare.empty() && DebugCategoryIndex(bare) < 0)
                return BadUsage("unknown debug category \"" + bare + "\"; valid names: " + DebugCategoryNames());
            opt_.debug.push_back(name);
        }

    plot_ = !cl.hpglPath.empty();
    dir_ = !cl.jobDir.empty() ? cl.jobDir
           : plot_            ? DirOfProgram(cl.hpglPath.c_str())
                              : DirOfProgram(argc > 0 ? argv[0] : nullptr);
    // The input: the job's command file, or the plot.
    cmdPath_ = plot_ ? cl.hpglPath : dir_ + "/Corvanta.cmd";
    return -1;
}

// Outputs may not name the input, the status file or each other: checked
// before anything is opened for writing.
int ProgramRun::CheckOutputNames() {
    const std::string statusPath = dir_ + "/Corvanta.sts";
    struct Named {
        const char* what;
        const std::string* path;
    };
    const Named named[] = {{"--report", &cl_.reportPath},
                           {"--trace-ticks", &cl_.tracePath},
                           {"--progress", &cl_.progressPath},
                           {"--svg", &cl_.svgPath},
                           {"--write-cmd", &cl_.writeCmdPath}};
    for (size_t i = 0; i < std::size(named); ++i) {
        const Named& n = named[i];
        if (n.path->empty()) continue;
        if (SameFile(*n.path, cmdPath_))
            return BadUsage(std::string(n.what) + " names the " + (plot_ ? "plot " : "command file ") + cmdPath_);
        if (SameFile(*n.path, statusPath))
            return BadUsage(std::string(n.what) + " names the status file " + statusPath);
        for (size_t k = 0; k < i; ++k)
            if (!named[k].path->empty() && SameFile(*n.path, *named[k].path))
                return BadUsage(std::string(named[k].what) + " and " + n.what + " name the same file");
    }
    return -1;
}

// Output files are opened before the job files are touched, so a file that
// cannot be written stops the run with nothing else changed.
int ProgramRun::OpenOutputs() {
    struct Wanted {
        OutputFile* file;
        const std::string* path;
        const char* what;
    };
    const Wanted wanted[] = {{&report_, &cl_.reportPath, "the report file"},
                             {&progress_, &cl_.progressPath, "the progress file"},
                             {&svg_, &cl_.svgPath, "the picture"},
                             {&writeCmd_, &cl_.writeCmdPath, "the command file"},
                             {&trace_, &cl_.tracePath, "the trace file"}};
    std::string why;
    for (const Wanted& w : wanted)
        if (!w.path->empty() && !w.file->Open(*w.path, why))
            return BadUsage(std::string("cannot write ") + w.what + " \"" + *w.path + "\": " + why);
    if (trace_.stream()) {
        std::setvbuf(trace_.stream(), traceBuf_.data(), _IOFBF, traceBuf_.size());
        std::fprintf(trace_.stream(), "tick,isr,profile,x,y\n");
        opt_.traceTicks = trace_.stream();
    }
    opt_.consoleStream = cl_.quiet ? nullptr : stdout;
    opt_.explain = report_.stream() || progress_.stream() || svg_.stream() || cl_.summary;
    return -1;
}

// Without a job the machine still starts up (and prints what it prints then);
// the reason goes to standard error.
int ProgramRun::NoStatus(const std::string& reason) {
    opt_.runJob = false;
    (void)Estimate("", opt_);
    std::fflush(stdout);
    return Fail(1, reason + "; no status file was written");
}

int ProgramRun::WriteOutputs(const Result& r) {
    if (cl_.summary && r.explanation) std::fputs(("\n" + explain::Summary(*r.explanation)).c_str(), stdout);
    std::fflush(stdout);
    int exitStatus = 0;
    const auto finish = [&](OutputFile& f, const char* what, const std::string& text) {
        if (!f.stream()) return;
        if (f.stream() != trace_.stream()) std::fwrite(text.data(), 1, text.size(), f.stream());
        std::string err;
        if (!f.Close(err)) exitStatus = Fail(2, std::string("cannot write ") + what + " \"" + f.path() + "\": " + err);
    };
    finish(trace_, "the trace file", "");
    finish(report_, "the report file", report_.stream() ? ReportJson(r) : "");
    finish(writeCmd_, "the command file", plot_ ? commands_ : "");
    if (r.explanation) {
        finish(progress_, "the progress file", progress_.stream() ? explain::ProgressCsv(*r.explanation) : "");
        const std::string title = "corvanta " + std::string(ModelTag(model_)) + " " + cmdPath_;
        finish(svg_, "the picture", svg_.stream() ? explain::Svg(*r.explanation, title) : "");
    }
    return exitStatus;
}

int ProgramRun::Main(int argc, char** argv) {
    // Each step runs only when the one before it let the run go on.
    if (const int rc = ParseCommandLine(argc, argv); rc >= 0) return rc;
    if (const int rc = CheckOutputNames(); rc >= 0) return rc;
    if (const int rc = OpenOutputs(); rc >= 0) return rc;

    // No earlier answer survives a run that cannot give a new one.
    StatusFile status(dir_ + "/Corvanta.sts");
    std::string why;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir_, ec))
        return NoStatus("no command file " + cmdPath_ + " (the job directory " +
                        (std::filesystem::exists(dir_, ec) ? "is not a directory" : "does not exist") + ")");
    if (!status.Prepare(why)) return NoStatus(why);
    if (!ReadRegularFile(cmdPath_, commands_, why))
        return NoStatus((plot_ ? "no plot file " : "no command file ") + cmdPath_ + " (" + why + ")");
    if (plot_) {
        const hpgl::Conversion conv = hpgl::Convert(commands_);
        for (const hpgl::Note& note : conv.notes) std::fprintf(stderr, "%s\n", hpgl::NoteLine(note).c_str());
        commands_ = conv.commands;
    }

    const Result r = Estimate(commands_, opt_);
    if (cl_.quiet && !r.failureMessage.empty()) std::printf("%s\n\r", r.failureMessage.c_str());
    std::fflush(stdout);
    if (!status.Commit(StatusBytes(r.status), why)) return Fail(1, why + "; no status file was written");
    if (r.endedAt)
        std::fprintf(stderr,
                     "corvanta: the job ended at record %u \"%s\": it is no command for its count of numbers; the "
                     "records after it were not estimated\n",
                     r.endedAt->record, r.endedAt->text.c_str());
    return WriteOutputs(r);
}

}  // namespace

int Main(int argc, char** argv, Model model) {
    if (argc > 1 && std::strcmp(argv[1], "serve") == 0) {
#if defined(CORVANTA_HAS_SERVER)
        return server::Serve(argc - 1, argv + 1, model);
#else
        return Fail(2, "this build has no web server (it was built without cpp-httplib; Debian: libcpp-httplib-dev)");
#endif
    }
    return ProgramRun(model).Main(argc, argv);
}

}  // namespace corvanta::app

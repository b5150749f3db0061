#include "app/program.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/files.h"
#include "app/quote_main.h"
#include "design/detect.h"
#include "design/settings_json.h"
#include "design/writer.h"
#include "app/notes.h"
#include "hpgl/hpgl.h"
#include "input/input.h"
#include "quote/quote.h"
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
              SetHorizontalPositionPCL ABS X, SetVerticalPositionPCL ABS Y
  Sixteen values: VectorSpeed S1 .. S16 (speeds of pens 1..16 in thousandths
              of the Y axis maximum)
  The job ends at the end of the file or at the first record that is not a
  command for its count of numbers.

Status file, each line ending in the bytes 0D 0A 0D:
  CVQX_OK, "MODEL 03.10-01", job time in ms, "APP Run Time Nms",
  "Job Run Time M:S"; or CVQX_Error and a reason word (VersionMisMatch,
  PenParamError, MoveRangeError, MoveStallError, RasterParamError, JobTooLong).

Exit status: 0 a status file was written; 1 none was written (the reason is on
standard error); 2 a bad command line or an output file that could not be written;
3 with --strict: the job ended before the end of its file, had no records or failed.
)";

struct CommandLine {
    bool deterministic = false, threaded = false, quiet = false, version = false, summary = false, noSkip = false,
         strict = false;
    std::vector<std::string> debugLists;
    std::string reportPath, tracePath, progressPath, svgPath, jobDir, hpglPath, writeCmdPath;
    std::string inputPath, inputKind, settingsPath;
};

int Fail(int status, const std::string& msg) {
    std::fprintf(stderr, "corvanta: %s\n", msg.c_str());
    return status;
}

int BadUsage(const std::string& msg) { return Fail(2, msg + " (try --help)"); }

// The long options; those that take a value first.
constexpr std::string_view kValued[] = {"--debug", "--report", "--trace-ticks", "--progress", "--svg",
                                        "--hpgl",  "--input",  "--input-kind",  "--settings", "--write-cmd"};
constexpr std::string_view kFlags[] = {"--deterministic", "--threaded", "--no-skip", "--summary",
                                       "--quiet",         "--strict",   "--version", "--help"};

// The arguments for the parser, options and their values joined as
// "--name=value".  Only --debug takes a value that starts with '-' from the
// next argument (a list such as "-Event" clears a category); for the others a
// following option is a missing value, and "-" is standard output.  An
// unknown option is named with the nearest known one.  Returns "" or the
// complaint.
std::string JoinOptionValues(int argc, char** argv, std::vector<std::string>& out) {
    std::vector<std::string_view> known(std::begin(kValued), std::end(kValued));
    known.insert(known.end(), std::begin(kFlags), std::end(kFlags));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            for (; i < argc; ++i) out.emplace_back(argv[i]);
            break;
        }
        if (arg.rfind("--", 0) == 0) {
            const std::string name = arg.substr(0, arg.find('='));
            if (std::find(known.begin(), known.end(), name) == known.end()) {
                const std::string near = Nearest(name, known);
                return "unknown option " + name + (near.empty() ? "" : "; did you mean " + near + "?");
            }
        }
        const bool valued = std::find(std::begin(kValued), std::end(kValued), arg) != std::end(kValued);
        if (!valued) {
            out.push_back(arg);
            continue;
        }
        const std::string next = i + 1 < argc ? argv[i + 1] : "";
        if (i + 1 >= argc || (arg != "--debug" && next.size() > 1 && next[0] == '-'))
            return arg + " needs a value" + (i + 1 < argc ? ", not the option " + next : std::string()) +
                   (arg == "--debug" ? "" : " (a file whose name starts with '-' is given as ./NAME)");
        out.push_back(arg + "=" + next);
        ++i;
    }
    return "";
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

// An output of the run: a file replaced whole once the run has a result, or
// standard output ("-").
struct Output {
    std::string option;
    std::string what;
    std::string* path;
    std::unique_ptr<ReplacedFile> file;
    bool toStdout = false;
    bool wanted() const { return file || toStdout; }
};

// One run of the program: its command line, its outputs and the estimate.
class ProgramRun {
public:
    explicit ProgramRun(Model model) : model_(model) {}
    int Main(int argc, char** argv);

private:
    int ParseCommandLine(int argc, char** argv);  // -1: go on; else the exit status
    int CheckOutputNames();                       // -1: go on; else the exit status
    int OpenOutputs();                            // -1: go on; else the exit status
    int ReadSettingsFile();                       // -1: go on; else the exit status
    int CheckInput();                             // -1: go on; else the exit status
    int ConvertDesign();                          // -1: go on; else the exit status
    int CheckJobDir();                            // -1: go on; else the exit status
    int NoStatus(const std::string& reason);
    int WriteOutputs(const Result& r);
    std::string CostLine(uint32_t ms) const;
    int StrictStatus(const Result& r, int exitStatus) const;
    Output& Out(size_t i) { return outputs_[i]; }

    Model model_;
    CommandLine cl_;
    Options opt_;
    bool anyStdout_ = false;  // an output goes to standard output
    bool plot_ = false;       // the input is a file of its own (--input, --hpgl), not JOBDIR's command file
    bool inputRead_ = false;  // commands_ holds the input's bytes
    design::Kind kind_ = design::Kind::Command;
    design::Settings settings_;
    std::string dir_, cmdPath_, commands_;
    std::vector<char> traceBuf_ = std::vector<char>(1 << 16);  // outlives the trace stream that uses it
    // In the order they are written after the run.
    enum { REPORT, PROGRESS, SVG, WRITE_CMD, TRACE, OUTPUTS };
    Output outputs_[OUTPUTS] = {{"--report", "the report file", &cl_.reportPath, nullptr},
                                {"--progress", "the progress file", &cl_.progressPath, nullptr},
                                {"--svg", "the picture", &cl_.svgPath, nullptr},
                                {"--write-cmd", "the command file", &cl_.writeCmdPath, nullptr},
                                {"--trace-ticks", "the trace file", &cl_.tracePath, nullptr}};
};

int ProgramRun::ParseCommandLine(int argc, char** argv) {
    CommandLine& cl = cl_;
    CLI::App cli("corvanta " + std::string(ProgramVersion()) + " for the " + ModelTag(model_) +
                     " model: estimates the run time of the job in JOBDIR/Corvanta.cmd\n"
                     "(default: the program's directory) and writes JOBDIR/Corvanta.sts.",
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
    cli.add_option("--report", cl.reportPath, "write the run's figures as JSON (- for standard output)")
        ->type_name("FILE");
    cli.add_option("--trace-ticks", cl.tracePath, "write tick,isr,profile,x,y after every servo step (CSV)")
        ->type_name("FILE");
    cli.add_flag("--summary", cl.summary, "after the run, print where the job time goes");
    cli.add_option("--progress", cl.progressPath,
                   "write record,keyword,start_ms,end_ms for every record (CSV; - for standard output)")
        ->type_name("FILE");
    cli.add_option("--svg", cl.svgPath, "write a picture of the job (SVG, millimetres; - for standard output)")
        ->type_name("FILE");
    cli.add_option("--hpgl", cl.hpglPath,
                   "estimate an HP-GL plot: its command records are made in memory; the status file goes to "
                   "JOBDIR, or else next to the plot")
        ->type_name("FILE");
    cli.add_option("--input", cl.inputPath,
                   "estimate FILE: a command file, an HP-GL plot, an SVG drawing or a photo, told apart by content; "
                   "the status file goes to JOBDIR, or else next to FILE")
        ->type_name("FILE");
    cli.add_option("--input-kind", cl.inputKind, "with --input: read FILE as this kind: cmd, hpgl, svg or image")
        ->type_name("KIND");
    cli.add_option("--settings", cl.settingsPath, "with a design input: job settings (JSON; see the README)")
        ->type_name("FILE");
    cli.add_option("--write-cmd", cl.writeCmdPath, "with --input or --hpgl: also save the command file made")
        ->type_name("FILE");
    cli.add_flag("--quiet", cl.quiet,
                 "print nothing on standard output but the failure line of a failed job (and the summary)");
    cli.add_flag("--strict", cl.strict,
                 "exit with status 3 when the job ended before the end of its file, was empty or failed");
    cli.add_flag("--version", cl.version, "show the model and version");
    cli.footer(kRecordsHelp);
    // A path such as /jobs/a is a path on Windows too, not an option.
    cli.allow_windows_style_options(false);

    std::vector<std::string> args;
    if (const std::string bad = JoinOptionValues(argc, argv, args); !bad.empty()) return BadUsage(bad);
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
        std::printf("corvanta %s (%s %s)\n", ProgramVersion(), ModelTag(model_), VersionString());
        return 0;
    }
    if (cl.deterministic && cl.threaded) return BadUsage("--deterministic and --threaded exclude each other");
    if (!cl.hpglPath.empty() && (!cl.inputPath.empty() || !cl.inputKind.empty()))
        return BadUsage("--hpgl FILE means --input FILE --input-kind hpgl: give one or the other");
    if (!cl.hpglPath.empty()) cl.inputPath = cl.hpglPath, cl.inputKind = "hpgl";
    if (!cl.writeCmdPath.empty() && cl.inputPath.empty()) return BadUsage("--write-cmd needs --input or --hpgl");
    if (!cl.inputKind.empty() && cl.inputPath.empty()) return BadUsage("--input-kind needs --input");
    if (!cl.inputKind.empty() && cl.inputKind != "cmd" && cl.inputKind != "hpgl" && cl.inputKind != "svg" &&
        cl.inputKind != "image")
        return BadUsage("--input-kind must be cmd, hpgl, svg or image, not \"" + cl.inputKind + "\"");

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

    plot_ = !cl.inputPath.empty();
    dir_ = !cl.jobDir.empty() ? cl.jobDir
           : plot_            ? DirOfProgram(cl.inputPath.c_str())
                              : DirOfProgram(argc > 0 ? argv[0] : nullptr);
    // The input: the job's command file, or the file named.
    cmdPath_ = plot_ ? cl.inputPath : dir_ + "/Corvanta.cmd";
    return -1;
}

// Outputs may not name the input, the status file or each other, and only one
// goes to standard output ("-"): checked before anything is opened for writing.
int ProgramRun::CheckOutputNames() {
    const std::string statusPath = dir_ + "/Corvanta.sts";
    const std::string* onStdout = nullptr;
    for (size_t i = 0; i < OUTPUTS; ++i) {
        const Output& n = Out(i);
        if (n.path->empty()) continue;
        if (*n.path == "-") {
            if (i == TRACE) return BadUsage("--trace-ticks cannot go to standard output, where the console goes");
            if (onStdout) return BadUsage(*onStdout + " and " + n.option + " both name standard output");
            if (cl_.summary)
                return BadUsage(std::string("--summary and ") + n.option + " - both print on standard output");
            onStdout = &n.option;
            continue;
        }
        if (SameFile(*n.path, cmdPath_))
            return BadUsage(n.option + " names the " + (plot_ ? "input " : "command file ") + cmdPath_);
        if (SameFile(*n.path, statusPath)) return BadUsage(n.option + " names the status file " + statusPath);
        for (size_t k = 0; k < i; ++k)
            if (!Out(k).path->empty() && *Out(k).path != "-" && SameFile(*n.path, *Out(k).path))
                return BadUsage(Out(k).option + " and " + n.option + " name the same file");
    }
    anyStdout_ = onStdout != nullptr;
    return -1;
}

// Outputs are prepared (a temporary file beside each) before the job files
// are touched, so one that cannot be written stops the run with nothing else
// changed; an earlier output stays until the new one is whole.
int ProgramRun::OpenOutputs() {
    std::string why;
    for (Output& o : outputs_) {
        if (o.path->empty()) continue;
        if (*o.path == "-") {
            o.toStdout = true;
            continue;
        }
        o.file = std::make_unique<ReplacedFile>(*o.path, o.what, false);
        if (!o.file->Prepare(why)) return BadUsage(why);
    }
    if (Out(TRACE).file) {
        std::FILE* trace = Out(TRACE).file->Stream();
        if (!trace) return BadUsage("cannot write the trace file " + cl_.tracePath);
        std::setvbuf(trace, traceBuf_.data(), _IOFBF, traceBuf_.size());
        std::fprintf(trace, "tick,isr,profile,x,y\n");
        opt_.traceTicks = trace;
    }
    // Standard output that carries an output file carries nothing else.
    opt_.consoleStream = cl_.quiet || anyStdout_ ? nullptr : stdout;
    opt_.explain = Out(PROGRESS).wanted() || Out(SVG).wanted() || Out(REPORT).wanted() || cl_.summary;
    return -1;
}

int ProgramRun::ReadSettingsFile() {
    if (cl_.settingsPath.empty()) return -1;
    std::string text, why;
    if (!ReadRegularFile(cl_.settingsPath, text, why))
        return Fail(2, "cannot read the settings file " + cl_.settingsPath + " (" + why + ")");
    if (!design::ReadSettings(text, settings_, why)) return Fail(2, "settings file " + cl_.settingsPath + ": " + why);
    return -1;
}

// The input's kind from its content, or the kind asked for, checked against the content before anything is
// written: a file that is plainly of another kind is refused.  An input that cannot be read is reported
// later, where a missing command file is.
int ProgramRun::CheckInput() {
    if (!plot_) return -1;
    std::string why;
    if (!ReadRegularFile(cmdPath_, commands_, why)) return -1;
    inputRead_ = true;
    const design::Kind found = design::DetectKind(commands_);
    const std::string asked = cl_.inputKind;
    if (asked.empty()) {
        kind_ = found;
        return -1;
    }
    kind_ = input::KindFromName(asked);
    const std::string mismatch = input::KindMismatch(kind_, found, cmdPath_);
    if (mismatch.empty()) return -1;
    return Fail(2, cmdPath_ + " " + mismatch);
}

// A design input read into a page and written as command records; the notes go to standard error.
int ProgramRun::ConvertDesign() {
    if (kind_ == design::Kind::Command) {
        if (!cl_.settingsPath.empty())
            std::fprintf(stderr,
                         "corvanta: the settings have no effect on a command file, which is estimated as it is "
                         "(but for the cost)\n");
        return -1;
    }
    input::Loaded loaded = input::Load(std::move(commands_), kind_, settings_);
    if (!loaded.ok())
        return NoStatus(loaded.unknownKind ? cmdPath_ + " " + loaded.error
                                           : "cannot read " + cmdPath_ + ": " + loaded.error);
    for (const std::string& note : loaded.notes) std::fprintf(stderr, "%s\n", note.c_str());
    commands_ = std::move(loaded.commands);
    return -1;
}

// The job directory must be a directory: a file given in its place gets a
// hint (a plot wants --hpgl, a command file its folder).
int ProgramRun::CheckJobDir() {
    std::error_code ec;
    if (std::filesystem::is_directory(dir_, ec)) return -1;
    if (!std::filesystem::exists(dir_, ec)) return NoStatus("the job folder " + dir_ + " does not exist");
    const std::filesystem::path given(dir_);
    if (given.filename() == "Corvanta.cmd")
        return NoStatus(dir_ + " is the command file; give its folder instead: corvanta " +
                        (given.has_parent_path() ? given.parent_path().string() : std::string(".")));
    return NoStatus(dir_ + " is a file, not a job folder; to estimate a plot, drawing or photo, use --input " + dir_ +
                    "; for a job, give the folder that holds Corvanta.cmd");
}

// Without a job the machine still starts up (and prints what it prints then);
// the reason goes to standard error.
int ProgramRun::NoStatus(const std::string& reason) {
    opt_.runJob = false;
    (void)Estimate("", opt_);
    std::fflush(stdout);
    return Fail(1, reason + "; no status file was written");
}

// The outputs after the run, each replaced whole (or printed, for "-").
// The summary's cost line when the settings give a rate: copies x job time plus set-up, at least the minimum.
std::string ProgramRun::CostLine(uint32_t ms) const {
    quote::CostSettings cost;
    cost.ratePerHour = settings_.ratePerHour;
    cost.setupMinutes = settings_.setupMinutes;
    cost.minimumCharge = settings_.minimumCharge;
    const auto cents = quote::CostCents(ms, settings_.copies, cost);
    std::string line = "Cost: " + quote::Amount(cents.value_or(0));
    if (!settings_.currency.empty()) line += " " + settings_.currency;
    char rate[64];
    std::snprintf(rate, sizeof rate, " (%u x job time at %g an hour", settings_.copies, settings_.ratePerHour);
    line += rate;
    if (settings_.setupMinutes > 0) line += ", set-up included";
    return line + ")\n";
}

int ProgramRun::WriteOutputs(const Result& r) {
    if (cl_.summary && r.explanation) std::fputs(("\n" + explain::Summary(*r.explanation)).c_str(), stdout);
    if (cl_.summary && r.ok && settings_.ratePerHour >= 0) std::fputs(CostLine(r.ms).c_str(), stdout);
    std::fflush(stdout);
    int exitStatus = 0;
    const std::string title = "corvanta " + std::string(ModelTag(model_)) + " " + cmdPath_;
    for (size_t i = 0; i < OUTPUTS; ++i) {
        Output& o = Out(i);
        if (!o.wanted()) continue;
        std::string text;
        if (i == REPORT) text = ReportJson(r);
        if (i == WRITE_CMD) text = commands_;
        if (i == PROGRESS && r.explanation) text = explain::ProgressCsv(*r.explanation);
        if (i == SVG && r.explanation) text = explain::Svg(*r.explanation, title);
        std::string why;
        if (o.toStdout) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            if (std::fflush(stdout) != 0 || std::ferror(stdout))
                exitStatus = Fail(2, "cannot write " + o.what + " to standard output");
        } else if (!o.file->Commit(text, why)) {
            exitStatus = Fail(2, why);
        }
    }
    return exitStatus;
}

// With --strict, a job that ended before the end of its file, had no records
// or failed exits with status 3 (a harder failure keeps its own status).
int ProgramRun::StrictStatus(const Result& r, int exitStatus) const {
    if (!cl_.strict || exitStatus != 0) return exitStatus;
    return r.endedAt || r.records == 0 || !r.ok ? 3 : 0;
}

int ProgramRun::Main(int argc, char** argv) {
    // Each step runs only when the one before it let the run go on.
    if (const int rc = ParseCommandLine(argc, argv); rc >= 0) return rc;
    if (const int rc = CheckOutputNames(); rc >= 0) return rc;
    if (const int rc = ReadSettingsFile(); rc >= 0) return rc;
    if (const int rc = CheckInput(); rc >= 0) return rc;
    if (const int rc = OpenOutputs(); rc >= 0) return rc;
    if (const int rc = CheckJobDir(); rc >= 0) return rc;

    // No earlier answer survives a run that cannot give a new one.
    StatusFile status(dir_ + "/Corvanta.sts");
    std::string why;
    if (!status.Prepare(why)) return NoStatus(why);
    if (!inputRead_ && !ReadRegularFile(cmdPath_, commands_, why))
        return NoStatus((plot_ ? "no input file " : "no command file ") + cmdPath_ + " (" + why + ")");
    if (const int rc = ConvertDesign(); rc >= 0) return rc;

    const Result r = Estimate(commands_, opt_);
    if ((cl_.quiet || anyStdout_) && !r.failureMessage.empty())
        std::fprintf(anyStdout_ ? stderr : stdout, "%s\n\r", r.failureMessage.c_str());
    std::fflush(stdout);
    if (!status.Commit(StatusBytes(r.status), why)) return Fail(1, why + "; no status file was written");
    std::fputs(JobNotes(cmdPath_, plot_ ? std::string_view(commands_) : commands_, r).c_str(), stderr);
    return StrictStatus(r, WriteOutputs(r));
}

}  // namespace

int Main(int argc, char** argv, Model model) {
    if (argc > 1 && std::strcmp(argv[1], "quote") == 0) return QuoteMain(argc - 1, argv + 1, model);
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

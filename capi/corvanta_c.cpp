// The C interface: corvanta::Estimate and corvanta::PlotToCommands behind plain structs.  Each handed-out
// struct is the base of a box that owns the strings it points into; the matching free deletes the box.
#include "corvanta/corvanta_c.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/corvanta.h"
#include "corvanta/plot.h"

namespace {

struct ResultBox : corvanta_result {
    std::string errorText, statusFile, reportJson, consoleText, failureText;
    std::vector<std::string> lines;
    std::vector<const char*> linePtrs;

    ResultBox() : corvanta_result{} {}
    // Points the public fields into the strings, once they hold their final text.
    void Publish(bool failed) {
        error = failed ? errorText.c_str() : nullptr;
        for (const std::string& line : lines) linePtrs.push_back(line.c_str());
        status_count = lines.size();
        status = linePtrs.empty() ? nullptr : linePtrs.data();
        status_file = statusFile.c_str();
        report_json = reportJson.c_str();
        console = consoleText.c_str();
        failure = failureText.c_str();
    }
};

struct PlotBox : corvanta_plot {
    std::string errorText, commandText, noteText;
    PlotBox() : corvanta_plot{} {}
};

corvanta::Options ToOptions(const corvanta_options* in) {
    corvanta_options o;
    corvanta_options_init(&o);
    if (in) o = *in;
    corvanta::Options opt;
    opt.model = o.model == CORVANTA_MODEL_K730 ? corvanta::Model::K730 : corvanta::Model::XR7;
    opt.schedule = o.threaded ? corvanta::Schedule::Threaded : corvanta::Schedule::Deterministic;
    opt.explain = o.explain != 0;
    opt.skipAhead = o.no_skip == 0;
    if (o.debug) {
        const std::string_view list = o.debug;
        size_t start = 0;
        while (start <= list.size()) {
            const size_t comma = std::min(list.find(',', start), list.size());
            if (comma > start) opt.debug.emplace_back(list.substr(start, comma - start));
            start = comma + 1;
        }
    }
    return opt;
}

// A result that says why there is no estimate; NULL when that too cannot be allocated.
corvanta_result* ErrorResult(const char* why) noexcept {
    try {
        auto* box = new ResultBox;
        box->errorText = why;
        box->Publish(true);
        return box;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

extern "C" {

const char* corvanta_version(void) { return corvanta::ProgramVersion(); }
const char* corvanta_status_version(void) { return corvanta::VersionString(); }

void corvanta_options_init(corvanta_options* options) {
    if (!options) return;
    *options = corvanta_options{};
    options->model = CORVANTA_MODEL_XR7;
}

corvanta_result* corvanta_estimate(const char* commands, size_t length, const corvanta_options* options) {
    if (!commands && length != 0) return ErrorResult("no command text (NULL with a nonzero length)");
    if (options && options->model != CORVANTA_MODEL_XR7 && options->model != CORVANTA_MODEL_K730)
        return ErrorResult("unknown model (CORVANTA_MODEL_XR7 or CORVANTA_MODEL_K730)");
    try {
        const corvanta::Result r =
            corvanta::Estimate(std::string_view(commands ? commands : "", length), ToOptions(options));
        auto* box = new ResultBox;
        try {
            box->ok = r.ok ? 1 : 0;
            box->ms = r.ms;
            box->ticks = r.ticks;
            box->lines = r.status;
            for (const std::string& line : r.status) box->statusFile += line + "\x0D\x0A\x0D";
            box->reportJson = corvanta::ReportJson(r);
            box->consoleText = r.console;
            box->failureText = r.failureMessage;
            box->Publish(false);
        } catch (...) {
            delete box;
            throw;
        }
        return box;
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::exception& e) {
        return ErrorResult(e.what());
    } catch (...) {
        return ErrorResult("the estimate failed");
    }
}

void corvanta_result_free(corvanta_result* result) { delete static_cast<ResultBox*>(result); }

corvanta_plot* corvanta_convert_plot(const char* plot, size_t length) {
    try {
        auto* box = new PlotBox;
        try {
            if (!plot && length != 0) {
                box->errorText = "no plot text (NULL with a nonzero length)";
                box->error = box->errorText.c_str();
            } else {
                corvanta::PlotCommands conv = corvanta::PlotToCommands(std::string_view(plot ? plot : "", length));
                box->commandText = std::move(conv.commands);
                for (const std::string& note : conv.notes) box->noteText += note + "\n";
                box->leaves_bed = conv.leavesBed ? 1 : 0;
                box->truncated = conv.truncated ? 1 : 0;
                box->records = conv.records;
            }
            box->commands = box->commandText.c_str();
            box->notes = box->noteText.c_str();
        } catch (...) {
            delete box;
            throw;
        }
        return box;
    } catch (...) {
        return nullptr;
    }
}

void corvanta_plot_free(corvanta_plot* plot) { delete static_cast<PlotBox*>(plot); }

}  // extern "C"

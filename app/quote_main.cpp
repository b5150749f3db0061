#include "app/quote_main.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/files.h"
#include "design/settings_json.h"
#include "input/input.h"
#include "quote/progress.h"
#include "quote/quote.h"

namespace corvanta::app {
namespace {

struct QuoteLine {
    std::vector<std::string> inputs;
    std::string format, output, model, settingsPath, inputKind;
    std::optional<double> rate, setupMinutes, minimum;
    std::optional<std::string> currency;
    std::optional<uint32_t> copies;
    unsigned jobs = 0;
    bool quiet = false;
};

// One input estimated: a job directory (its Corvanta.cmd) or any file --input takes.
quote::Row EstimateInput(const std::string& path, design::Kind asked, Model model, const design::Settings& settings,
                         uint32_t copies, const quote::CostSettings& cost) {
    std::error_code ec;
    const bool dir = std::filesystem::is_directory(path, ec);
    const std::string file = dir ? path + "/Corvanta.cmd" : path;
    std::string bytes, why;
    if (!ReadRegularFile(file, bytes, why))
        return quote::FailedRow(path, "", model, "cannot read " + file + ": " + why);
    const design::Kind kind = dir ? design::Kind::Command : asked;
    if (kind != design::Kind::Unknown) {
        const std::string mismatch = input::KindMismatch(kind, design::DetectKind(bytes), file);
        if (!mismatch.empty()) return quote::FailedRow(path, design::KindOption(kind), model, file + " " + mismatch);
    }
    input::Loaded loaded = input::Load(std::move(bytes), kind, settings);
    const std::string kindName = design::KindOption(loaded.kind);
    if (!loaded.ok())
        return quote::FailedRow(
            path, kindName, model,
            loaded.unknownKind ? file + " " + loaded.error : "cannot read " + file + ": " + loaded.error);
    Options opt;
    opt.model = model;
    opt.explain = true;
    try {
        return quote::RowFromResult(path, kindName, Estimate(loaded.commands, opt), copies, cost);
    } catch (const std::exception& e) {
        return quote::FailedRow(path, kindName, model, e.what());
    }
}

int Bad(const std::string& msg) {
    std::fprintf(stderr, "corvanta quote: %s (try corvanta quote --help)\n", msg.c_str());
    return 2;
}

}  // namespace

int QuoteMain(int argc, char** argv, Model defaultModel) {
    QuoteLine q;
    CLI::App app{
        "Estimates many jobs side by side and prints a quote: one row per input, a total, and the cost "
        "of the machine time when a rate is known.",
        "corvanta quote"};
    app.add_option("inputs", q.inputs,
                   "Job directories (their Corvanta.cmd), command files, HP-GL plots, SVG drawings or photos")
        ->required();
    app.add_option("--settings", q.settingsPath,
                   "Job settings (JSON): pens, raster, and rate, set-up, minimum, "
                   "currency and copies for the cost");
    app.add_option("--input-kind", q.inputKind, "Read every file as this kind: cmd, hpgl, svg or image");
    app.add_option("--format", q.format, "table, csv, json or markdown (default: table on a terminal, else csv)");
    app.add_option("--output", q.output, "Write the quote to this file instead of standard output");
    app.add_option("--jobs", q.jobs, "Threads estimating at once (default: the number of cores)");
    app.add_option("--model", q.model, "xr7 or k730 (default: this program's model)");
    app.add_option("--rate", q.rate, "Cost of one machine hour");
    app.add_option("--setup-minutes", q.setupMinutes, "Set-up time charged per input, in minutes");
    app.add_option("--minimum", q.minimum, "Minimum charge per input");
    app.add_option("--currency", q.currency, "Currency text shown with amounts");
    app.add_option("--copies", q.copies, "Copies of every input")->check(CLI::Range(1u, 1000000u));
    app.add_flag("--quiet", q.quiet, "No progress line");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return Bad(e.what());
    }

    Model model = defaultModel;
    if (q.model == "xr7" || q.model == "XR7")
        model = Model::XR7;
    else if (q.model == "k730" || q.model == "K730")
        model = Model::K730;
    else if (!q.model.empty())
        return Bad("unknown model \"" + q.model + "\" (xr7 or k730)");
    const bool toTerminal = q.output.empty() && isatty(STDOUT_FILENO);
    const auto format = quote::ParseFormat(q.format.empty() ? (toTerminal ? "table" : "csv") : q.format);
    if (!format) return Bad("unknown format \"" + q.format + "\" (table, csv, json or markdown)");
    design::Settings settings;
    if (!q.settingsPath.empty()) {
        std::string text, why;
        if (!ReadRegularFile(q.settingsPath, text, why)) return Bad("cannot read " + q.settingsPath + ": " + why);
        if (!design::ReadSettings(text, settings, why)) return Bad("settings file " + q.settingsPath + ": " + why);
    }
    const design::Kind asked = input::KindFromName(q.inputKind);
    if (!q.inputKind.empty() && asked == design::Kind::Unknown)
        return Bad("--input-kind must be cmd, hpgl, svg or image, not \"" + q.inputKind + "\"");
    // The command line's cost options win over the settings file's.
    quote::CostSettings cost;
    if (settings.ratePerHour >= 0) cost.ratePerHour = settings.ratePerHour;
    if (q.rate) cost.ratePerHour = q.rate;
    if (cost.ratePerHour && !(*cost.ratePerHour >= 0)) return Bad("the rate must be a number of 0 or more");
    cost.setupMinutes = q.setupMinutes.value_or(settings.setupMinutes);
    cost.minimumCharge = q.minimum.value_or(settings.minimumCharge);
    cost.currency = q.currency.value_or(settings.currency);
    const uint32_t copies = q.copies.value_or(settings.copies);

    // The quote replaces an earlier file only when it is whole.
    std::optional<ReplacedFile> out;
    std::string why;
    if (!q.output.empty()) {
        out.emplace(q.output, "the quote", false);
        if (!out->Prepare(why)) return Bad(why);
    }

    const unsigned jobs = q.jobs != 0 ? q.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::optional<quote::ProgressBar> bar;
    if (!q.quiet && isatty(STDERR_FILENO)) bar.emplace(stderr, q.inputs.size());
    const auto rows = quote::QuoteAll(
        q.inputs.size(), jobs,
        [&](size_t i) { return EstimateInput(q.inputs[i], asked, model, settings, copies, cost); },
        [&](size_t done, size_t) {
            if (bar) bar->Update(done);
        });
    if (bar) bar->Finish();

    const std::string text = quote::Render(rows, *format, cost);
    if (out) {
        if (!out->Commit(text, why)) return Bad(why);
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    for (const quote::Row& r : rows)
        if (!r.ok) return 3;
    return 0;
}

}  // namespace corvanta::app

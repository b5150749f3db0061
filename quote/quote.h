// Quoting: many inputs estimated side by side, one row each, with what the
// machine time costs, written as a table, CSV, JSON or Markdown.
//
// This layer only schedules and formats: each row's figures come from the
// library's Estimate of that input, exactly as a single run gives them.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/corvanta.h"

namespace corvanta::quote {

// What a shop charges for machine time.  Amounts in the currency's main unit.
struct CostSettings {
    std::optional<double> ratePerHour;  // none: no cost column figures
    double setupMinutes = 0;            // per job (per input, whatever its copies)
    double minimumCharge = 0;           // per job
    std::string currency;               // text shown with amounts, e.g. "EUR"
};

// cost = max(minimum, rate x (copies x job time + set-up)), in cents, rounded
// half up.  None without a rate.
std::optional<int64_t> CostCents(uint32_t jobMs, uint32_t copies, const CostSettings& cost);

// One input's row.  Figures are empty for a failed input.
struct Row {
    std::string input;   // as given on the command line
    std::string kind;    // "cmd", "hpgl", "svg", "image", or empty when unknown
    std::string model;   // "XR7" / "K730"
    std::string status;  // first status line, or the reason the input could not be read
    bool ok = false;     // estimated with CVQX_OK
    uint32_t copies = 1;
    struct Figures {
        uint32_t ms = 0;
        uint64_t activityMs[6] = {};  // cutting, travel, raster, raster-move, end-delay, other
        uint32_t vectors = 0, rasterLines = 0, pens = 0;
    };
    std::optional<Figures> figures;
    std::optional<int64_t> costCents;
};

// The row of an estimated input (the Result must carry an explanation).
Row RowFromResult(const std::string& input, const std::string& kind, const Result& result, uint32_t copies,
                  const CostSettings& cost);
// The row of an input that could not be estimated.
Row FailedRow(const std::string& input, const std::string& kind, Model model, const std::string& why);

// Estimates every input on up to `jobs` threads; rows come back in input order
// whatever the threads do.  `progress(done, total)` is called after each row,
// from one thread at a time.
std::vector<Row> QuoteAll(size_t count, unsigned jobs, const std::function<Row(size_t index)>& estimateOne,
                          const std::function<void(size_t done, size_t total)>& progress = {});

enum class Format { Table, Csv, Json, Markdown };
// Parses "table", "csv", "json", "markdown".
std::optional<Format> ParseFormat(const std::string& name);

// The rows and a last row "total" (copies x time summed over the rows that
// succeeded, costs summed), in the format.
std::string Render(const std::vector<Row>& rows, Format format, const CostSettings& cost);

// "h:mm:ss" of a millisecond figure, seconds truncated.
std::string Hms(uint64_t ms);
// "12.50" of 1250 cents.
std::string Amount(int64_t cents);

}  // namespace corvanta::quote

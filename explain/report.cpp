// The text forms of an explained estimate: the report's JSON fragment, the
// summary for people and the per-record progress CSV.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "corvanta/explain.h"
#include "explain/text.h"

namespace corvanta::explain {

using detail::Append;
using detail::Cat;
using detail::Dec;

std::string_view ActivityName(Activity a) {
    static constexpr std::string_view kNames[kActivities] = {"cutting",     "travel",    "raster",
                                                             "raster-move", "end-delay", "other"};
    const auto i = static_cast<uint8_t>(a);
    return i < kActivities ? kNames[i] : kNames[kActivities - 1];
}

uint64_t TicksToMs(uint64_t ticks) { return ticks / 5 * 2 + ticks % 5 * 2 / 5; }

namespace {

std::string TicksAndMs(uint64_t ticks) {
    return Cat("{\"ticks\": ", Dec(ticks), ", \"ms\": ", Dec(TicksToMs(ticks)), "}");
}

uint64_t Sum(const uint64_t* v, int n) { return std::accumulate(v, v + n, uint64_t{0}); }

// A text table: columns separated by two blanks, the first left-aligned and the
// others right-aligned, no trailing blanks.  An empty row is a blank line.
std::string Table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> width;
    for (const auto& r : rows)
        for (size_t c = 0; c < r.size(); ++c) {
            if (width.size() <= c) width.resize(c + 1, 0);
            width[c] = std::max(width[c], r[c].size());
        }
    std::string out;
    for (const auto& r : rows) {
        std::string line;
        for (size_t c = 0; c < r.size(); ++c) {
            const std::string pad(width[c] - r[c].size(), ' ');
            if (c == 0)
                Append(line, r[c], pad);
            else
                Append(line, "  ", pad, r[c]);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        Append(out, line, "\n");
    }
    return out;
}

// The counts of the job and the host time, one line each.
std::string Counts(const JobExplain& job) {
    std::string out = Cat("Vectors ", Dec(uint64_t{job.vectors}), "   Raster lines ", Dec(uint64_t{job.rasterLines}),
                          "   Pen changes ", Dec(uint64_t{job.penChanges}), "\n");
    if (std::isfinite(job.hostSeconds) && job.hostSeconds >= 0)
        Append(out, "Host time ", detail::Fixed(job.hostSeconds, 3), " s\n");
    else
        out += "Host time unknown\n";
    return out;
}

std::vector<std::string> Row(std::string name, uint64_t ticks, std::string share) {
    const uint64_t ms = TicksToMs(ticks);
    return {std::move(name), detail::Hms(ms), Dec(ms), std::move(share)};
}

}  // namespace

std::string BreakdownJson(const JobExplain& job) {
    std::string out = "{\"activities\": {";
    for (int a = 0; a < kActivities; ++a) {
        if (a) out += ", ";
        Append(out, "\"", ActivityName(static_cast<Activity>(a)), "\": ", TicksAndMs(job.breakdown.ticks[a]));
    }
    out += "}, \"pens\": {";
    bool first = true;
    for (int p = 0; p < kPens; ++p) {
        if (job.breakdown.penTicks[p] == 0) continue;
        if (!first) out += ", ";
        first = false;
        Append(out, "\"", Dec(uint64_t(p)), "\": ", TicksAndMs(job.breakdown.penTicks[p]));
    }
    return out += "}}";
}

std::string Summary(const JobExplain& job) {
    const Breakdown& b = job.breakdown;
    const uint64_t jobMs = TicksToMs(job.ticks);
    if (job.failed) return Cat("Job ", job.ending, " (no job time)\n\n", Counts(job));
    std::string out = Cat("Job time ", detail::Hms(jobMs), ", ", Dec(jobMs), " ms, ", Dec(job.ticks), " ticks");
    if (!job.ending.empty()) Append(out, " (", job.ending, ")");
    out += "\n\n";

    std::vector<std::vector<std::string>> rows;
    const uint64_t actTotal = Sum(b.ticks, kActivities);
    const auto actShares = detail::ShareTenths(std::vector<uint64_t>(b.ticks, b.ticks + kActivities), actTotal);
    rows.push_back({"Activity", "Time", "ms", "Share"});
    for (int a = 0; a < kActivities; ++a)
        rows.push_back(Row(std::string(ActivityName(static_cast<Activity>(a))), b.ticks[a],
                           actTotal ? detail::Percent(actShares[a]) : "-"));
    rows.push_back(Row("total", actTotal, actTotal ? detail::Percent(1000) : "-"));

    const uint64_t penTotal = Sum(b.penTicks, kPens);
    if (penTotal > 0) {
        const auto penShares = detail::ShareTenths(std::vector<uint64_t>(b.penTicks, b.penTicks + kPens), penTotal);
        rows.push_back({});
        rows.push_back({"Pen", "Time", "ms", "Share"});
        for (int p = 0; p < kPens; ++p)
            if (b.penTicks[p] > 0)
                rows.push_back(Row(Cat("pen ", Dec(uint64_t(p))), b.penTicks[p], detail::Percent(penShares[p])));
    }
    out += Table(rows);

    if (actTotal != job.ticks || (penTotal != 0 && penTotal != job.ticks))
        Append(out, "\nNote: the activities count ", Dec(actTotal), " ticks and the pens ", Dec(penTotal), ", the job ",
               Dec(job.ticks), ".\n");
    Append(out, "\n", Counts(job));
    return out;
}

std::string ProgressCsv(const JobExplain& job) {
    std::string out = "record,keyword,start_ms,end_ms\n";
    uint64_t prevStart = 0;
    for (size_t i = 0; i < job.records.size(); ++i) {
        const RecordTime& r = job.records[i];
        // Starts never go back and stay within the job; the first is 0.
        const uint64_t start = i == 0 ? 0 : std::min(std::max(r.startTick, prevStart), job.ticks);
        const uint64_t end = i + 1 == job.records.size() ? job.ticks : std::clamp(r.endTick, start, job.ticks);
        prevStart = start;
        Append(out, Dec(uint64_t{r.record}), ",", detail::CsvField(r.keyword), ",", Dec(TicksToMs(start)), ",",
               Dec(TicksToMs(end)), "\n");
    }
    return out;
}

}  // namespace corvanta::explain

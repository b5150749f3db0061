#include "quote/quote.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

namespace corvanta::quote {
namespace {

constexpr double kMsPerHour = 3600.0 * 1000.0;
constexpr const char* kActivityColumns[6] = {"cutting_ms",     "travel_ms",    "raster_ms",
                                             "raster_move_ms", "end_delay_ms", "other_ms"};
constexpr const char* kColumns[] = {"input", "kind", "model", "status", "ms", "time"};
constexpr const char* kCountColumns[] = {"vectors", "raster_lines", "pens", "copies", "cost"};

// The row "total": copies x time summed over the rows that succeeded.
Row TotalRow(const std::vector<Row>& rows) {
    Row total;
    total.input = "total";
    total.ok = true;
    total.copies = 0;
    Row::Figures sum;
    uint64_t ms = 0;
    bool anyCost = false;
    int64_t cents = 0;
    for (const Row& r : rows) {
        total.copies += r.copies;
        if (r.costCents) {
            anyCost = true;
            cents += *r.costCents;
        }
        if (!r.figures) continue;
        ms += uint64_t{r.copies} * r.figures->ms;
        for (int a = 0; a < 6; ++a) sum.activityMs[a] += uint64_t{r.copies} * r.figures->activityMs[a];
        sum.vectors += r.copies * r.figures->vectors;
        sum.rasterLines += r.copies * r.figures->rasterLines;
        sum.pens = std::max(sum.pens, r.figures->pens);
    }
    sum.ms = static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
    total.figures = sum;
    if (anyCost) total.costCents = cents;
    return total;
}

// The cells of a row, in column order; figures empty when the row has none.
std::vector<std::string> Cells(const Row& r, const CostSettings& cost, bool withCurrency) {
    std::vector<std::string> c = {r.input, r.kind, r.model, r.status};
    const auto num = [&](uint64_t v) { c.push_back(r.figures ? std::to_string(v) : ""); };
    num(r.figures ? r.figures->ms : 0);
    c.push_back(r.figures ? Hms(r.figures->ms) : "");
    for (int a = 0; a < 6; ++a) num(r.figures ? r.figures->activityMs[a] : 0);
    num(r.figures ? r.figures->vectors : 0);
    num(r.figures ? r.figures->rasterLines : 0);
    num(r.figures ? r.figures->pens : 0);
    c.push_back(std::to_string(r.copies));
    std::string amount = r.costCents ? Amount(*r.costCents) : "";
    if (withCurrency && r.costCents && !cost.currency.empty()) amount += " " + cost.currency;
    c.push_back(amount);
    return c;
}

std::vector<std::string> Header() {
    std::vector<std::string> h(std::begin(kColumns), std::end(kColumns));
    h.insert(h.end(), std::begin(kActivityColumns), std::end(kActivityColumns));
    h.insert(h.end(), std::begin(kCountColumns), std::end(kCountColumns));
    return h;
}

std::string CsvCell(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) {
        if (ch == '"') q += '"';
        q += ch;
    }
    return q + "\"";
}

std::string MarkdownCell(const std::string& s) {
    std::string out;
    for (char ch : s) {
        if (ch == '|') out += '\\';
        out += (ch == '\n' || ch == '\r') ? ' ' : ch;
    }
    return out;
}

std::string RenderCsv(const std::vector<std::vector<std::string>>& table) {
    std::string out;
    for (const auto& row : table) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i != 0) out += ',';
            out += CsvCell(row[i]);
        }
        out += "\n";
    }
    return out;
}

std::string RenderMarkdown(const std::vector<std::vector<std::string>>& table) {
    std::string out;
    for (size_t r = 0; r < table.size(); ++r) {
        out += "|";
        for (const auto& cell : table[r]) {
            out += ' ';
            out += MarkdownCell(cell);
            out += " |";
        }
        out += "\n";
        if (r == 0) {
            out += "|";
            for (size_t i = 0; i < table[r].size(); ++i) out += i < 4 ? "---|" : "---:|";
            out += "\n";
        }
    }
    return out;
}

// A terminal table of the columns a person reads first: input, status, time, ms, copies, cost.
std::string RenderTable(const std::vector<std::vector<std::string>>& table) {
    const size_t pick[] = {0, 1, 3, 5, 4, 15, 16};
    std::vector<size_t> width(std::size(pick), 0);
    for (const auto& row : table)
        for (size_t i = 0; i < std::size(pick); ++i) width[i] = std::max(width[i], row[pick[i]].size());
    std::string out;
    for (size_t r = 0; r < table.size(); ++r) {
        if (r + 1 == table.size()) {
            for (size_t i = 0; i < std::size(pick); ++i)
                out += std::string(width[i], '-') + (i + 1 < width.size() ? "  " : "");
            out += "\n";
        }
        std::string line;
        for (size_t i = 0; i < std::size(pick); ++i) {
            const std::string& cell = table[r][pick[i]];
            const bool right = i >= 3;
            const std::string pad(width[i] - cell.size(), ' ');
            line += right ? pad + cell : cell + pad;
            if (i + 1 < std::size(pick)) line += "  ";
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
        if (r == 0) {
            for (size_t i = 0; i < std::size(pick); ++i)
                out += std::string(width[i], '-') + (i + 1 < width.size() ? "  " : "");
            out += "\n";
        }
    }
    return out;
}

nlohmann::ordered_json RowJson(const Row& r, const CostSettings& cost) {
    nlohmann::ordered_json j;
    j["input"] = r.input;
    j["kind"] = r.kind;
    j["model"] = r.model;
    j["status"] = r.status;
    j["ok"] = r.ok;
    const auto fig = [&](const char* key, uint64_t v) {
        if (r.figures)
            j[key] = v;
        else
            j[key] = nullptr;
    };
    fig("ms", r.figures ? r.figures->ms : 0);
    if (r.figures)
        j["time"] = Hms(r.figures->ms);
    else
        j["time"] = nullptr;
    for (int a = 0; a < 6; ++a) fig(kActivityColumns[a], r.figures ? r.figures->activityMs[a] : 0);
    fig("vectors", r.figures ? r.figures->vectors : 0);
    fig("raster_lines", r.figures ? r.figures->rasterLines : 0);
    fig("pens", r.figures ? r.figures->pens : 0);
    j["copies"] = r.copies;
    if (r.costCents)
        j["cost"] = static_cast<double>(*r.costCents) / 100.0;
    else
        j["cost"] = nullptr;
    if (!cost.currency.empty()) j["currency"] = cost.currency;
    return j;
}

}  // namespace

std::optional<int64_t> CostCents(uint32_t jobMs, uint32_t copies, const CostSettings& cost) {
    if (!cost.ratePerHour) return std::nullopt;
    const double hours = (static_cast<double>(copies) * jobMs) / kMsPerHour + cost.setupMinutes / 60.0;
    const double amount = std::max(cost.minimumCharge, *cost.ratePerHour * hours);
    // Half a cent rounds up; the tiny allowance keeps amounts such as 2.675,
    // which binary floating point holds as 2.67499.., from rounding down.
    return static_cast<int64_t>(std::floor(amount * 100.0 + 0.5 + 1e-7));
}

Row RowFromResult(const std::string& input, const std::string& kind, const Result& result, uint32_t copies,
                  const CostSettings& cost) {
    Row r;
    r.input = input;
    r.kind = kind;
    r.model = ModelTag(result.model);
    r.status = result.status.empty() ? "" : result.status[0];
    if (!result.ok && result.status.size() > 1) r.status += " " + result.status[1];
    r.ok = result.ok;
    r.copies = copies;
    if (!result.ok) return r;
    Row::Figures f;
    f.ms = result.ms;
    if (result.explanation) {
        const explain::JobExplain& e = *result.explanation;
        for (int a = 0; a < 6; ++a) f.activityMs[a] = explain::TicksToMs(e.breakdown.ticks[a]);
        f.vectors = e.vectors;
        f.rasterLines = e.rasterLines;
        for (int p = 1; p < explain::kPens; ++p) f.pens += e.breakdown.penTicks[p] != 0 ? 1 : 0;
    }
    r.figures = f;
    r.costCents = CostCents(f.ms, copies, cost);
    return r;
}

Row FailedRow(const std::string& input, const std::string& kind, Model model, const std::string& why) {
    Row r;
    r.input = input;
    r.kind = kind;
    r.model = ModelTag(model);
    r.status = why;
    return r;
}

std::vector<Row> QuoteAll(size_t count, unsigned jobs, const std::function<Row(size_t index)>& estimateOne,
                          const std::function<void(size_t done, size_t total)>& progress) {
    std::vector<Row> rows(count);
    std::atomic<size_t> next{0};
    std::mutex progressLock;
    size_t done = 0;
    const auto work = [&] {
        for (size_t i = next++; i < count; i = next++) {
            rows[i] = estimateOne(i);
            const std::lock_guard<std::mutex> hold(progressLock);
            ++done;
            if (progress) progress(done, count);
        }
    };
    const unsigned threads = static_cast<unsigned>(std::clamp<size_t>(jobs, 1, std::max<size_t>(count, 1)));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return rows;
}

std::optional<Format> ParseFormat(const std::string& name) {
    if (name == "table") return Format::Table;
    if (name == "csv") return Format::Csv;
    if (name == "json") return Format::Json;
    if (name == "markdown") return Format::Markdown;
    return std::nullopt;
}

std::string Render(const std::vector<Row>& rows, Format format, const CostSettings& cost) {
    const Row total = TotalRow(rows);
    if (format == Format::Json) {
        nlohmann::ordered_json j;
        j["rows"] = nlohmann::ordered_json::array();
        for (const Row& r : rows) j["rows"].push_back(RowJson(r, cost));
        j["total"] = RowJson(total, cost);
        return j.dump(2) + "\n";
    }
    std::vector<std::vector<std::string>> table = {Header()};
    const bool withCurrency = format != Format::Csv;  // CSV keeps amounts as plain numbers
    for (const Row& r : rows) table.push_back(Cells(r, cost, withCurrency));
    table.push_back(Cells(total, cost, withCurrency));
    if (format == Format::Csv) return RenderCsv(table);
    if (format == Format::Markdown) return RenderMarkdown(table);
    return RenderTable(table);
}

std::string Hms(uint64_t ms) {
    const uint64_t s = ms / 1000;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%llu:%02u:%02u", static_cast<unsigned long long>(s / 3600),
                  static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60));
    return buf;
}

std::string Amount(int64_t cents) {
    const bool negative = cents < 0;
    const uint64_t c = negative ? 0 - static_cast<uint64_t>(cents) : static_cast<uint64_t>(cents);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%02u", negative ? "-" : "", static_cast<unsigned long long>(c / 100),
                  static_cast<unsigned>(c % 100));
    return buf;
}

}  // namespace corvanta::quote

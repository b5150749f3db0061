#include "app/notes.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace corvanta::app {

namespace {

// The records of the command file, by the count of numbers they take.
constexpr std::array<std::string_view, 18> kOneValue = {"CorvantaCmdVer",
                                                        "RasterDPI",
                                                        "RasterUnit",
                                                        "RasterBandingFree",
                                                        "RasterFiringType",
                                                        "RasterSpeedX",
                                                        "RasterSpeedY",
                                                        "ImageWidth",
                                                        "ImageHeight",
                                                        "RasterPower",
                                                        "RasterAccelEngrave",
                                                        "RasterBuEngrave",
                                                        "SetStartRasterGraphics",
                                                        "SetEndRasterGraphics",
                                                        "ToHpglMode",
                                                        "execute_penselect",
                                                        "ToPclMode",
                                                        "RasterLineOut"};
constexpr std::array<std::string_view, 5> kTwoValue = {"pd_default", "pu_default", "SetHorizontalPositionPCL",
                                                       "SetVerticalPositionPCL", "VectorSpeed"};

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Edits from a to b (insert, delete, replace, swap of neighbours), case
// ignored; stops counting past `most`.
size_t EditDistance(std::string_view a, std::string_view b, size_t most) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > most) return most + 1;
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

std::string Dec(uint64_t v) { return std::to_string(v); }

std::string TwoDigits(uint64_t v) { return std::string(1, char('0' + v / 10 % 10)) + char('0' + v % 10); }

// "record 4" or "records 4 to 9".
std::string Span(uint32_t first, uint32_t last) {
    return first == last ? "record " + Dec(first) : "records " + Dec(first) + " to " + Dec(last);
}

// The line as written, with control bytes shown as '?'.
std::string Printable(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return s;
}

// Why a record ended the job, from its keyword and the count of numbers read.
std::string WhyEnded(std::string_view keyword, size_t numbers) {
    const auto in = [&](const auto& table) { return std::find(table.begin(), table.end(), keyword) != table.end(); };
    if (!keyword.empty() && (keyword[0] == '#' || keyword[0] == ';' || keyword.substr(0, 2) == "//"))
        return "the command file has no comments: a comment ends the job";
    if (in(kOneValue))
        return numbers == 0
                   ? std::string(keyword) + " needs one whole number after it"
                   : std::string(keyword) + " takes one whole number and then the next keyword, not two numbers";
    if (in(kTwoValue)) return std::string(keyword) + " takes two whole numbers";
    std::vector<std::string_view> known(kOneValue.begin(), kOneValue.end());
    known.insert(known.end(), kTwoValue.begin(), kTwoValue.end());
    std::string why = "unknown keyword \"" + std::string(keyword) + "\"";
    if (const std::string near = Nearest(keyword, known); !near.empty()) why += "; did you mean " + near + "?";
    return why;
}

std::string EndedNotes(const Result& r) {
    const EndedAt& e = *r.endedAt;
    const size_t blank = e.text.find(' ');
    const std::string_view keyword = std::string_view(e.text).substr(0, blank);
    const size_t numbers = blank == std::string::npos ? 0 : size_t(std::count(e.text.begin(), e.text.end(), ' '));
    std::string out = "corvanta: the job ended at record " + Dec(e.record);
    if (e.line) out += ", line " + Dec(e.line) + " \"" + Printable(e.lineText) + "\"";
    out += ": " + WhyEnded(keyword, numbers) + "\n";
    out += "corvanta: ";
    out += r.records > e.record ? (r.records == e.record + 1 ? "the record after it (" : "the records after it (") +
                                      Span(e.record + 1, r.records) +
                                      (r.records == e.record + 1 ? ") was not estimated" : ") were not estimated")
                                : std::string("no record follows it");
    if (r.ok)
        out += e.record > 1 ? "; the time, " + ReadableTime(r.ms) + ", covers " + Span(1, e.record - 1)
                            : "; no record was estimated";
    return out + "\n";
}

}  // namespace

std::string Nearest(std::string_view word, const std::vector<std::string_view>& known) {
    const size_t most = word.size() >= 6 ? 2 : 1;
    std::string best;
    size_t bestDistance = most + 1;
    for (std::string_view k : known) {
        const size_t d = EditDistance(word, k, most);
        if (d < bestDistance) best = std::string(k), bestDistance = d;
    }
    return best;
}

std::string ReadableTime(uint64_t ms) {
    const uint64_t s = ms / 1000;
    if (s < 60) {
        const std::string frac = Dec(1000 + ms % 1000).substr(1);
        return Dec(s) + "." + frac + " s";
    }
    if (s < 3600) return Dec(s / 60) + " min " + TwoDigits(s % 60) + " s";
    return Dec(s / 3600) + " h " + TwoDigits(s / 60 % 60) + " min " + TwoDigits(s % 60) + " s";
}

bool LooksLikeUtf16(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") return true;
    const std::string_view head = bytes.substr(0, 64);
    return head.find('\0') != std::string_view::npos;
}

std::string JobNotes(const std::string& path, std::string_view commands, const Result& r) {
    if (r.status.empty()) return "";
    if (LooksLikeUtf16(commands))
        return "corvanta: " + path +
               " looks like UTF-16 text, which the machine cannot read: save it as ASCII or UTF-8\n";
    std::string out;
    if (r.records == 0) out += "corvanta: " + path + " holds no records: there is no job to estimate\n";
    if (r.endedAt) out += EndedNotes(r);
    if (r.failedAt && r.status.size() >= 2 && r.status[1] == "VersionMisMatch") {
        const std::string& text = r.failedAt->text;
        const size_t blank = text.find(' ');
        out += "corvanta: record " + Dec(r.failedAt->record) + " \"" + text + "\": the command file is version " +
               (blank == std::string::npos ? std::string("?") : text.substr(blank + 1)) +
               "; this program reads version 1\n";
    }
    return out;
}

}  // namespace corvanta::app

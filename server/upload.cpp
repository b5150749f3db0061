#include "server/upload.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "hpgl/hpgl.h"

namespace corvanta::server {
namespace {

using Json = nlohmann::ordered_json;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string_view SkipBlanks(std::string_view s) {
    if (StartsWith(s, "\xEF\xBB\xBF")) s.remove_prefix(3);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    return s;
}

std::string_view NextToken(std::string_view& s) {
    s = SkipBlanks(s);
    size_t n = 0;
    while (n < s.size() && !std::isspace(static_cast<unsigned char>(s[n]))) ++n;
    const std::string_view token = s.substr(0, n);
    s.remove_prefix(n);
    return token;
}

bool IsKeyword(std::string_view t) {
    if (t.empty() || !(std::isalpha(static_cast<unsigned char>(t[0])) || t[0] == '_')) return false;
    return std::all_of(t.begin(), t.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

bool IsInteger(std::string_view t) {
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
    return !t.empty() &&
           std::all_of(t.begin(), t.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool LooksLikeHpgl(std::string_view s) {
    if (StartsWith(s, "\x1b")) return true;
    if (s.size() < 3 || !std::isalpha(static_cast<unsigned char>(s[0])) ||
        !std::isalpha(static_cast<unsigned char>(s[1])))
        return false;
    const char c = s[2];
    return c == ';' || c == ',' || c == '-' || c == '.' || std::isdigit(static_cast<unsigned char>(c)) ||
           std::isupper(static_cast<unsigned char>(c));
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The last record of a command file when it lacks numbers its keyword takes
// (a file cut off in the middle of a record); empty when it is whole.
std::string CutOffRecord(std::string_view text) {
    static constexpr std::string_view kTwoValues[] = {"pd_default", "pu_default", "SetHorizontalPositionPCL",
                                                      "SetVerticalPositionPCL", "VectorSpeed"};
    std::string_view keyword;
    int numbers = 0;
    for (std::string_view rest = text, t = NextToken(rest); !t.empty(); t = NextToken(rest)) {
        if (IsInteger(t)) {
            ++numbers;
        } else {
            keyword = t;
            numbers = 0;
        }
    }
    const int wanted = std::find(std::begin(kTwoValues), std::end(kTwoValues), keyword) != std::end(kTwoValues) ? 2 : 1;
    return !keyword.empty() && numbers < wanted ? std::string(keyword) : std::string();
}

// Sets the refusal; false, for the reader's return.
bool Refused(UploadAnswer& a, int status, std::string why) {
    a.httpStatus = status;
    a.error = std::move(why);
    return false;
}

UploadAnswer Refuse(UploadAnswer& a, int status, std::string why) {
    a.httpStatus = status;
    a.error = std::move(why);
    return std::move(a);
}

// The records to estimate, or a refusal: command files as they are, plots
// through the plot reader; other kinds are not read by this build.
bool ReadRecords(const Upload& up, UploadAnswer& a, std::string& records) {
    if (a.kind == "cmd") {
        if (std::memchr(up.bytes.data(), '\0', up.bytes.size()) != nullptr) {
            return Refused(a, 422, "this is not a command file: it holds binary data (NUL bytes)");
        }
        std::string_view rest = up.bytes;
        const std::string_view first = NextToken(rest);
        if (!IsKeyword(first) || !IsInteger(NextToken(rest))) {
            return Refused(a, 422,
                           "this is not a command file: it does not start with a record (a keyword and a number, "
                           "such as \"CorvantaCmdVer 1\")");
        }
        if (const std::string cut = CutOffRecord(up.bytes); !cut.empty()) {
            return Refused(
                a, 422,
                "the file ends in the middle of a record (\"" + cut + "\" lacks its numbers): it looks cut off");
        }
        records.assign(up.bytes);
        return true;
    }
    if (a.kind == "hpgl") {
        const hpgl::Conversion conv = hpgl::Convert(up.bytes);
        for (const hpgl::Note& note : conv.notes) a.notes.push_back(hpgl::NoteLine(note));
        a.commands = conv.commands;
        records = conv.commands;
        return true;
    }
    return Refused(a, 415, "this build reads command files and HP-GL plots; " + a.kind + " files are not read yet");
}

}  // namespace

std::string DetectKind(std::string_view bytes) {
    if (StartsWith(bytes, "\x89PNG") || StartsWith(bytes, "\xFF\xD8\xFF") || StartsWith(bytes, "GIF8") ||
        StartsWith(bytes, "BM"))
        return "image";
    const std::string_view s = SkipBlanks(bytes);
    const std::string head = Lower(s.substr(0, 512));
    if (StartsWith(head, "<?xml") || StartsWith(head, "<svg") || StartsWith(head, "<!doctype svg") ||
        (StartsWith(head, "<!--") && head.find("<svg") != std::string::npos))
        return "svg";
    std::string_view rest = s;
    const std::string_view first = NextToken(rest);
    if (IsKeyword(first) && first.size() > 3 && IsInteger(NextToken(rest))) return "cmd";
    if (LooksLikeHpgl(s)) return "hpgl";
    return "";
}

bool ParseSettings(const std::string& settingsJson, quote::CostSettings& cost, std::string& why) {
    if (settingsJson.find_first_not_of(" \t\r\n") == std::string::npos) return true;
    const Json j = Json::parse(settingsJson, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        why = "the settings are not a JSON object";
        return false;
    }
    if (!j.contains("cost") || j["cost"].is_null()) return true;
    const Json& c = j["cost"];
    if (!c.is_object()) {
        why = "the settings' \"cost\" is not an object";
        return false;
    }
    const auto number = [&](const char* key, double& out, bool& present) {
        present = false;
        if (!c.contains(key) || c[key].is_null()) return true;
        if (!c[key].is_number() || c[key].get<double>() < 0 || c[key].get<double>() > 1e9) {
            why = std::string("the settings' cost \"") + key + "\" is not a number from 0 to 1e9";
            return false;
        }
        out = c[key].get<double>();
        present = true;
        return true;
    };
    double rate = 0;
    bool hasRate = false, unused = false;
    if (!number("ratePerHour", rate, hasRate) || !number("setupMinutes", cost.setupMinutes, unused) ||
        !number("minimumCharge", cost.minimumCharge, unused))
        return false;
    if (hasRate) cost.ratePerHour = rate;
    if (c.contains("currency")) {
        if (!c["currency"].is_string() || c["currency"].get<std::string>().size() > 16) {
            why = "the settings' cost \"currency\" is not a short text";
            return false;
        }
        cost.currency = c["currency"].get<std::string>();
    }
    return true;
}

UploadAnswer EstimateUpload(const Upload& up) {
    UploadAnswer a;
    std::string why;
    if (!ParseSettings(up.settingsJson, a.cost, why)) return Refuse(a, 400, why);
    a.kind = up.kind.empty() ? DetectKind(up.bytes) : Lower(up.kind);
    if (SkipBlanks(up.bytes).empty()) return Refuse(a, 422, "the file is empty");
    if (a.kind.empty())
        return Refuse(a, 415, "the kind of this file is not recognised: expected a command file or an HP-GL plot");
    static constexpr const char* kKinds[] = {"cmd", "hpgl", "svg", "image"};
    if (std::find(std::begin(kKinds), std::end(kKinds), a.kind) == std::end(kKinds))
        return Refuse(a, 400, "unknown kind \"" + a.kind + "\": use cmd, hpgl, svg or image");
    std::string records;
    if (!ReadRecords(up, a, records)) return a;

    Options opt;
    opt.model = up.model;
    opt.explain = true;
    opt.jobTickLimit = up.jobTickLimit;
    a.result = Estimate(records, opt);
    const Result& r = *a.result;
    if (r.endedAt)
        return Refuse(a, 422,
                      "record " + std::to_string(r.endedAt->record) + " \"" + r.endedAt->text +
                          "\" is no command for its count of numbers (a damaged or cut-off file?); the records "
                          "after it were not estimated");
    if (!r.ok) {
        std::string reason = r.status.size() > 1 ? r.status[1] : "no status";
        if (!r.failureMessage.empty()) reason += ": " + r.failureMessage;
        return Refuse(a, 422, "the machine would refuse this job (" + reason + ")");
    }
    return a;
}

std::string AnswerJson(const UploadAnswer& a, const std::string& name) {
    Json j = a.result ? Json::parse(ReportJson(*a.result), nullptr, false) : Json::object();
    if (j.is_discarded()) j = Json{{"ms", a.result->ms}, {"status", a.result->status}};
    if (a.httpStatus != 200) j["error"] = a.error;
    j["kind"] = a.kind;
    j["notes"] = a.notes;
    Json cost = nullptr;
    if (a.result && a.cost.ratePerHour) {
        const std::optional<int64_t> cents = quote::CostCents(a.result->ms, 1, a.cost);
        cost = Json{{"cents", *cents}, {"amount", quote::Amount(*cents)}, {"currency", a.cost.currency}};
    }
    j["cost"] = cost;
    if (a.result && a.result->explanation) {
        const explain::JobExplain& e = *a.result->explanation;
        j["svg"] = explain::Svg(e, "corvanta " + std::string(ModelTag(a.result->model)) + " " + name);
        j["progressCsv"] = explain::ProgressCsv(e);
        Json bars = Json::array();
        for (const explain::TimeSpan& s : explain::StripBars(e.spans, e.ticks, std::max<uint64_t>(1, e.ticks / 400)))
            bars.push_back({{"activity", explain::ActivityName(s.activity)},
                            {"startMs", explain::TicksToMs(s.startTick)},
                            {"endMs", explain::TicksToMs(s.endTick)}});
        j["timeline"] = bars;
    }
    if (!a.commands.empty()) j["commands"] = a.commands;
    // A file's own bytes (a record's text, a file name) need not be UTF-8: those become U+FFFD.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace corvanta::server

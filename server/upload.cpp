#include "server/upload.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "design/detect.h"
#include "design/settings_json.h"
#include "input/input.h"

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

// The records to estimate, or a refusal: command files as they are (checked
// for damage), every other kind through its reader and the design writer.
bool ReadRecords(const Upload& up, const design::Settings& settings, UploadAnswer& a, std::string& records) {
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
    const design::Kind kind = input::KindFromName(a.kind);
    if (const std::string mismatch = input::KindMismatch(kind, design::DetectKind(up.bytes), "the file");
        !mismatch.empty() && design::DetectKind(up.bytes) != design::Kind::Unknown)
        return Refused(a, 422, "this file " + mismatch.substr(0, mismatch.find(';')));
    input::Loaded loaded = input::Load(std::string(up.bytes), kind, settings);
    if (!loaded.ok()) return Refused(a, loaded.unknownKind ? 415 : 422, "cannot read the file: " + loaded.error);
    a.notes = std::move(loaded.notes);
    a.commands = loaded.commands;
    records = std::move(loaded.commands);
    return true;
}

// The job settings of designs: every key but "cost", with "penSpeedMmS" (sixteen speeds, 0 for none) taken
// for the settings file's "penSpeeds" and an empty "penTable" left out.
bool DesignSettings(const Json& j, design::Settings& settings, std::string& why) {
    Json d = Json::object();
    for (const auto& [key, value] : j.items()) {
        if (key == "cost") continue;
        if (key == "penSpeedMmS" && value.is_array()) {
            Json speeds = Json::object();
            for (size_t i = 0; i < value.size() && i < 16; ++i)
                if (!value[i].is_number() || value[i].get<double>() != 0) speeds[std::to_string(i + 1)] = value[i];
            if (!speeds.empty()) d["penSpeeds"] = speeds;
            continue;
        }
        if (key == "penTable" && value.is_array() && value.empty()) continue;
        d[key] = value;
    }
    if (design::ReadSettings(d.dump(), settings, why)) return true;
    why = "the settings: " + why;
    return false;
}

}  // namespace

std::string DetectKind(std::string_view bytes) { return design::KindOption(design::DetectKind(bytes)); }

bool ParseSettings(const std::string& settingsJson, quote::CostSettings& cost, design::Settings& design,
                   std::string& why) {
    if (settingsJson.find_first_not_of(" \t\r\n") == std::string::npos) return true;
    const Json j = Json::parse(settingsJson, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        why = "the settings are not a JSON object";
        return false;
    }
    if (!DesignSettings(j, design, why)) return false;
    if (design.ratePerHour >= 0) cost.ratePerHour = design.ratePerHour;
    cost.setupMinutes = design.setupMinutes;
    cost.minimumCharge = design.minimumCharge;
    cost.currency = design.currency;
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
    design::Settings settings;
    if (!ParseSettings(up.settingsJson, a.cost, settings, why)) return Refuse(a, 400, why);
    a.kind = up.kind.empty() ? DetectKind(up.bytes) : Lower(up.kind);
    if (SkipBlanks(up.bytes).empty()) return Refuse(a, 422, "the file is empty");
    if (a.kind.empty())
        return Refuse(a, 415,
                      "the kind of this file is not recognised: expected a command file, an HP-GL plot, an SVG "
                      "drawing or a photo (PNG, JPEG, GIF, BMP)");
    static constexpr const char* kKinds[] = {"cmd", "hpgl", "svg", "image"};
    if (std::find(std::begin(kKinds), std::end(kKinds), a.kind) == std::end(kKinds))
        return Refuse(a, 400, "unknown kind \"" + a.kind + "\": use cmd, hpgl, svg or image");
    std::string records;
    if (!ReadRecords(up, settings, a, records)) return a;

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

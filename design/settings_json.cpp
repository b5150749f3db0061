#include "design/settings_json.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cmath>
#include <stdexcept>

namespace corvanta::design {

namespace {

using Json = nlohmann::json;

// A settings error: the message names the key.
struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Deepest nesting of objects and arrays, strings skipped; counted before parsing so a hostile file cannot
// make the parser recurse deeply.
int NestingDepth(std::string_view text) {
    int depth = 0, deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

double Number(const Json& v, const std::string& key, double lo, double hi) {
    if (!v.is_number()) throw Bad("\"" + key + "\" must be a number");
    const double d = v.get<double>();
    if (!(d >= lo && d <= hi)) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "\"%s\" is out of range: %g (allowed %g..%g)", key.c_str(), d, lo, hi);
        throw Bad(buf);
    }
    return d;
}

int32_t Whole(const Json& v, const std::string& key, int32_t lo, int32_t hi) {
    if (!v.is_number_integer()) throw Bad("\"" + key + "\" must be a whole number");
    return static_cast<int32_t>(Number(v, key, lo, hi));
}

bool Flag(const Json& v, const std::string& key) {
    if (!v.is_boolean()) throw Bad("\"" + key + "\" must be true or false");
    return v.get<bool>();
}

// "#rrggbb" or "#rgb", any case, as "#rrggbb" in lower case.
std::string Colour(const Json& v, const std::string& key) {
    if (!v.is_string()) throw Bad("\"" + key + "\" must be a colour \"#rrggbb\"");
    std::string s = v.get<std::string>();
    bool hex = s.size() > 1 && s[0] == '#';
    for (std::size_t i = 1; hex && i < s.size(); ++i) hex = std::isxdigit(static_cast<unsigned char>(s[i])) != 0;
    if (!hex || (s.size() != 7 && s.size() != 4)) throw Bad("\"" + key + "\" must be a colour \"#rrggbb\": " + s);
    if (s.size() == 4) s = {'#', s[1], s[1], s[2], s[2], s[3], s[3]};
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void PenTable(const Json& v, Settings& s) {
    if (!v.is_array()) throw Bad("\"penTable\" must be a list of {\"colour\": \"#rrggbb\", \"pen\": N}");
    if (v.size() > 4096) throw Bad("\"penTable\" has more than 4096 entries");
    s.penTable.clear();
    for (std::size_t i = 0; i < v.size(); ++i) {
        const std::string at = "penTable[" + std::to_string(i) + "]";
        if (!v[i].is_object()) throw Bad("\"" + at + "\" must be {\"colour\": \"#rrggbb\", \"pen\": N}");
        PenRule rule;
        bool colour = false, pen = false;
        for (const auto& [key, value] : v[i].items()) {
            if (key == "colour")
                rule.colour = Colour(value, at + ".colour"), colour = true;
            else if (key == "pen")
                rule.pen = Whole(value, at + ".pen", 1, 16), pen = true;
            else
                throw Bad("unknown key \"" + at + "." + key + "\" (a pen rule has \"colour\" and \"pen\")");
        }
        if (!colour || !pen) throw Bad("\"" + at + "\" needs both \"colour\" and \"pen\"");
        s.penTable.push_back(rule);
    }
}

void PenSpeeds(const Json& v, Settings& s) {
    if (!v.is_object()) throw Bad("\"penSpeeds\" must be an object of pen numbers \"1\"..\"16\" to mm/s");
    for (const auto& [key, value] : v.items()) {
        int pen = 0;
        for (char c : key) pen = (pen < 100 && std::isdigit(static_cast<unsigned char>(c))) ? pen * 10 + (c - '0') : 99;
        if (key.empty() || pen < 1 || pen > 16) throw Bad("unknown pen \"penSpeeds." + key + "\" (pens are 1..16)");
        s.penSpeedMmS[pen - 1] = Number(value, "penSpeeds." + key, 0.5, 1041.4);
    }
}

Settings::FillMode Fills(const Json& v) {
    const std::string what = v.is_string() ? v.get<std::string>() : "";
    if (what == "engrave") return Settings::FillMode::Engrave;
    if (what == "cut") return Settings::FillMode::CutOutline;
    if (what == "ignore") return Settings::FillMode::Ignore;
    throw Bad("\"fills\" must be \"engrave\", \"cut\" or \"ignore\"");
}

bool RasterRowsStep(int32_t rows) { return rows == 304 || rows == 609 || 3048 % rows == 0; }

void Apply(const std::string& key, const Json& v, Settings& s) {
    if (key == "penTable") return PenTable(v, s);
    if (key == "defaultPen") return void(s.defaultPen = Whole(v, key, 1, 16));
    if (key == "penSpeeds") return PenSpeeds(v, s);
    if (key == "rasterDpi") return void(s.rasterDpi = Whole(v, key, 1, 3048));
    if (key == "rasterRowsPerInch") {
        s.rasterRowsPerInch = Whole(v, key, 1, 3048);
        if (!RasterRowsStep(s.rasterRowsPerInch))
            throw Bad("\"rasterRowsPerInch\" must divide 3048 or be 304 or 609 (e.g. 254, 381, 508, 762, 1016): " +
                      std::to_string(s.rasterRowsPerInch));
        return;
    }
    if (key == "rasterSpeedX") return void(s.rasterSpeedX = Whole(v, key, 1, 1000));
    if (key == "rasterSpeedY") return void(s.rasterSpeedY = Whole(v, key, 1, 1000));
    if (key == "rasterBothDirections") return void(s.rasterBothDirections = Flag(v, key));
    if (key == "rasterRowsPerLine") return void(s.rasterRowsPerLine = Whole(v, key, 1, 64));
    if (key == "rasterBottomUp") return void(s.rasterBottomUp = Flag(v, key));
    if (key == "rasterFixedRunUp") return void(s.rasterFixedRunUp = Flag(v, key));
    if (key == "rasterPower") return void(s.rasterPower = Whole(v, key, 0, 1000));
    if (key == "offsetXmm") return void(s.offsetXmm = Number(v, key, -1000, 1000));
    if (key == "offsetYmm") return void(s.offsetYmm = Number(v, key, -1000, 1000));
    if (key == "curveToleranceMm") return void(s.curveToleranceMm = Number(v, key, 0.001, 10));
    if (key == "fills") return void(s.fills = Fills(v));
    if (key == "svgUnitsPerInch") return void(s.svgUnitsPerInch = Number(v, key, 1, 10000));
    if (key == "imageDpi") return void(s.imageDpi = Number(v, key, 1, 10000));
    if (key == "cropImageMargins") return void(s.cropImageMargins = Flag(v, key));
    if (key == "rate") return void(s.ratePerHour = Number(v, key, 0, 1e9));
    if (key == "setupMinutes") return void(s.setupMinutes = Number(v, key, 0, 1e6));
    if (key == "minimumCharge") return void(s.minimumCharge = Number(v, key, 0, 1e9));
    if (key == "copies") return void(s.copies = static_cast<uint32_t>(Whole(v, key, 1, 1000000)));
    if (key == "currency") {
        if (!v.is_string() || v.get<std::string>().size() > 16)
            throw Bad("\"currency\" must be a text of at most 16 characters");
        return void(s.currency = v.get<std::string>());
    }
    throw Bad("unknown key \"" + key + "\"");
}

}  // namespace

bool ReadSettings(std::string_view json, Settings& settings, std::string& error) {
    if (json.size() > kMaxSettingsBytes) {
        error = "the settings file is larger than " + std::to_string(kMaxSettingsBytes) + " bytes";
        return false;
    }
    if (NestingDepth(json) > kMaxSettingsDepth) {
        error = "the settings nest deeper than " + std::to_string(kMaxSettingsDepth) + " levels";
        return false;
    }
    const Json doc = Json::parse(json.begin(), json.end(), nullptr, false);
    if (doc.is_discarded()) {
        error = "the settings are not valid JSON";
        return false;
    }
    if (!doc.is_object()) {
        error = "the settings must be a JSON object of keys and values";
        return false;
    }
    Settings next = settings;
    try {
        for (const auto& [key, value] : doc.items()) Apply(key, value, next);
    } catch (const Bad& e) {
        error = e.what();
        return false;
    }
    settings = next;
    return true;
}

}  // namespace corvanta::design

#include "svg/style.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "svg/scan.h"

namespace corvanta::svg {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct NamedColour {
    std::string_view name;
    unsigned rgb;
};
// The CSS colour names drawing programs write.
constexpr NamedColour kNamedColours[] = {
    {"black", 0x000000},       {"white", 0xffffff},     {"red", 0xff0000},         {"lime", 0x00ff00},
    {"green", 0x008000},       {"blue", 0x0000ff},      {"yellow", 0xffff00},      {"cyan", 0x00ffff},
    {"aqua", 0x00ffff},        {"magenta", 0xff00ff},   {"fuchsia", 0xff00ff},     {"silver", 0xc0c0c0},
    {"gray", 0x808080},        {"grey", 0x808080},      {"maroon", 0x800000},      {"olive", 0x808000},
    {"purple", 0x800080},      {"teal", 0x008080},      {"navy", 0x000080},        {"orange", 0xffa500},
    {"pink", 0xffc0cb},        {"brown", 0xa52a2a},     {"gold", 0xffd700},        {"violet", 0xee82ee},
    {"indigo", 0x4b0082},      {"darkred", 0x8b0000},   {"darkgreen", 0x006400},   {"darkblue", 0x00008b},
    {"darkgray", 0xa9a9a9},    {"darkgrey", 0xa9a9a9},  {"lightgray", 0xd3d3d3},   {"lightgrey", 0xd3d3d3},
    {"dimgray", 0x696969},     {"dimgrey", 0x696969},   {"lightblue", 0xadd8e6},   {"lightgreen", 0x90ee90},
    {"darkorange", 0xff8c00},  {"orangered", 0xff4500}, {"crimson", 0xdc143c},     {"tomato", 0xff6347},
    {"salmon", 0xfa8072},      {"coral", 0xff7f50},     {"khaki", 0xf0e68c},       {"tan", 0xd2b48c},
    {"beige", 0xf5f5dc},       {"turquoise", 0x40e0d0}, {"skyblue", 0x87ceeb},     {"steelblue", 0x4682b4},
    {"royalblue", 0x4169e1},   {"limegreen", 0x32cd32}, {"forestgreen", 0x228b22}, {"seagreen", 0x2e8b57},
    {"chocolate", 0xd2691e},   {"sienna", 0xa0522d},    {"plum", 0xdda0dd},        {"orchid", 0xda70d6},
    {"darkviolet", 0x9400d3},  {"hotpink", 0xff69b4},   {"deeppink", 0xff1493},    {"darkcyan", 0x008b8b},
    {"darkmagenta", 0x8b008b}, {"ivory", 0xfffff0},     {"whitesmoke", 0xf5f5f5},  {"gainsboro", 0xdcdcdc},
};

// A name after a one-character sign ("#id", ".class").
std::string Prefixed(char sign, std::string_view name) {
    std::string out(1, sign);
    out.append(name);
    return out;
}

std::string Hex(unsigned r, unsigned g, unsigned b) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", r & 0xFF, g & 0xFF, b & 0xFF);
    return text;
}

// rgb(r, g, b) and rgba(r, g, b, a), numbers 0..255 or percentages, commas or spaces.
std::optional<std::string> FunctionalColour(std::string_view inner) {
    Scanner scan(inner);
    unsigned channel[3];
    for (unsigned& c : channel) {
        scan.SkipSpace();
        double v = 0;
        if (!scan.Number(v)) return std::nullopt;
        if (scan.Peek() == '%') {
            scan.Advance();
            v = v * 255 / 100;
        }
        c = static_cast<unsigned>(std::lround(std::clamp(v, 0.0, 255.0)));
        scan.SkipCommaSpace();
    }
    return Hex(channel[0], channel[1], channel[2]);
}

}  // namespace

std::optional<std::string> ParseColour(std::string_view text) {
    const std::string s = Lower(Trim(text));
    if (!s.empty() && s[0] == '#') {
        const std::string_view digits = std::string_view(s).substr(1);
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit((unsigned char)c); }))
            return std::nullopt;
        if (digits.size() == 3 || digits.size() == 4)  // #rgb and #rgba: each digit doubled, alpha dropped
            return std::string{'#', digits[0], digits[0], digits[1], digits[1], digits[2], digits[2]};
        if (digits.size() == 6 || digits.size() == 8) return s.substr(0, 7);
        return std::nullopt;
    }
    for (const std::string_view name : {std::string_view("rgb("), std::string_view("rgba(")}) {
        if (s.compare(0, name.size(), name) == 0 && s.back() == ')')
            return FunctionalColour(std::string_view(s).substr(name.size(), s.size() - name.size() - 1));
    }
    for (const NamedColour& named : kNamedColours)
        if (named.name == s) return Hex(named.rgb >> 16, named.rgb >> 8, named.rgb);
    return std::nullopt;
}

std::optional<Paint> ParsePaint(std::string_view text) {
    const std::string s = Lower(Trim(text));
    if (s == "none" || s == "transparent") return Paint{};
    if (s == "currentcolor") return Paint{Paint::Kind::CurrentColour, ""};
    if (s.compare(0, 4, "url(") == 0) {
        // A gradient or pattern; a fallback colour after it is what the reader uses.
        const std::size_t close = s.find(')');
        if (close == std::string::npos) return std::nullopt;
        const std::string_view fallback = Trim(std::string_view(s).substr(close + 1));
        if (fallback.empty()) return Paint{Paint::Kind::Server, ""};
        return ParsePaint(fallback);
    }
    if (auto rgb = ParseColour(s)) return Paint{Paint::Kind::Colour, *rgb};
    return std::nullopt;
}

Declarations ParseDeclarations(std::string_view text) {
    Declarations out;
    std::string clean;
    // Comments out.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", i + 2);
            if (end == std::string_view::npos) break;
            i = end + 1;
            continue;
        }
        clean.push_back(text[i]);
    }
    std::string_view rest(clean);
    while (!rest.empty()) {
        const std::size_t semicolon = rest.find(';');
        const std::string_view item = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view value = Trim(item.substr(colon + 1));
        const std::size_t bang = value.find('!');
        if (bang != std::string_view::npos) value = Trim(value.substr(0, bang));
        out.emplace_back(Lower(Trim(item.substr(0, colon))), std::string(value));
    }
    return out;
}

bool IsStyleProperty(std::string_view name) {
    return name == "fill" || name == "stroke" || name == "fill-rule" || name == "display" || name == "visibility" ||
           name == "color";
}

void Apply(Style& style, const Declarations& declarations) {
    for (const auto& [property, value] : declarations) {
        const std::string v = Lower(Trim(value));
        if (v == "inherit") continue;  // the style already holds the parent's value
        if (property == "fill" || property == "stroke") {
            if (auto paint = ParsePaint(v)) (property == "fill" ? style.fill : style.stroke) = *paint;
        } else if (property == "fill-rule") {
            if (v == "evenodd") style.fillRule = design::FillRegion::Rule::EvenOdd;
            if (v == "nonzero") style.fillRule = design::FillRegion::Rule::NonZero;
        } else if (property == "display") {
            style.displayed = v != "none";
        } else if (property == "visibility") {
            style.visible = v == "visible";
        } else if (property == "color") {
            if (auto rgb = ParseColour(v)) style.colour = *rgb;
        }
    }
}

Declarations Reduce(const Declarations& declarations) {
    Declarations out;
    for (const auto& d : declarations) {
        if (!IsStyleProperty(d.first)) continue;
        auto same = std::find_if(out.begin(), out.end(), [&](const auto& o) { return o.first == d.first; });
        if (same != out.end()) {
            same->second = d.second;
        } else {
            out.push_back(d);
        }
    }
    return out;
}

// --- Style sheets --------------------------------------------------------------------------------------------

void StyleSheet::Add(std::string_view css) {
    std::size_t at = 0;
    while (at < css.size()) {
        const std::size_t open = css.find('{', at);
        if (open == std::string_view::npos) break;
        // The block ends at the matching brace (at-rules such as @media nest blocks; they are skipped whole).
        std::size_t close = open + 1;
        for (int depth = 1; close < css.size() && depth > 0; ++close) {
            if (css[close] == '{') ++depth;
            if (css[close] == '}') --depth;
        }
        std::string prelude = std::string(css.substr(at, open - at));
        // Comments and the end of a previous at-rule statement ("@import ...;") out of the selector text.
        for (std::size_t c = prelude.find("/*"); c != std::string::npos; c = prelude.find("/*")) {
            const std::size_t e = prelude.find("*/", c + 2);
            prelude.erase(c, e == std::string::npos ? std::string::npos : e + 2 - c);
        }
        const std::size_t semicolon = prelude.rfind(';');
        if (semicolon != std::string::npos) prelude.erase(0, semicolon + 1);
        const std::string_view selectors = Trim(prelude);
        if (!selectors.empty() && selectors[0] == '@') {
            ++ignored_;
        } else {
            const Declarations block = Reduce(ParseDeclarations(css.substr(open + 1, close - open - 2)));
            std::string_view list = selectors;
            while (!list.empty()) {
                const std::size_t comma = list.find(',');
                AddRule(Trim(list.substr(0, comma)), block);
                list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            }
        }
        at = close;
    }
}

void StyleSheet::AddRule(std::string_view selector, const Declarations& block) {
    Rule rule;
    const auto nameChar = [](char c) { return std::isalnum((unsigned char)c) || c == '-' || c == '_'; };
    std::size_t i = 0;
    if (i < selector.size() && selector[i] == '*') {
        ++i;
    } else {
        while (i < selector.size() && nameChar(selector[i])) rule.element.push_back(selector[i++]);
        if (!rule.element.empty()) rule.specificity += 1;
    }
    while (i < selector.size() && (selector[i] == '.' || selector[i] == '#')) {
        const char kind = selector[i++];
        std::string name;
        while (i < selector.size() && nameChar(selector[i])) name.push_back(selector[i++]);
        if (name.empty()) break;
        if (kind == '#') rule.id = name, rule.specificity += 10000;
        if (kind == '.') rule.classes.push_back(name), rule.specificity += 100;
    }
    // Descendant and child combinators, attributes and pseudo-classes are not matched.
    if (i != selector.size() || selector.empty()) {
        ++ignored_;
        return;
    }
    std::sort(rule.classes.begin(), rule.classes.end());
    std::string canonical = rule.element + Prefixed('#', rule.id);
    for (const std::string& c : rule.classes) canonical += "." + c;
    auto found = bySelector_.find(canonical);
    if (found == bySelector_.end()) {
        if (rules_.size() >= kMaxRules) {
            ++ignored_;
            return;
        }
        const std::string key = !rule.id.empty()        ? Prefixed('#', rule.id)
                                : !rule.classes.empty() ? Prefixed('.', rule.classes.front())
                                : !rule.element.empty() ? rule.element
                                                        : "*";
        byKey_[key].push_back(rules_.size());
        found = bySelector_.emplace(canonical, rules_.size()).first;
        rules_.push_back(std::move(rule));
    }
    // The same selector again: its declarations join the rule, each keeping its place in the cascade.
    for (const auto& [property, value] : block) rules_[found->second].properties[property] = {value, declarations_++};
}

Declarations StyleSheet::Matching(const ElementKey& element) {
    struct Hit {
        int specificity;
        std::size_t order;
        const std::string* property;
        const std::string* value;
    };
    std::vector<Hit> hits;
    const auto consider = [&](const std::string& key) {
        const auto candidates = byKey_.find(key);
        if (candidates == byKey_.end()) return;
        for (std::size_t index : candidates->second) {
            if (checksLeft_ == 0) return;
            --checksLeft_;
            const Rule& rule = rules_[index];
            if (!rule.element.empty() && rule.element != element.name) continue;
            if (!rule.id.empty() && rule.id != element.id) continue;
            const bool classes = std::all_of(rule.classes.begin(), rule.classes.end(), [&](const std::string& c) {
                return std::find(element.classes.begin(), element.classes.end(), c) != element.classes.end();
            });
            if (!classes) continue;
            for (const auto& [property, value] : rule.properties)
                hits.push_back({rule.specificity, value.order, &property, &value.text});
        }
    };
    consider("*");
    consider(std::string(element.name));
    if (!element.id.empty()) consider(Prefixed('#', element.id));
    std::vector<std::string_view> classes = element.classes;
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    for (std::string_view c : classes) consider(Prefixed('.', c));
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
        return a.specificity != b.specificity ? a.specificity < b.specificity : a.order < b.order;
    });
    Declarations out;
    for (const Hit& h : hits) out.emplace_back(*h.property, *h.value);
    return out;
}

}  // namespace corvanta::svg

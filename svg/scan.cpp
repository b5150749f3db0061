#include "svg/scan.h"

#include <charconv>
#include <cmath>

namespace corvanta::svg {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

void Scanner::SkipSpace() {
    while (!AtEnd() && IsSpace(text_[at_])) ++at_;
}

void Scanner::SkipCommaSpace() {
    SkipSpace();
    if (Peek() == ',') {
        ++at_;
        SkipSpace();
    }
}

bool Scanner::StartsNumber() const {
    const char c = Peek();
    return IsDigit(c) || c == '.' || c == '-' || c == '+';
}

bool Scanner::Number(double& value) {
    std::size_t at = at_;
    if (at < text_.size() && text_[at] == '+') ++at;  // from_chars takes '-' but not '+'
    const std::size_t digits = at < text_.size() && text_[at] == '-' ? at + 1 : at;
    // Only decimal numbers: from_chars would also take "inf" and "nan".
    if (digits >= text_.size() || !(IsDigit(text_[digits]) || text_[digits] == '.')) return false;
    double v = 0;
    const char* first = text_.data() + at;
    const auto [end, error] = std::from_chars(first, text_.data() + text_.size(), v);
    if (error != std::errc() || !std::isfinite(v)) return false;
    value = v;
    at_ = std::size_t(end - text_.data());
    return true;
}

bool Scanner::Flag(bool& value) {
    if (Peek() != '0' && Peek() != '1') return false;
    value = Peek() == '1';
    ++at_;
    return true;
}

std::optional<Length> ParseLength(std::string_view text) {
    Scanner scan(Trim(text));
    Length length;
    if (!scan.Number(length.value)) return std::nullopt;
    const std::string_view unit = Trim(scan.Rest());
    struct Name {
        std::string_view name;
        Length::Unit unit;
    };
    static constexpr Name kUnits[] = {
        {"", Length::Unit::User}, {"px", Length::Unit::User}, {"mm", Length::Unit::Mm}, {"cm", Length::Unit::Cm},
        {"in", Length::Unit::In}, {"pt", Length::Unit::Pt},   {"pc", Length::Unit::Pc}, {"%", Length::Unit::Percent},
        {"em", Length::Unit::Em}, {"ex", Length::Unit::Ex},
    };
    for (const Name& n : kUnits) {
        if (unit.size() != n.name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < unit.size(); ++i) same = same && (unit[i] | 0x20) == n.name[i];
        if (same) {
            length.unit = n.unit;
            return length;
        }
    }
    return std::nullopt;
}

double ToUserUnits(Length length, double unitsPerInch, double percentBase) {
    const double v = length.value;
    switch (length.unit) {
        case Length::Unit::User: return v;
        case Length::Unit::Mm: return v * unitsPerInch / 25.4;
        case Length::Unit::Cm: return v * unitsPerInch / 2.54;
        case Length::Unit::In: return v * unitsPerInch;
        case Length::Unit::Pt: return v * unitsPerInch / 72;
        case Length::Unit::Pc: return v * unitsPerInch / 6;
        case Length::Unit::Percent: return v * percentBase / 100;
        case Length::Unit::Em: return v * 16;  // the default font size, user units
        case Length::Unit::Ex: return v * 8;
    }
    return v;
}

std::optional<double> ToMillimetres(Length length, double unitsPerInch) {
    const double v = length.value;
    switch (length.unit) {
        case Length::Unit::Mm: return v;
        case Length::Unit::Cm: return v * 10;
        case Length::Unit::In: return v * 25.4;
        case Length::Unit::Pt: return v * 25.4 / 72;
        case Length::Unit::Pc: return v * 25.4 / 6;
        case Length::Unit::Percent: return std::nullopt;
        default: return ToUserUnits(length, unitsPerInch, 0) * 25.4 / unitsPerInch;
    }
}

}  // namespace corvanta::svg

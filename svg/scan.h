// Reading numbers, lengths and lists out of SVG attribute text.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace corvanta::svg {

// A cursor over attribute text: numbers separated by whitespace and at most one comma.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}
    void SkipSpace();
    void SkipCommaSpace();  // whitespace, at most one comma, whitespace
    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
    void Advance() { ++at_; }
    bool StartsNumber() const;
    // A number with optional sign, fraction and exponent; false (nothing consumed) when there is none or it
    // is out of the range of doubles.
    bool Number(double& value);
    // An arc flag: one character 0 or 1 (path data may run flags together: "a1 1 0 00 5 5").
    bool Flag(bool& value);
    std::string_view Rest() const { return text_.substr(at_); }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// A length: a number and its unit.
struct Length {
    enum class Unit { User, Mm, Cm, In, Pt, Pc, Percent, Em, Ex };
    double value = 0;
    Unit unit = Unit::User;
};
std::optional<Length> ParseLength(std::string_view text);
// In user units, with unitsPerInch user units to the inch and percentages of percentBase.
double ToUserUnits(Length length, double unitsPerInch, double percentBase);
// In millimetres, unitless numbers (and px) at unitsPerInch to the inch; nullopt for percentages.
std::optional<double> ToMillimetres(Length length, double unitsPerInch);

std::string_view Trim(std::string_view text);

}  // namespace corvanta::svg

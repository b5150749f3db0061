#include "hpgl/scanner.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace corvanta::hpgl {

namespace {

constexpr unsigned char kEsc = 0x1B;

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
unsigned char Upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

// Offset of the last `ESC % [sign] digits B` (enter HP-GL/2), or npos.
std::size_t LastHpglEntry(std::string_view in) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i + 2 < in.size(); ++i) {
        if (static_cast<unsigned char>(in[i]) != kEsc || in[i + 1] != '%') continue;
        std::size_t j = i + 2;
        if (j < in.size() && (in[j] == '-' || in[j] == '+')) ++j;
        while (j < in.size() && IsDigit(static_cast<unsigned char>(in[j]))) ++j;
        if (j < in.size() && (in[j] == 'B' || in[j] == 'b')) last = i;
    }
    return last;
}

}  // namespace

Scanner::Scanner(std::string_view input, NoteBook& notes)
    : in_(input), notes_(notes), lastHpglEntry_(LastHpglEntry(input)) {}

bool Scanner::Next(Mnemonic& m) {
    while (!AtEnd()) {
        const unsigned char c = Peek();
        if (c == kEsc) {
            Escape();
            continue;
        }
        if (pcl_) {
            ++pclBytes_, ++pos_;
            continue;
        }
        if (IsLetter(c)) {
            if (pos_ + 1 < in_.size() && IsLetter(Peek(1))) {
                m.code = static_cast<uint16_t>((Upper(c) << 8) | Upper(Peek(1)));
                pos_ += 2;
                return true;
            }
            if (pos_ + 1 >= in_.size()) {
                notes_.Add("truncated mnemonic", "the input ends in the middle of a mnemonic (one letter)");
            } else {
                ++strayBytes_;
            }
            ++pos_;
            continue;
        }
        if (c == '@' && in_.substr(pos_, 4) == "@PJL") {
            const std::size_t eol = in_.find('\n', pos_);
            pos_ = eol == std::string_view::npos ? in_.size() : eol + 1;
            ++pjlLines_;
            continue;
        }
        if (!IsBlank(c) && c != ';' && c != ',') ++strayBytes_;
        ++pos_;
    }
    return false;
}

void Scanner::Escape() {
    if (pos_ + 1 >= in_.size()) {
        notes_.Add("truncated escape", "the input ends with an escape character");
        pos_ = in_.size();
        return;
    }
    const unsigned char c1 = Peek(1);
    if (c1 == '.') {
        DeviceControl();
    } else if (c1 >= 33 && c1 <= 47) {
        PclEscape();
    } else if (c1 >= 48 && c1 <= 126) {
        // Two-character escape.  ESC E (printer reset) starts a PCL section when the plot returns to HP-GL/2
        // later; in a plain HP-GL file it is only skipped.
        pos_ += 2, ++escapes_;
        if (c1 == 'E' && lastHpglEntry_ != std::string_view::npos && lastHpglEntry_ > pos_) pcl_ = true;
    } else {
        ++strayBytes_, ++pos_;
    }
}

void Scanner::PclEscape() {
    // ESC, parameterised character (33..47), optional group character (96..126), then value fields, each
    // ended by a parameter character: lower case continues the sequence, upper case ends it.
    const unsigned char family = Peek(1);
    pos_ += 2, ++escapes_;
    unsigned char group = 0;
    if (!AtEnd() && Peek() >= 96 && Peek() <= 126) group = Peek(), ++pos_;
    if (AtEnd()) notes_.Add("truncated escape", "the input ends inside an escape sequence");
    while (!AtEnd()) {
        bool negative = false;
        if (Peek() == '+' || Peek() == '-') negative = Peek() == '-', ++pos_;
        double value = 0.0;
        while (!AtEnd() && IsDigit(Peek())) value = std::min(value * 10.0 + (Peek() - '0'), 1e18), ++pos_;
        if (!AtEnd() && Peek() == '.') {
            ++pos_;
            while (!AtEnd() && IsDigit(Peek())) ++pos_;
        }
        if (AtEnd()) {
            notes_.Add("truncated escape", "the input ends inside an escape sequence");
            return;
        }
        const unsigned char p = Peek();
        if (p < 64 || p > 126) return;  // not a parameter character: the sequence is malformed, stop here
        ++pos_;
        const unsigned char key = Upper(p);
        const bool binaryData = key == 'W' || (family == '*' && group == 'b' && key == 'V') ||
                                (family == '&' && group == 'p' && key == 'X');
        if (binaryData && !negative && value > 0.0) {
            const double rest = static_cast<double>(in_.size() - pos_);
            pos_ += static_cast<std::size_t>(std::min(value, rest));
        }
        if (family == '%' && group == 0 && key == 'A') pcl_ = true;
        if (family == '%' && group == 0 && key == 'B') pcl_ = false;
        if (p <= 94) return;  // upper case ends the sequence
    }
}

void Scanner::DeviceControl() {
    // ESC . c: the ones with parameters end them with ':'.
    pos_ += 2, ++deviceControls_;
    if (AtEnd()) return;
    const unsigned char c = Peek();
    ++pos_;
    if (std::string_view("@HIMNPST").find(static_cast<char>(c)) == std::string_view::npos) return;
    while (!AtEnd()) {
        const unsigned char ch = Peek();
        if (ch == ':') {
            ++pos_;
            return;
        }
        if (!IsDigit(ch) && ch != ';' && ch != '.' && ch != '-' && ch != '+' && ch != ' ') return;
        ++pos_;
    }
}

bool Scanner::ParseNumber(double& value) {
    std::size_t p = pos_;
    bool negative = false;
    if (in_[p] == '+' || in_[p] == '-') negative = in_[p] == '-', ++p;
    const std::size_t intStart = p;
    while (p < in_.size() && IsDigit(static_cast<unsigned char>(in_[p]))) ++p;
    const std::size_t intEnd = p;
    std::size_t fracStart = p, fracEnd = p;
    if (p < in_.size() && in_[p] == '.') {
        fracStart = ++p;
        while (p < in_.size() && IsDigit(static_cast<unsigned char>(in_[p]))) ++p;
        fracEnd = p;
    }
    if (intStart == intEnd && fracStart == fracEnd) return false;
    // An exponent (1e30) is not HP-GL, but some generators write one; mnemonics have two letters, so an 'e'
    // followed by digits cannot start an instruction.
    int32_t exponent = 0;
    if (p < in_.size() && (in_[p] == 'e' || in_[p] == 'E')) {
        std::size_t q = p + 1;
        const bool negativeExponent = q < in_.size() && in_[q] == '-';
        if (q < in_.size() && (in_[q] == '-' || in_[q] == '+')) ++q;
        if (q < in_.size() && IsDigit(static_cast<unsigned char>(in_[q]))) {
            for (; q < in_.size() && IsDigit(static_cast<unsigned char>(in_[q])); ++q) {
                exponent = std::min(exponent * 10 + (in_[q] - '0'), 9999);
            }
            if (negativeExponent) exponent = -exponent;
            p = q;
        }
    }
    pos_ = p;
    std::size_t lead = intStart;
    while (lead < intEnd && in_[lead] == '0') ++lead;
    // At most 15 integer digits and 30 decimals: from_chars reads them exactly rounded.
    std::string digits(in_.substr(lead, std::min<std::size_t>(intEnd - lead, 16)));
    if (digits.empty()) digits.assign(1, '0');
    digits += '.';
    digits.append(in_.substr(fracStart, std::min<std::size_t>(fracEnd - fracStart, 30)));
    digits += '0';
    double v = 0.0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (exponent != 0) v = exponent > 400 ? (v == 0.0 ? 0.0 : HUGE_VAL) : v * std::pow(10.0, exponent);
    if (intEnd - lead > 15 || !(v <= kParameterLimit)) {
        notes_.Add("huge number", "numbers beyond +-1e15 were clamped to +-1e15");
        v = kParameterLimit;
    }
    value = negative ? -v : v;
    return true;
}

std::vector<double> Scanner::Numbers() {
    std::vector<double> out;
    while (!AtEnd()) {
        const unsigned char c = Peek();
        if (IsBlank(c) || c == ',') {
            ++pos_;
            continue;
        }
        if (c == ';') {
            ++pos_;
            break;
        }
        if (!IsDigit(c) && c != '.' && c != '+' && c != '-') break;
        double v = 0.0;
        if (ParseNumber(v))
            out.push_back(v);
        else
            ++strayBytes_, ++pos_;
    }
    return out;
}

std::optional<unsigned char> Scanner::Char() {
    if (AtEnd() || Peek() == kEsc) return std::nullopt;
    const unsigned char c = Peek();
    ++pos_;
    if (c == ';') return std::nullopt;
    return c;
}

std::string_view Scanner::Text(unsigned char terminator, bool& found) {
    const std::size_t start = pos_;
    std::size_t end = start;
    while (end < in_.size() && static_cast<unsigned char>(in_[end]) != terminator &&
           static_cast<unsigned char>(in_[end]) != kEsc) {
        ++end;
    }
    found = end < in_.size() && static_cast<unsigned char>(in_[end]) == terminator;
    pos_ = found ? end + 1 : end;
    return in_.substr(start, end - start);
}

std::string_view Scanner::Encoded(bool& found) {
    const std::size_t start = pos_;
    std::size_t end = start;
    while (end < in_.size() && in_[end] != ';' && static_cast<unsigned char>(in_[end]) != kEsc) ++end;
    found = end < in_.size() && in_[end] == ';';
    pos_ = found ? end + 1 : end;
    return in_.substr(start, end - start);
}

void Scanner::SkipQuoted() {
    while (!AtEnd() && IsBlank(Peek())) ++pos_;
    if (AtEnd() || Peek() != '"') return;
    const std::size_t close = in_.find('"', pos_ + 1);
    if (close == std::string_view::npos) {
        notes_.Add("unterminated string", "a quoted string (CO, MG) has no closing quote: the rest was skipped");
        pos_ = in_.size();
        return;
    }
    pos_ = close + 1;
}

void Scanner::SkipComment() {
    SkipQuoted();
    const std::size_t end = in_.find(';', pos_);
    pos_ = end == std::string_view::npos ? in_.size() : end + 1;
}

void Scanner::Summarise() {
    if (strayBytes_ > 0) {
        notes_.Add("stray bytes", "bytes outside any instruction were skipped (stray characters or binary data)",
                   strayBytes_);
    }
    if (escapes_ > 0) notes_.Add("escapes", "PCL escape sequences were skipped", escapes_);
    if (deviceControls_ > 0) {
        notes_.Add("device control", "device-control escape sequences (ESC .) were skipped", deviceControls_);
    }
    if (pclBytes_ > 0) notes_.Add("pcl bytes", "bytes of PCL sections (outside HP-GL/2) were skipped", pclBytes_);
    if (pjlLines_ > 0) notes_.Add("pjl", "PJL lines were skipped", pjlLines_);
}

}  // namespace corvanta::hpgl

#include "explain/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace corvanta::explain::detail {

std::string Dec(uint64_t v) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string Dec(int64_t v) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void AppendHundredths(std::string& out, int64_t hundredths) {
    // Magnitude as unsigned so that INT64_MIN has one too.
    uint64_t mag = hundredths < 0 ? 0 - static_cast<uint64_t>(hundredths) : static_cast<uint64_t>(hundredths);
    if (hundredths < 0) out += '-';
    out += Dec(mag / 100);
    const uint32_t frac = static_cast<uint32_t>(mag % 100);
    if (frac != 0) {
        out += '.';
        out += static_cast<char>('0' + frac / 10);
        if (frac % 10 != 0) out += static_cast<char>('0' + frac % 10);
    }
}

std::string Fixed(double v, int decimals) {
    if (!std::isfinite(v)) return "-";
    char buf[400];  // fixed notation of the largest double needs 309 digits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return "-";
    return std::string(buf, r.ptr);
}

std::vector<uint32_t> ShareTenths(const std::vector<uint64_t>& parts, uint64_t total) {
    std::vector<uint32_t> out(parts.size(), 0);
    if (total == 0) return out;
    std::vector<double> rest(parts.size());
    uint32_t given = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const double exact = static_cast<double>(parts[i]) * 1000.0 / static_cast<double>(total);
        out[i] = static_cast<uint32_t>(std::min(1000.0, std::floor(exact)));
        rest[i] = exact - out[i];
        given += out[i];
    }
    std::vector<size_t> order(parts.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rest[a] > rest[b]; });
    for (size_t k = 0; given < 1000 && k < order.size(); ++k)
        if (parts[order[k]] > 0) ++out[order[k]], ++given;
    return out;
}

std::string Percent(uint32_t tenths) { return Dec(uint64_t{tenths / 10}) + "." + Dec(uint64_t{tenths % 10}) + " %"; }

namespace {
std::string TwoDigits(uint64_t v) {
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}
}  // namespace

std::string Hms(uint64_t ms) {
    const uint64_t s = ms / 1000;
    return Dec(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
}

std::string ClockLabel(uint64_t ms) {
    const uint64_t s = ms / 1000;
    if (s < 3600) return Dec(s / 60) + ":" + TwoDigits(s % 60);
    return Hms(ms);
}

namespace {
// Length of the valid UTF-8 sequence at s[i], 0 when invalid.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t c = b(i);
    if (c < 0x80) return 1;
    size_t n;
    uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else
        return 0;
    if (i + n > s.size()) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
    // U+FFFE and U+FFFF are not XML characters.
    if (n == 3 && c == 0xEF && b(i + 1) == 0xBF && b(i + 2) >= 0xBE) return 0;
    return n;
}
}  // namespace

std::string XmlText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        static constexpr std::string_view kEntity[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
        if (const size_t k = std::string_view("&<>\"'").find(c); k != std::string_view::npos) {
            out += kEntity[k];
            ++i;
            continue;
        }
        const size_t n = Utf8Length(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no valid character
            ++i;
        } else {
            if (n > 1 || static_cast<uint8_t>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string CsvField(std::string_view s) {
    const bool quote =
        s.find_first_of(",\"\r\n") != std::string_view::npos || (!s.empty() && (s.front() == ' ' || s.back() == ' '));
    if (!quote) return std::string(s);
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace corvanta::explain::detail

// Text helpers shared by the explain formatters (internal to the library).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::explain::detail {

// Appends every piece to out (text pieces: std::string, string_view, literals).
template <class... Pieces>
void Append(std::string& out, const Pieces&... pieces) {
    (out.append(std::string_view(pieces)), ...);
}
template <class... Pieces>
std::string Cat(const Pieces&... pieces) {
    std::string out;
    Append(out, pieces...);
    return out;
}

// Decimal text of an integer.
std::string Dec(uint64_t v);
std::string Dec(int64_t v);

// A value given in hundredths as the shortest decimal: 1234 -> "12.34",
// 1250 -> "12.5", 1200 -> "12", -5 -> "-0.05".
void AppendHundredths(std::string& out, int64_t hundredths);

// A finite double with a fixed number of decimals ("%.*f" in the C locale);
// "-" for NaN or infinity.
std::string Fixed(double v, int decimals);

// Shares of `total` in tenths of a percent.  They sum to exactly 1000 when
// the parts sum to the total (the leftover tenths go to the largest
// remainders, so each share is within 0.1 % of its exact value); all 0 when
// the total is 0.
std::vector<uint32_t> ShareTenths(const std::vector<uint64_t>& parts, uint64_t total);

// Tenths of a percent as "41.4 %".
std::string Percent(uint32_t tenths);

// Milliseconds as h:mm:ss (whole seconds, truncated); hours are not bounded.
std::string Hms(uint64_t ms);

// Milliseconds as a short clock label for a time axis: "0:05", "12:30", "1:02:00".
std::string ClockLabel(uint64_t ms);

// Text for XML character data and attribute values: & < > " ' escaped,
// control characters that XML forbids dropped, and bytes that are not valid
// UTF-8 replaced by U+FFFD.
std::string XmlText(std::string_view s);

// One CSV field: quoted (with doubled quotes) when it holds a comma, a quote,
// a line break or leading/trailing blanks.
std::string CsvField(std::string_view s);

}  // namespace corvanta::explain::detail

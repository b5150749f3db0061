// Splits a plot into instructions: two-letter mnemonics and their parameters.
//
// Between instructions the scanner skips separators, escape sequences (device control `ESC.`, PCL escapes
// with their binary payloads), whole PCL sections (from `ESC%#A`, or from `ESC E` when an `ESC%#B` follows
// later, up to the next `ESC%#B`), PJL lines and stray bytes, and counts what it skipped.  Every call moves
// forward through the input, so reading a plot takes time in proportion to its size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hpgl/notes.h"

namespace corvanta::hpgl {

// A mnemonic as a 16-bit code: first letter in the high byte, both upper case.
constexpr uint16_t Op(const char (&name)[3]) {
    return static_cast<uint16_t>((static_cast<unsigned char>(name[0]) << 8) | static_cast<unsigned char>(name[1]));
}

struct Mnemonic {
    uint16_t code = 0;
    std::string Name() const { return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}; }
};

// Parameters are clamped to this magnitude (with a note): far beyond any plot, small enough that products
// of two of them stay finite.
inline constexpr double kParameterLimit = 1e15;

class Scanner {
public:
    Scanner(std::string_view input, NoteBook& notes);

    // The next instruction's mnemonic; false at the end of the input.
    bool Next(Mnemonic& m);

    // Numeric parameters up to the instruction's end (`;`, the next mnemonic, an escape or the end of the
    // input); separators are commas and white space, a sign also starts a new number.  A `;` is consumed.
    // A number may carry an exponent (1e30); magnitudes beyond kParameterLimit are clamped with a note.
    std::vector<double> Numbers();
    // DT and SM: the one character right after the mnemonic (consumed); nullopt when it is `;` (consumed)
    // or the input has ended.
    std::optional<unsigned char> Char();
    // LB, BL, WD: the text up to `terminator`, which is consumed; `found` is false when the input ends first.
    std::string_view Text(unsigned char terminator, bool& found);
    // PE: the encoded bytes up to `;` (consumed); `found` is false when the input or an escape comes first.
    std::string_view Encoded(bool& found);
    // CO, MG: a quoted string, if one follows.
    void SkipQuoted();
    // CO: the comment up to and with its `;`, a quoted string in it skipped whole (it may hold a `;`).
    void SkipComment();

    // Adds the notes about what was skipped between instructions.
    void Summarise();

private:
    void Escape();
    void PclEscape();
    void DeviceControl();
    bool ParseNumber(double& value);
    bool AtEnd() const { return pos_ >= in_.size(); }
    unsigned char Peek(std::size_t ahead = 0) const {
        return pos_ + ahead < in_.size() ? static_cast<unsigned char>(in_[pos_ + ahead]) : 0;
    }

    std::string_view in_;
    NoteBook& notes_;
    std::size_t pos_ = 0;
    bool pcl_ = false;           // inside a PCL section
    std::size_t lastHpglEntry_;  // offset of the last ESC%#B, or npos
    uint64_t strayBytes_ = 0, pclBytes_ = 0, escapes_ = 0, deviceControls_ = 0, pjlLines_ = 0;
};

}  // namespace corvanta::hpgl

// The stroke font of labels: Hershey Simplex Roman (futural.jhf), embedded in the program at build time.
//
// Glyph coordinates are font units as the file gives them: x to the right of the glyph's centre line, y
// downward; the baseline is at y = 9 and the capital height 21 units (top of capitals at y = -12), so a
// capital spans 21 units; the capital H is 14 units wide.
#pragma once
#include <cstdint>
#include <vector>

namespace corvanta::hpgl {

struct FontVertex {
    int8_t x;  // font units right of the glyph centre
    int8_t y;  // font units below the font's zero line (the baseline is at +9)
};

struct Glyph {
    int8_t left = 0, right = 0;                    // advance bounds of the proportional font, font units
    std::vector<std::vector<FontVertex>> strokes;  // pen-down polylines, each at least 2 vertices
};

inline constexpr int32_t kFontBaseline = 9;     // font y of the baseline
inline constexpr double kFontCapHeight = 21.0;  // font units from the baseline to the top of a capital
inline constexpr double kFontCapWidth = 14.0;   // font units across the capital H

class StrokeFont {
public:
    // Parses a font file in Hershey .jhf format; records that are malformed are skipped.
    explicit StrokeFont(const unsigned char* jhf, std::size_t size);
    // The glyph of a printable ASCII character (32..126), or nullptr.
    const Glyph* Find(unsigned char c) const;
    std::size_t GlyphCount() const { return glyphs_.size(); }

private:
    std::vector<Glyph> glyphs_;  // index = character code - 32
};

// The embedded font, parsed on first use and never changed afterwards.
const StrokeFont& EmbeddedFont();

}  // namespace corvanta::hpgl

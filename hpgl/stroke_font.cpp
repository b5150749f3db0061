#include "hpgl/stroke_font.h"

#include <cstddef>

namespace corvanta::hpgl {

extern const unsigned char kStrokeFontJhf[];
extern const std::size_t kStrokeFontJhfSize;

namespace {

// A .jhf record: 5 columns glyph number, 3 columns vertex count (the bounds pair included), then the vertex
// pairs, each coordinate a character whose code minus 'R' is the value; " R" lifts the pen.  Long records may
// continue on further lines, so line breaks inside the pairs are skipped.
class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return pos_ >= size_; }
    void SkipLineBreaks() {
        while (pos_ < size_ && (data_[pos_] == '\n' || data_[pos_] == '\r')) ++pos_;
    }
    // The next character of a record's vertex data, line breaks skipped; -1 at the end.
    int32_t NextDataChar() {
        SkipLineBreaks();
        return pos_ < size_ ? data_[pos_++] : -1;
    }
    // The 8-column header; false when it is not one.
    bool Header(int32_t& vertices) {
        if (size_ - pos_ < 8) return false;
        vertices = 0;
        for (std::size_t i = 5; i < 8; ++i) {
            const unsigned char c = data_[pos_ + i];
            if (c == ' ') continue;
            if (c < '0' || c > '9') return false;
            vertices = vertices * 10 + (c - '0');
        }
        pos_ += 8;
        return true;
    }
    void SkipToLineEnd() {
        while (pos_ < size_ && data_[pos_] != '\n') ++pos_;
    }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

StrokeFont::StrokeFont(const unsigned char* jhf, std::size_t size) {
    Reader in(jhf, size);
    constexpr int32_t kValueBias = 'R';
    while (!in.AtEnd() && glyphs_.size() < 95) {
        in.SkipLineBreaks();
        int32_t vertices = 0;
        if (!in.Header(vertices) || vertices < 1) {
            in.SkipToLineEnd();
            continue;
        }
        Glyph g;
        std::vector<FontVertex> stroke;
        bool complete = true;
        for (int32_t v = 0; v < vertices; ++v) {
            const int32_t a = in.NextDataChar(), b = in.NextDataChar();
            if (a < 0 || b < 0) {
                complete = false;
                break;
            }
            if (v == 0) {
                g.left = static_cast<int8_t>(a - kValueBias);
                g.right = static_cast<int8_t>(b - kValueBias);
            } else if (a == ' ' && b == 'R') {
                if (stroke.size() >= 2) g.strokes.push_back(stroke);
                stroke.clear();
            } else {
                stroke.push_back({static_cast<int8_t>(a - kValueBias), static_cast<int8_t>(b - kValueBias)});
            }
        }
        if (stroke.size() >= 2) g.strokes.push_back(stroke);
        if (complete) glyphs_.push_back(std::move(g));
    }
}

const Glyph* StrokeFont::Find(unsigned char c) const {
    if (c < 32 || c > 126) return nullptr;
    const std::size_t i = static_cast<std::size_t>(c - 32);
    return i < glyphs_.size() ? &glyphs_[i] : nullptr;
}

const StrokeFont& EmbeddedFont() {
    static const StrokeFont font(kStrokeFontJhf, kStrokeFontJhfSize);
    return font;
}

}  // namespace corvanta::hpgl

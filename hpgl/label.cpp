#include "hpgl/label.h"

namespace corvanta::hpgl {

namespace {

double Dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

// Appends the glyph's strokes with its cell's lower left corner at (u, v) in text coordinates around
// `base`; `centred` puts the glyph's centre there instead.
void AddGlyph(const Glyph& g, const LabelStyle& s, Point base, double u, double v, bool centred,
              std::vector<std::vector<Point>>& out) {
    const double kx = s.width / kFontCapWidth, ky = s.height / kFontCapHeight;
    const Point across = s.Across();
    for (const auto& stroke : g.strokes) {
        std::vector<Point> line;
        line.reserve(stroke.size());
        for (const FontVertex fv : stroke) {
            double gu = fv.x * kx + (centred ? 0.0 : s.width / 2.0);
            // A centred glyph is centred on the font's zero line, the middle of its symbols.
            double gv = (centred ? -fv.y : kFontBaseline - fv.y) * ky;
            gu += gv * s.slant;
            line.push_back(base + s.direction * (u + gu) + across * (v + gv));
        }
        out.push_back(std::move(line));
    }
}

bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n'; }

// Width in u of the run of text from `i` to the next line break: cells advanced, BS going back one.
double RunWidth(std::string_view text, std::size_t i, const LabelStyle& s) {
    double cells = 0.0;
    bool any = false;
    for (; i < text.size() && !IsLineBreak(static_cast<unsigned char>(text[i])); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 8)
            cells -= 1.0;
        else if (c >= 32 && c != 127)
            cells += 1.0, any = true;
    }
    if (!any || cells <= 0.0) return 0.0;
    return (cells - 1.0) * s.Advance() + s.width;
}

}  // namespace

LaidOutLabel LayOutLabel(std::string_view text, const LabelStyle& s, Point start, Point carriageReturn,
                         const StrokeFont& font, const StrokeSink& sink) {
    LaidOutLabel out;
    const Point across = s.Across();
    double u = Dot(start - carriageReturn, s.direction), v = Dot(start - carriageReturn, across);

    // Justification: horizontal by the run's width, vertical by the capital height; origins 11..19 keep a
    // further half character width / height away from the origin point.
    const int32_t lo =
        (s.origin >= 11 && s.origin <= 19) ? s.origin - 10 : (s.origin >= 1 && s.origin <= 9 ? s.origin : 1);
    const bool offset = s.origin >= 11;
    const int32_t column = (lo - 1) / 3, row = (lo - 1) % 3;  // column 0 left, 1 centre, 2 right; row 0 bottom
    const double rowShift[3] = {offset ? s.height / 2.0 : 0.0, -s.height / 2.0,
                                -s.height - (offset ? s.height / 2.0 : 0.0)};
    const double dv = rowShift[row];
    auto runShift = [&](std::size_t i) {
        if (column == 0) return offset ? s.width / 2.0 : 0.0;
        const double w = RunWidth(text, i, s);
        return column == 1 ? -w / 2.0 : -w - (offset ? s.width / 2.0 : 0.0);
    };

    out.end = start;
    std::vector<std::vector<Point>> glyph;
    double du = runShift(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            u = 0.0, du = runShift(i + 1);
        } else if (c == '\n') {
            v -= s.LineStep(), du = runShift(i + 1);
        } else if (c == 8) {
            u -= s.Advance();
        } else if (c >= 32 && c != 127) {
            const Glyph* g = font.Find(c);
            if (g) {
                glyph.clear();
                AddGlyph(*g, s, carriageReturn, u + du, v + dv, false, glyph);
                for (const std::vector<Point>& stroke : glyph) {
                    if (!sink(stroke)) return out;
                }
            } else {
                ++out.blanks;
            }
            u += s.Advance();
        }
    }
    // The pen stays where the text ends, whatever the origin: after the last character as it was placed.
    out.end = carriageReturn + s.direction * (u + du) + across * (v + dv);
    return out;
}

std::vector<std::vector<Point>> SymbolStrokes(unsigned char c, const LabelStyle& style, Point at,
                                              const StrokeFont& font) {
    std::vector<std::vector<Point>> out;
    if (const Glyph* g = font.Find(c)) AddGlyph(*g, style, at, 0.0, 0.0, true, out);
    return out;
}

}  // namespace corvanta::hpgl

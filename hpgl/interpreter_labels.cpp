// The interpreter's labels: LB and PB text, CP, DT and the current label style.
#include <cmath>

#include "hpgl/interpreter.h"
#include "hpgl/stroke_font.h"

namespace corvanta::hpgl {

namespace {

constexpr double kPuPerCm = 400.0;  // plotter units per centimetre (SI sizes are centimetres)

double Dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

}  // namespace

// --- labels ----------------------------------------------------------------------------------------------

LabelStyle Interpreter::CurrentLabelStyle() const {
    LabelStyle s;
    const Point span = frame_.P2() - frame_.P1();
    if (relativeSize_) {
        s.width = sizeW_ / 100.0 * span.x, s.height = sizeH_ / 100.0 * span.y;
    } else {
        s.width = sizeW_ * kPuPerCm, s.height = sizeH_ * kPuPerCm;
    }
    const Point dir = relativeDirection_ ? Point{run_ / 100.0 * span.x, rise_ / 100.0 * span.y} : Point{run_, rise_};
    const double len = Length(dir);
    s.direction = (std::isfinite(len) && len > 0.0) ? dir * (1.0 / len) : Point{1.0, 0.0};
    s.slant = slant_, s.extraSpace = extraSpace_, s.extraLine = extraLine_, s.origin = labelOrigin_;
    return s;
}

void Interpreter::DrawStroke(const std::vector<Point>& stroke) {
    if (stroke.empty()) return;
    out_.PenUp();
    out_.Travel(Phys(stroke.front()));
    for (std::size_t i = 1; i < stroke.size(); ++i) out_.Draw(Phys(stroke[i - 1]), Phys(stroke[i]));
}

void Interpreter::Label(std::string_view text) {
    if (polygonMode_) return notes_.Add("label in polygon", "labels inside polygon mode were skipped");
    bool drew = false;
    const LaidOutLabel laid =
        LayOutLabel(text, CurrentLabelStyle(), pos_, carriageReturn_, EmbeddedFont(), [&](const std::vector<Point>& s) {
            DrawStroke(s);
            drew = true;
            return !out_.Full();
        });
    if (drew) out_.PenUp();
    if (IsFinite(laid.end)) pos_ = laid.end;
    if (laid.blanks > 0) {
        notes_.Add("blank characters", "label characters outside printable ASCII were left blank", laid.blanks);
    }
}

void Interpreter::CharacterPlot(const std::vector<double>& p) {
    const LabelStyle s = CurrentLabelStyle();
    Point to;
    if (p.empty()) {  // carriage return and line feed
        to = carriageReturn_ + s.Across() * (Dot(pos_ - carriageReturn_, s.Across()) - s.LineStep());
    } else if (p.size() >= 2) {
        to = pos_ + s.direction * (p[0] * s.Advance()) + s.Across() * (p[1] * s.LineStep());
    } else {
        return notes_.Add("malformed CP", "CP needs spaces and lines: skipped");
    }
    if (IsFinite(to)) pos_ = to;
}

void Interpreter::DefineTerminator() {
    const std::optional<unsigned char> c = scanner_.Char();
    terminator_ = c.value_or(3);
    printTerminator_ = false;
    if (!c) return;
    const std::vector<double> mode = scanner_.Numbers();
    printTerminator_ = !mode.empty() && Integer(mode[0]) == 0;
}

}  // namespace corvanta::hpgl

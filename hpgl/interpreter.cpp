#include "hpgl/interpreter.h"

#include <algorithm>
#include <cmath>

#include "design/writer.h"
#include "hpgl/stroke_font.h"

namespace corvanta::hpgl {

namespace {

constexpr double kYMaxMmPerS = design::kYMaxMmPerS;  // Y axis maximum speed, 1041.4 mm/s

// Instructions that are read and skipped, with why.
struct IgnoredGroup {
    const char* names;  // mnemonics separated by blanks
    const char* reason;
};
constexpr IgnoredGroup kIgnored[] = {
    {"AC BP CF CM CO CR DC DP DS EC FT GC GM IM IV KY LA LM MC MG MT NP OA OC OD OE OF OG OH OI OK OL OO OP OS OT "
     "OW PC PP PT PW QL RF SG ST SV TR UL WU",
     "no effect on the path (pen, colour, width, fill pattern, output or device settings)"},
    {"AP AS FS VA VN", "the machine's own acceleration and pen handling apply"},
    {"AF AH FR NR PG", "page advance: later pages are drawn over the earlier ones"},
    {"AD CA CS DL FI FN SA SB SD SS", "labels use the one embedded stroke font"},
    {"DV", "labels run along the label direction, never stacked"},
    {"TD", "control characters in labels are not printed"},
    {"UC", "user-defined characters are not drawn"},
    {"RP", "the plot is converted once"},
    {"WD", "display text is not plotted"},
    {"CV", "the curved-line generator only affects a pen plotter's buffering"},
};

const char* IgnoredReason(uint16_t code) {
    const char name[3] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF), 0};
    for (const IgnoredGroup& g : kIgnored) {
        for (std::string_view list(g.names); !list.empty();) {
            if (list.substr(0, 2) == std::string_view(name, 2)) return g.reason;
            list.remove_prefix(std::min<std::size_t>(3, list.size()));
        }
    }
    return nullptr;
}

}  // namespace

std::optional<int32_t> Integer(double v) {
    if (!std::isfinite(v) || v > 1e9 || v < -1e9) return std::nullopt;
    return static_cast<int32_t>(std::llround(v));
}

Interpreter::Interpreter(std::string_view plot, const Options& options, NoteBook& notes)
    : options_(options), scanner_(plot, notes), notes_(notes), out_(options.maxRecords, options.maxMoves, notes) {}

void Interpreter::Run() {
    Mnemonic m;
    while (!out_.Full() && scanner_.Next(m)) {
        ++instructions_;
        Execute(m);
    }
    if (out_.WorkLimitReached()) {
        notes_.Add("work limit", "the plot needed more than the move limit (" + std::to_string(options_.maxMoves) +
                                     " moves): the rest of the plot was not converted");
    } else if (out_.Full()) {
        notes_.Add("record limit", "the plot reached the limit of " + std::to_string(options_.maxRecords) +
                                       " points: the rest of the plot was not converted");
    }
    scanner_.Summarise();
    if (polygonMode_) {
        notes_.Add("open polygon", "the plot ends in polygon mode (PM 0 without PM 2): that polygon was not drawn");
    }
    out_.Finish();
}

void Interpreter::Malformed(const Mnemonic& m, const char* what) {
    notes_.Add("malformed " + m.Name(), m.Name() + " " + what);
}

void Interpreter::Ignored(const Mnemonic& m) {
    if (const char* reason = IgnoredReason(m.code)) {
        notes_.Add("ignored " + m.Name(), m.Name() + " ignored: " + reason);
    } else {
        notes_.Add("unknown " + m.Name(), "unknown instruction " + m.Name() + " skipped with its parameters");
    }
}

void Interpreter::Execute(const Mnemonic& m) {
    switch (m.code) {
        // Moves.
        case Op("PA"): relative_ = false, Plot(scanner_.Numbers(), false); return;
        case Op("PR"): relative_ = true, Plot(scanner_.Numbers(), true); return;
        case Op("PU"): SetPen(false), Plot(scanner_.Numbers(), relative_); return;
        case Op("PD"): SetPen(true), Plot(scanner_.Numbers(), relative_); return;
        case Op("PE"): PolylineEncoded(); return;
        // Arcs, circles, curves.
        case Op("AA"):
        case Op("AR"): {
            const std::vector<double> p = scanner_.Numbers();
            if (p.size() < 3) return Malformed(m, "needs a centre and a sweep angle: skipped");
            const Point c = m.code == Op("AA") ? Point{p[0], p[1]} : User(pos_) + Point{p[0], p[1]};
            Arc(c, p[2], p.size() > 3 ? std::optional<double>(p[3]) : std::nullopt);
            return;
        }
        case Op("AT"):
        case Op("RT"): {
            const std::vector<double> p = scanner_.Numbers();
            if (p.size() < 4) return Malformed(m, "needs an intermediate point and an end point: skipped");
            const Point base = m.code == Op("RT") ? User(pos_) : Point{};
            ThreePointArc(base + Point{p[0], p[1]}, base + Point{p[2], p[3]},
                          p.size() > 4 ? std::optional<double>(p[4]) : std::nullopt);
            return;
        }
        case Op("CI"): Circle(scanner_.Numbers()); return;
        case Op("CT"): {
            const std::vector<double> p = scanner_.Numbers();
            chordTolerance_ = !p.empty() && Integer(p[0]) == 1;
            return;
        }
        case Op("BZ"): Bezier(scanner_.Numbers(), false); return;
        case Op("BR"): Bezier(scanner_.Numbers(), true); return;
        // Outlines and fills.
        case Op("EA"): Rectangle(scanner_.Numbers(), false, false); return;
        case Op("ER"): Rectangle(scanner_.Numbers(), true, false); return;
        case Op("RA"): Rectangle(scanner_.Numbers(), false, true); return;
        case Op("RR"): Rectangle(scanner_.Numbers(), true, true); return;
        case Op("EW"): Wedge(scanner_.Numbers(), false); return;
        case Op("WG"): Wedge(scanner_.Numbers(), true); return;
        case Op("PM"): PolygonMode(scanner_.Numbers()); return;
        case Op("EP"): scanner_.Numbers(), EdgePolygon(); return;
        case Op("FP"): FillPolygon(scanner_.Numbers()); return;
        case Op("XT"): scanner_.Numbers(), Tick(true); return;
        case Op("YT"): scanner_.Numbers(), Tick(false); return;
        case Op("TL"): {
            const std::vector<double> p = scanner_.Numbers();
            tickPlus_ = p.empty() ? 0.5 : p[0];
            tickMinus_ = p.empty() ? 0.5 : (p.size() > 1 ? p[1] : 0.0);
            return;
        }
        // Set-up and scaling.
        case Op("IN"): scanner_.Numbers(), Defaults(true); return;
        case Op("DF"): scanner_.Numbers(), Defaults(false); return;
        case Op("IP"): InputP1P2(scanner_.Numbers(), false); return;
        case Op("IR"): InputP1P2(scanner_.Numbers(), true); return;
        case Op("SC"): Scale(scanner_.Numbers()); return;
        case Op("RO"): Rotate(scanner_.Numbers()); return;
        case Op("IW"): InputWindow(scanner_.Numbers()); return;
        case Op("PS"): {
            const std::vector<double> p = scanner_.Numbers();
            if (p.empty())
                frame_.DefaultPage();
            else if (p[0] > 0.0 && (p.size() < 2 || p[1] > 0.0))
                frame_.SetPage(p[0], p.size() > 1 ? p[1] : double{kBedHeightPu});
            else
                Malformed(m, "with a size that is not positive: skipped");
            return;
        }
        // Pens and speeds.
        case Op("SP"): SelectPen(scanner_.Numbers()); return;
        case Op("VS"): VelocitySelect(scanner_.Numbers()); return;
        case Op("LT"):
            if (!scanner_.Numbers().empty()) {
                notes_.Add("line type", "line types (LT) were drawn as solid lines");
            }
            return;
        // Skipped, with their parameters.
        // A comment runs to its ';', quoted or not.
        case Op("CO"): scanner_.SkipComment(), Ignored(m); return;
        case Op("MG"): scanner_.SkipQuoted(), scanner_.Numbers(), Ignored(m); return;
        case Op("WD"): {
            bool found = false;
            scanner_.Text(terminator_, found);
            Ignored(m);
            return;
        }
        default:
            if (!ExecuteLabelInstruction(m)) scanner_.Numbers(), Ignored(m);
            return;
    }
}

// The label instructions; false for any other.
bool Interpreter::ExecuteLabelInstruction(const Mnemonic& m) {
    switch (m.code) {
        // Labels.
        case Op("LB"):
        case Op("BL"): {
            bool found = false;
            std::string text(scanner_.Text(terminator_, found));
            if (!found) {
                Malformed(m, "without its terminator: the text runs to the end of the input (or the next escape)");
            } else if (printTerminator_) {
                text.push_back(static_cast<char>(terminator_));
            }
            if (m.code == Op("LB"))
                Label(text);
            else
                bufferedLabel_ = std::move(text);
            return true;
        }
        case Op("PB"): scanner_.Numbers(), Label(bufferedLabel_); return true;
        case Op("DT"): DefineTerminator(); return true;
        case Op("SM"): symbol_ = scanner_.Char(); return true;
        case Op("SI"):
        case Op("SR"): {
            const std::vector<double> p = scanner_.Numbers();
            relativeSize_ = m.code == Op("SR");
            if (p.size() >= 2 && std::isfinite(p[0]) && std::isfinite(p[1])) {
                sizeW_ = p[0], sizeH_ = p[1];
            } else {
                if (!p.empty()) Malformed(m, "needs a width and a height: the default size was used");
                sizeW_ = relativeSize_ ? 0.75 : 0.187, sizeH_ = relativeSize_ ? 1.5 : 0.269;
            }
            return true;
        }
        case Op("DI"):
        case Op("DR"): {
            const std::vector<double> p = scanner_.Numbers();
            relativeDirection_ = m.code == Op("DR");
            run_ = p.size() >= 2 ? p[0] : 1.0, rise_ = p.size() >= 2 ? p[1] : 0.0;
            if (p.size() == 1 || (p.size() >= 2 && run_ == 0.0 && rise_ == 0.0)) {
                Malformed(m, "without a direction: labels run horizontally");
                run_ = 1.0, rise_ = 0.0;
            }
            return true;
        }
        case Op("SL"): {
            const std::vector<double> p = scanner_.Numbers();
            slant_ = (!p.empty() && std::isfinite(p[0])) ? std::clamp(p[0], -1e3, 1e3) : 0.0;
            return true;
        }
        case Op("ES"): {
            const std::vector<double> p = scanner_.Numbers();
            extraSpace_ = p.empty() ? 0.0 : std::clamp(p[0], -1e3, 1e3);
            extraLine_ = p.size() > 1 ? std::clamp(p[1], -1e3, 1e3) : 0.0;
            return true;
        }
        case Op("LO"): {
            const std::vector<double> p = scanner_.Numbers();
            const std::optional<int32_t> lo = p.empty() ? 1 : Integer(p[0]);
            if (lo && ((*lo >= 1 && *lo <= 9) || (*lo >= 11 && *lo <= 19)))
                labelOrigin_ = *lo;
            else
                Malformed(m, "with an origin other than 1..9 or 11..19: skipped");
            return true;
        }
        case Op("CP"): CharacterPlot(scanner_.Numbers()); return true;
        default: return false;
    }
}

void Interpreter::Defaults(bool initialise) {
    polygonMode_ = false, polygon_.clear(), polygonVertices_ = 0;
    if (initialise) {
        SetPen(false);
        frame_.Reset();
        pos_ = carriageReturn_ = {0.0, 0.0};
    } else {
        frame_.ScalingOff();
    }
    relative_ = false, chordTolerance_ = false;
    terminator_ = 3, printTerminator_ = false;
    relativeSize_ = false, sizeW_ = 0.187, sizeH_ = 0.269;
    relativeDirection_ = false, run_ = 1.0, rise_ = 0.0;
    slant_ = extraSpace_ = extraLine_ = 0.0;
    labelOrigin_ = 1;
    symbol_.reset();
    tickPlus_ = tickMinus_ = 0.5;
    out_.SetClip(std::nullopt);
}

// --- moves -----------------------------------------------------------------------------------------------

void Interpreter::Segment(Point from, Point to, bool down) {
    if (polygonMode_) {
        if (polygonVertices_ >= kMaxPolygonVertices) {
            notes_.Add("polygon full", "polygon mode holds at most 1,000,000 vertices: further ones were dropped");
            return;
        }
        if (polygon_.empty()) polygon_.push_back({{from, false}});
        polygon_.back().push_back({to, down});
        ++polygonVertices_;
        return;
    }
    if (down)
        out_.Draw(Phys(from), Phys(to));
    else
        out_.Travel(Phys(to));
}

void Interpreter::SetPen(bool down) {
    if (down == penDown_) return;
    penDown_ = down;
    if (polygonMode_) return;
    if (down)
        out_.PenDown();
    else
        out_.PenUp();
}

void Interpreter::MoveTo(Point to) {
    if (!IsFinite(to)) {
        notes_.Add("not finite", "a position could not be computed (overflow): that move was skipped");
        return;
    }
    Segment(pos_, to, penDown_);
    pos_ = carriageReturn_ = to;
    if (symbol_ && !polygonMode_) {
        for (const std::vector<Point>& s : SymbolStrokes(*symbol_, CurrentLabelStyle(), pos_, EmbeddedFont()))
            DrawStroke(s);
        out_.PenUp();
    }
}

void Interpreter::Plot(const std::vector<double>& p, bool relative) {
    if (p.size() % 2 != 0) {
        notes_.Add("odd coordinates", "a coordinate list had an odd number of values: the last one was ignored");
    }
    for (std::size_t i = 0; i + 1 < p.size() && !out_.Full(); i += 2) {
        const Point v{p[i], p[i + 1]};
        MoveTo(relative ? pos_ + frame_.UserDeltaToFrame(v) : frame_.UserToFrame(v));
    }
}

void Interpreter::Chords(const std::vector<Point>& points, bool down) {
    for (const Point& p : points) {
        if (out_.Full()) return;
        if (!IsFinite(p)) continue;
        Segment(pos_, p, down);
        pos_ = p;
    }
    carriageReturn_ = pos_;
}

void Interpreter::Outline(const std::vector<Point>& path) {
    for (std::size_t i = 1; i < path.size() && !out_.Full(); ++i) out_.Draw(Phys(path[i - 1]), Phys(path[i]));
    if (!penDown_) out_.PenUp();
}

// --- set-up ----------------------------------------------------------------------------------------------

void Interpreter::Scale(const std::vector<double>& p) {
    if (p.empty()) return frame_.ScalingOff();
    Scaling s;
    const std::optional<int32_t> type = p.size() >= 5 ? Integer(p[4]) : 0;
    if (p.size() < 4 || p.size() == 6 || p.size() > 7 || !type || *type < 0 || *type > 2 ||
        (p.size() == 7 && *type != 1)) {
        return notes_.Add("malformed SC",
                          "SC with parameters that are not xmin,xmax,ymin,ymax[,type[,left,bottom]]: skipped");
    }
    s.xmin = p[0], s.xmax = p[1], s.ymin = p[2], s.ymax = p[3];
    s.type =
        *type == 1 ? Scaling::Type::Isotropic : (*type == 2 ? Scaling::Type::PointFactor : Scaling::Type::Anisotropic);
    if (p.size() == 7) s.left = p[5], s.bottom = p[6];
    if (!frame_.SetScaling(s)) {
        notes_.Add("degenerate SC", "SC with an empty user range or a zero factor: scaling left as it was");
    }
}

void Interpreter::InputP1P2(const std::vector<double>& p, bool relative) {
    if (p.empty()) return frame_.DefaultP1P2();
    if (p.size() != 2 && p.size() != 4) {
        return notes_.Add(relative ? "malformed IR" : "malformed IP",
                          relative ? "IR needs 2 or 4 parameters: skipped" : "IP needs 2 or 4 parameters: skipped");
    }
    const Point page = frame_.PageSize();
    auto point = [&](std::size_t i) {
        return relative ? Point{p[i] / 100.0 * page.x, p[i + 1] / 100.0 * page.y} : Point{p[i], p[i + 1]};
    };
    const Point p1 = point(0);
    const Point p2 = p.size() == 4 ? point(2) : p1 + (frame_.P2() - frame_.P1());  // P2 keeps its offset
    if (IsFinite(p1) && IsFinite(p2)) frame_.SetP1P2(p1, p2);
}

void Interpreter::InputWindow(const std::vector<double>& p) {
    if (p.empty()) return out_.SetClip(std::nullopt);
    if (p.size() != 4) return notes_.Add("malformed IW", "IW needs 4 parameters: skipped");
    const Point a = Phys(frame_.UserToFrame({p[0], p[1]})), b = Phys(frame_.UserToFrame({p[2], p[3]}));
    if (!IsFinite(a) || !IsFinite(b)) return;
    out_.SetClip(Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
}

void Interpreter::Rotate(const std::vector<double>& p) {
    const std::optional<int32_t> deg = p.empty() ? 0 : Integer(p[0]);
    const Point pos = Phys(pos_), cr = Phys(carriageReturn_);
    if (!deg || !frame_.Rotate(*deg)) {
        return notes_.Add("malformed RO", "RO with an angle other than 0, 90, 180 or 270: skipped");
    }
    pos_ = frame_.FromPhysical(pos), carriageReturn_ = frame_.FromPhysical(cr);
}

// --- pens and speeds -------------------------------------------------------------------------------------

void Interpreter::SelectPen(const std::vector<double>& p) {
    const std::optional<int32_t> n = p.empty() ? 0 : Integer(p[0]);
    if (!n || *n < 0) return notes_.Add("malformed SP", "SP with a negative or unreadable pen: skipped");
    int32_t pen = *n;
    if (pen > 16) {
        notes_.Add("pen mapped", "pens above 16 were mapped onto 1..16 (pen n becomes ((n - 1) mod 16) + 1)");
        pen = (pen - 1) % 16 + 1;
    }
    out_.SelectPen(pen);
    penDown_ = false;
}

void Interpreter::VelocitySelect(const std::vector<double>& p) {
    double mmPerS = 0.0;  // VS without parameters: back to the default speed
    if (!p.empty()) {
        // cm/s to mm/s, within the machine's 1..1000 thousandths of the Y axis maximum.
        mmPerS = p[0] * 10.0;
        const double t = std::round(mmPerS / kYMaxMmPerS * 1000.0);
        if (!(t >= 1.0) || t > 1000.0) {
            notes_.Add("speed clamped", "VS speeds outside 0.1..104.1 cm/s were clamped to the machine's range");
            mmPerS = !(t >= 1.0) ? kYMaxMmPerS / 1000.0 : kYMaxMmPerS;
        }
    }
    if (p.size() >= 2) {
        const std::optional<int32_t> pen = Integer(p[1]);
        if (!pen || *pen < 1 || *pen > 16) {
            return notes_.Add("vs pen", "VS for a pen outside 1..16 was skipped (pen 0 has no speed entry)");
        }
        return out_.PenSpeed(*pen, mmPerS);
    }
    for (int32_t pen = 1; pen <= 16; ++pen) out_.PenSpeed(pen, mmPerS);
}

}  // namespace corvanta::hpgl

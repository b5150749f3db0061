// The picture of a job.
//
// Coordinates are millimetres.  A machine position (x, y) in servo units is
// drawn at (x / 480, (bedY - y) / 480), rounded to 0.01 mm: the bed's origin
// is its lower-left corner and machine Y grows upward, as in the job's vector
// coordinates, so the work looks as plotted (a raster image, whose rows run
// toward smaller Y, stands the right way up).  The viewBox covers the bed and
// every segment, with room for the title above and the legends and the time
// strip below.  The picture is 1200 pixels wide by default; line widths, fonts
// and gaps are given in those pixels and converted to millimetres.
//
// From top to bottom:
//   title line (title and job time) and a line of counts;
//   the map: bed with a millimetre grid, raster bands (one rectangle per run of
//     neighbouring raster lines), raster moves outside the bands, pen-up
//     travel (thin dashed grey), other motion (dotted), and cutting coloured by
//     the speed reached in five bins;
//   the legend of the map;
//   the time strip: the job's activities in time order over its duration,
//     with a clock axis, and the legend of the activities with their shares.
//
// Size: every kind of line is one <path> (consecutive segments that join are
// one subpath of M/L commands), raster bands and the bars of each activity
// are one <path> each, and the strip holds at most about two bars per pixel,
// so the element count is a small constant whatever the size of the job.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "corvanta/explain.h"
#include "explain/text.h"

namespace corvanta::explain {

namespace {

using detail::Append;
using detail::Cat;
using detail::Dec;

constexpr double kCanvasPx = 1200;  // default picture width in pixels
constexpr int kSpeedBins = 5;

// Colours of the speed bins, slow to fast.
constexpr std::array<std::string_view, kSpeedBins> kSpeedColour = {"#440154", "#3b528b", "#21918c", "#3fbc73",
                                                                   "#9bd93c"};
// Colours of the activities in the time strip.
constexpr std::array<std::string_view, kActivities> kActivityColour = {"#21918c", "#b8b8b8", "#e3a33b",
                                                                       "#f2d49b", "#c2185b", "#6b6b6b"};
constexpr std::string_view kTravelColour = "#9a9a9a";
constexpr std::string_view kRasterMoveColour = "#d39a3a";
constexpr std::string_view kOtherColour = "#6b6b6b";
constexpr std::string_view kBandFill = "#f6dcae";
constexpr std::string_view kBandEdge = "#e3a33b";
constexpr std::string_view kInk = "#222222";
constexpr std::string_view kMuted = "#6f6f6f";

// Servo units to hundredths of a millimetre, rounded half away from zero.
int64_t SvoToCmm(int64_t svo) {
    const int64_t v = svo * 5;  // hundredths x 24
    return v >= 0 ? (v + 12) / 24 : -((-v + 12) / 24);
}

std::string Cmm(int64_t hundredths) {
    std::string s;
    detail::AppendHundredths(s, hundredths);
    return s;
}

// A length in millimetres as text, rounded to 0.01 mm.
std::string Mm(double mm) {
    if (!std::isfinite(mm)) mm = 0;
    return Cmm(static_cast<int64_t>(std::llround(std::clamp(mm, -1e15, 1e15) * 100)));
}

// One <path>'s data, built from line segments: a segment that starts where
// the previous one ended continues the subpath.
class Polyline {
public:
    void Add(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        if (!has_ || x0 != lastX_ || y0 != lastY_) {
            Point('M', x0, y0);
            Point('L', x1, y1);
        } else if (x1 != x0 || y1 != y0) {
            Point('L', x1, y1);
        }
        has_ = true, lastX_ = x1, lastY_ = y1;
    }
    void Rect(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        Point('M', x0, y0);
        Coord('H', x1);
        Coord('V', y1);
        Coord('H', x0);
        d_ += 'Z';
        has_ = false;
    }
    bool Empty() const { return d_.empty(); }
    const std::string& D() const { return d_; }

private:
    void Coord(char c, int64_t v) {
        d_ += c;
        detail::AppendHundredths(d_, v);
    }
    void Point(char c, int64_t x, int64_t y) {
        Coord(c, x);
        d_ += ' ';
        detail::AppendHundredths(d_, y);
    }
    std::string d_;
    bool has_ = false;
    int64_t lastX_ = 0, lastY_ = 0;
};

// Bounding box in servo units.
struct Box {
    int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
    bool Empty() const { return x0 > x1; }
    void Add(int64_t x, int64_t y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    void Add(const Segment& s) { Add(s.x0, s.y0), Add(s.x1, s.y1); }
};

// The speed bins: a step in mm/s from 1, 1.5, 2, 2.5, 3, 4, 5, 6, 7.5, 8 x 10^k
// (whole numbers only), the smallest with which five bins cover the fastest
// cutting segment, and the number of bins that fastest segment needs (1..5).
struct SpeedBins {
    uint64_t step = 1, count = 1;
    // Colours spread over the ramp when there are fewer than five bins.
    std::string_view Colour(uint64_t bin) const {
        return kSpeedColour[count <= 1 ? 0 : std::min<uint64_t>(bin, count - 1) * (kSpeedBins - 1) / (count - 1)];
    }
};
SpeedBins MakeSpeedBins(uint64_t maxSvoPerS) {
    const uint64_t maxMmS = (maxSvoPerS + kServoPerMm - 1) / kServoPerMm;  // rounded up
    const uint64_t need = std::max<uint64_t>((maxMmS + kSpeedBins - 1) / kSpeedBins, 1);
    uint64_t step = 0;
    for (uint64_t decade = 1; step == 0; decade *= 10)
        for (uint64_t tenths : {10, 15, 20, 25, 30, 40, 50, 60, 75, 80})
            if (tenths * decade % 10 == 0 && tenths * decade / 10 >= need) {
                step = tenths * decade / 10;
                break;
            }
    return {step, std::clamp<uint64_t>((maxMmS + step - 1) / step, 1, kSpeedBins)};
}

// A nice step for `span` divided into at most `most` parts, from `steps`.
template <size_t N>
uint64_t NiceStep(uint64_t span, uint64_t most, const std::array<uint64_t, N>& steps) {
    for (uint64_t s : steps)
        if (span / s <= most) return s;
    uint64_t s = steps.back();
    while (span / s > most) s *= 2;
    return s;
}

// Path data of a horizontal line of `length` mm from (x, y) mm.
std::string Swatch(double x, double y, double length) { return Cat("M", Mm(x), " ", Mm(y), "h", Mm(length)); }

// Estimated width of a text in pixels at a font size in pixels.
double TextPx(std::string_view s, double fontPx) {
    size_t chars = 0;
    for (char c : s) chars += (static_cast<uint8_t>(c) & 0xC0) != 0x80;
    return static_cast<double>(chars) * 0.53 * fontPx;
}

// Path data longer than this is written as several <path> elements: some readers refuse an attribute of
// more than about 10 MB (a large job's travel came to 10,287,343 characters).
constexpr size_t kMaxPathData = 1'000'000;

// Path data cut into pieces of at most about `limit` characters, each a path of its own: a cut falls before
// an M, or before an L, and then the next piece starts with an M to the point where the L started.
std::vector<std::string> SplitPathData(std::string_view d, size_t limit) {
    std::vector<std::string> pieces(1);
    std::string_view lastPoint;  // coordinates of the last M or L command
    for (size_t i = 0; i < d.size();) {
        size_t j = d.find_first_of("MLHVZ", i + 1);
        if (j == std::string_view::npos) j = d.size();
        const std::string_view command = d.substr(i, j - i);
        const bool cuttable = command[0] == 'M' || command[0] == 'L';
        if (cuttable && !pieces.back().empty() && pieces.back().size() + command.size() > limit) {
            pieces.emplace_back();
            if (command[0] == 'L') Append(pieces.back(), "M", lastPoint);
        }
        if (cuttable) lastPoint = command.substr(1);
        pieces.back() += command;
        i = j;
    }
    return pieces;
}

class Writer {
public:
    explicit Writer(double mmPerPx) : px_(mmPerPx) {}
    double Px(double pixels) const { return pixels * px_; }
    void Raw(std::string_view s) { out_ += s; }
    // <text> at (x, y) mm with a font size in pixels.
    void Text(double x, double y, double fontPx, std::string_view text, std::string_view fill = kInk,
              std::string_view anchor = "", bool bold = false) {
        Append(out_, "<text x=\"", Mm(x), "\" y=\"", Mm(y), "\" font-size=\"", Mm(Px(fontPx)), "\" fill=\"", fill,
               "\"");
        if (!anchor.empty()) Append(out_, " text-anchor=\"", anchor, "\"");
        if (bold) out_ += " font-weight=\"bold\"";
        Append(out_, ">", detail::XmlText(text), "</text>\n");
    }
    void Rect(double x, double y, double w, double h, std::string_view fill, std::string_view stroke = "",
              double strokePx = 0) {
        Append(out_, "<rect x=\"", Mm(x), "\" y=\"", Mm(y), "\" width=\"", Mm(std::max(w, 0.0)), "\" height=\"",
               Mm(std::max(h, 0.0)), "\" fill=\"", fill, "\"");
        StrokeAttributes(stroke, strokePx);
        out_ += "/>\n";
    }
    // A stroked line path; dash in pixels ("" for solid).
    void Stroke(std::string_view d, std::string_view colour, double widthPx, std::string_view cls,
                std::initializer_list<double> dashPx = {}, bool round = false, std::string_view tip = "") {
        if (d.size() <= kMaxPathData) return StrokeOne(d, colour, widthPx, cls, dashPx, round, tip);
        for (const std::string& piece : SplitPathData(d, kMaxPathData))
            StrokeOne(piece, colour, widthPx, cls, dashPx, round, tip);
    }
    void Fill(std::string_view d, std::string_view colour, std::string_view cls, std::string_view stroke = "",
              double strokePx = 0, std::string_view tip = "") {
        if (d.size() <= kMaxPathData) return FillOne(d, colour, cls, stroke, strokePx, tip);
        for (const std::string& piece : SplitPathData(d, kMaxPathData))
            FillOne(piece, colour, cls, stroke, strokePx, tip);
    }
    std::string& Out() { return out_; }

private:
    void StrokeOne(std::string_view d, std::string_view colour, double widthPx, std::string_view cls,
                   std::initializer_list<double> dashPx, bool round, std::string_view tip) {
        Append(out_, "<path class=\"", cls, "\" d=\"", d, "\" fill=\"none\"");
        StrokeAttributes(colour, widthPx);
        if (dashPx.size() > 0) {
            out_ += " stroke-dasharray=\"";
            bool first = true;
            for (double v : dashPx) Append(out_, first ? "" : " ", Mm(Px(v))), first = false;
            out_ += "\"";
        }
        if (round) out_ += " stroke-linecap=\"round\" stroke-linejoin=\"round\"";
        Close(tip);
    }
    void FillOne(std::string_view d, std::string_view colour, std::string_view cls, std::string_view stroke,
                 double strokePx, std::string_view tip) {
        Append(out_, "<path class=\"", cls, "\" d=\"", d, "\" fill=\"", colour, "\"");
        StrokeAttributes(stroke, strokePx);
        Close(tip);
    }
    // Ends an element, with a tooltip when there is one.
    void Close(std::string_view tip) {
        if (tip.empty())
            out_ += "/>\n";
        else
            Append(out_, "><title>", detail::XmlText(tip), "</title></path>\n");
    }
    void StrokeAttributes(std::string_view colour, double widthPx) {
        if (!colour.empty()) Append(out_, " stroke=\"", colour, "\" stroke-width=\"", Mm(Px(widthPx)), "\"");
    }
    double px_;
    std::string out_;
};

// Lays legend items out left to right from x, wrapping at xMax; returns the
// y of the last row.
class LegendRow {
public:
    LegendRow(Writer& w, double x, double xMax, double y, double rowPx)
        : w_(w), x0_(x), x_(x), xMax_(xMax), y_(y), row_(rowPx) {}
    // Reserves room for an item of `widthPx`, returns its left x (mm).
    double Place(double widthPx) {
        if (x_ > x0_ && x_ + w_.Px(widthPx) > xMax_) x_ = x0_, y_ += w_.Px(row_);
        const double at = x_;
        x_ += w_.Px(widthPx);
        return at;
    }
    double Y() const { return y_; }

private:
    Writer& w_;
    double x0_, x_, xMax_, y_, row_;
};

// The picture's map content, before layout: paths and bands in servo units.
struct Map {
    Box extent;  // every segment
    std::array<Polyline, kSpeedBins> cutting;
    Polyline travel, rasterMove, other, bands;
    std::array<bool, kSpeedBins> binUsed{};
    SpeedBins bins;
};

Map BuildMap(const JobExplain& job) {
    Map m;
    const int64_t bedY = std::max<int32_t>(job.bedYsvo, 0);
    const auto X = [](int64_t x) { return SvoToCmm(x); };
    const auto Y = [&](int64_t y) { return SvoToCmm(bedY - y); };

    uint64_t maxCut = 0;
    for (const Segment& s : job.segments) {
        m.extent.Add(s);
        if (s.activity == Activity::Cutting) maxCut = std::max<uint64_t>(maxCut, s.peakSpeed);
    }
    m.bins = MakeSpeedBins(maxCut);

    // Raster strokes gather into runs: a stroke joins the run when its line is
    // within kBandGap of the previous one and it overlaps the run along X.
    // Raster moves between strokes of one run are not drawn where they stay
    // inside the band; those before and after a run are.
    constexpr int64_t kBandGap = 5 * kServoPerMm;
    Box run;
    int64_t lastLineY = 0;
    std::vector<const Segment*> pendingMoves;   // since the last stroke
    std::vector<const Segment*> interiorMoves;  // between strokes of the run
    const auto drawMove = [&](const Segment& s) { m.rasterMove.Add(X(s.x0), Y(s.y0), X(s.x1), Y(s.y1)); };
    const auto inRun = [&](int64_t x, int64_t y) { return x >= run.x0 && x <= run.x1 && y >= run.y0 && y <= run.y1; };
    const auto closeRun = [&] {
        if (!run.Empty()) m.bands.Rect(X(run.x0), Y(run.y1), X(run.x1), Y(run.y0));
        for (const Segment* p : interiorMoves)
            if (!inRun(p->x0, p->y0) || !inRun(p->x1, p->y1)) drawMove(*p);
        for (const Segment* p : pendingMoves) drawMove(*p);
        run = Box{};
        interiorMoves.clear();
        pendingMoves.clear();
    };
    for (const Segment& s : job.segments) {
        switch (s.activity) {
            case Activity::RasterStroke: {
                const int64_t lo = std::min(s.x0, s.x1), hi = std::max(s.x0, s.x1);
                const bool joins = !run.Empty() && std::llabs(int64_t{s.y0} - lastLineY) <= kBandGap &&
                                   lo <= run.x1 + kBandGap && hi >= run.x0 - kBandGap;
                if (joins)
                    interiorMoves.insert(interiorMoves.end(), pendingMoves.begin(), pendingMoves.end());
                else
                    closeRun();
                pendingMoves.clear();
                run.Add(s);
                lastLineY = s.y1;
                break;
            }
            case Activity::RasterMove:
                if (run.Empty())
                    drawMove(s);
                else
                    pendingMoves.push_back(&s);
                break;
            case Activity::EndDelay:  // a dwell: no motion to draw
                break;
            case Activity::Cutting: {
                closeRun();
                const size_t bin = std::min<uint64_t>(s.peakSpeed / (m.bins.step * kServoPerMm), m.bins.count - 1);
                m.cutting[bin].Add(X(s.x0), Y(s.y0), X(s.x1), Y(s.y1));
                m.binUsed[bin] = true;
                break;
            }
            case Activity::Travel:
                closeRun();
                m.travel.Add(X(s.x0), Y(s.y0), X(s.x1), Y(s.y1));
                break;
            default:
                closeRun();
                m.other.Add(X(s.x0), Y(s.y0), X(s.x1), Y(s.y1));
                break;
        }
    }
    closeRun();
    return m;
}

// Clock step of the time axis in ms: at most eight intervals.
uint64_t ClockStep(uint64_t totalMs) {
    static constexpr std::array<uint64_t, 22> kSteps = {
        100,    200,    500,    1000,    2000,    5000,    10000,    15000,    30000,    60000,    120000,
        300000, 600000, 900000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000, 172800000};
    return NiceStep(totalMs, 8, kSteps);
}

std::string ClockText(uint64_t ms, uint64_t step) {
    if (step >= 1000) return detail::ClockLabel(ms);
    return Cat(detail::Fixed(static_cast<double>(ms) / 1000.0, 1), " s");
}

constexpr double kSidePx = 34;   // margin left and right of the map, in pixels
constexpr double kStripPx = 22;  // height of the time strip, in pixels

// Layout shared by the parts of the picture: the bed in servo units, the map
// area in mm (SVG coordinates) and the writer that holds the elements drawn.
struct Layout {
    Writer w;
    int64_t bedX, bedY;   // bed size in servo units
    double left, right;   // map edges
    double mapW;          // map width
    double mapTop, mapH;  // map top edge and height
    bool zoomed;          // the map shows the job, not the whole bed
};

// The area of the map in servo units.  A job that fits in a quarter of the
// bed fills the map: its extent with a margin of a tenth of its size (at
// least 5 mm), at least 30 mm across, the bed around it as context.
// Otherwise the map covers the bed and every segment.
Box MapArea(const Map& map, int64_t bedX, int64_t bedY, bool& zoomed) {
    Box area;
    area.Add(0, 0), area.Add(bedX, bedY);
    const Box& e = map.extent;
    zoomed = !e.Empty() && e.x0 >= 0 && e.y0 >= 0 && e.x1 <= bedX && e.y1 <= bedY && (e.x1 - e.x0) * 2 <= bedX &&
             (e.y1 - e.y0) * 2 <= bedY;
    if (!zoomed) {
        if (!e.Empty()) area.Add(e.x0, e.y0), area.Add(e.x1, e.y1);
        return area;
    }
    const int64_t margin = std::max<int64_t>(std::max(e.x1 - e.x0, e.y1 - e.y0) / 10, 5 * kServoPerMm);
    const int64_t least = 30 * kServoPerMm;
    const int64_t w = std::max(e.x1 - e.x0 + 2 * margin, least), h = std::max(e.y1 - e.y0 + 2 * margin, least);
    // Centred on the job, then moved back onto the bed where it fits there.
    const auto place = [](int64_t lo, int64_t hi, int64_t size, int64_t bed) {
        const int64_t start = (lo + hi) / 2 - size / 2;
        return size >= bed ? start : std::clamp<int64_t>(start, 0, bed - size);
    };
    const int64_t x = place(e.x0, e.x1, w, bedX), y = place(e.y0, e.y1, h, bedY);
    return Box{x, y, x + w, y + h};
}

// The map area; the picture is kCanvasPx pixels wide, the map plus a margin
// on either side.
Layout MakeLayout(const JobExplain& job, const Map& map) {
    const int64_t bedX = std::max<int32_t>(job.bedXsvo, 0), bedY = std::max<int32_t>(job.bedYsvo, 0);
    bool zoomed = false;
    const Box area = MapArea(map, bedX, bedY, zoomed);
    const double L = SvoToCmm(area.x0) / 100.0, R = SvoToCmm(area.x1) / 100.0;
    const double T = SvoToCmm(bedY - area.y1) / 100.0, B = SvoToCmm(bedY - area.y0) / 100.0;
    const double mapW = std::max(R - L, 1.0), mapH = std::max(B - T, 1.0);
    return Layout{Writer(mapW / (kCanvasPx - 2 * kSidePx)), bedX, bedY, L, L + mapW, mapW, T, mapH, zoomed};
}

// Title line and line of counts from `top`; returns the heading.
std::string DrawTitle(Layout& l, const JobExplain& job, std::string_view title, uint64_t jobMs, double top) {
    Writer& w = l.w;
    std::string heading = title.empty() ? std::string("Job") : std::string(title);
    if (job.failed)
        Append(heading, " \u2014 ", job.ending);
    else
        Append(heading, " \u2014 ", detail::Hms(jobMs), " (", Dec(jobMs), " ms)");
    if (!job.failed && !job.ending.empty()) Append(heading, " \u2014 ", job.ending);
    w.Text(l.left, top + w.Px(28), 20, heading, kInk, "", true);
    const auto counted = [](uint64_t n, const char* one, const char* many) { return Cat(Dec(n), n == 1 ? one : many); };
    const std::string counts =
        Cat(counted(job.vectors, " vector", " vectors"), " \u00b7 ",
            counted(job.rasterLines, " raster line", " raster lines"), " \u00b7 ",
            counted(job.penChanges, " pen change", " pen changes"), " \u00b7 bed ", Mm(l.bedX / double(kServoPerMm)),
            " \u00d7 ", Mm(l.bedY / double(kServoPerMm)), " mm");
    w.Text(l.left, top + w.Px(50), 12.5, counts, kMuted);
    return heading;
}

// The bed with its millimetre grid, clipped to the map, and the grid's
// labels along the map's lower and left edges.
void DrawBed(Layout& l) {
    Writer& w = l.w;
    const double bedW = SvoToCmm(l.bedX) / 100.0, bedH = SvoToCmm(l.bedY) / 100.0;
    const double bottom = l.mapTop + l.mapH;
    Append(w.Out(), "<clipPath id=\"map\"><rect x=\"", Mm(l.left), "\" y=\"", Mm(l.mapTop), "\" width=\"", Mm(l.mapW),
           "\" height=\"", Mm(l.mapH), "\"/></clipPath>\n<g clip-path=\"url(#map)\">\n");
    w.Rect(0, 0, bedW, bedH, "#fafaf8", "#8c8c8c", 1);
    static constexpr std::array<uint64_t, 11> kGridSteps = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000};
    const uint64_t grid = NiceStep(static_cast<uint64_t>(std::max(l.mapW, l.mapH)), 10, kGridSteps);
    std::string gridD;
    for (uint64_t g = grid; g < bedW; g += grid) Append(gridD, "M", Mm(double(g)), " 0V", Mm(bedH));
    for (uint64_t g = grid; g < bedH; g += grid) Append(gridD, "M0 ", Mm(bedH - double(g)), "H", Mm(bedW));
    if (!gridD.empty()) w.Stroke(gridD, "#e4e4e0", 0.8, "grid");
    w.Raw("</g>\n");
    const auto shown = [](double v, double lo, double hi) { return v >= lo - 1e-9 && v <= hi + 1e-9; };
    for (uint64_t g = 0; g <= bedW && bedW > 0; g += grid)
        if (shown(double(g), l.left, l.right))
            w.Text(double(g), bottom + w.Px(13), 10, Dec(g), kMuted, double(g) - l.left < w.Px(8) ? "start" : "middle");
    for (uint64_t g = 0; g <= bedH && bedH > 0; g += grid)
        if (shown(bedH - double(g), l.mapTop, bottom))
            w.Text(l.left - w.Px(5), bedH - double(g) + w.Px(3.5), 10, Dec(g), kMuted, "end");
    if (bedW > 0) w.Text(l.right, bottom + w.Px(26), 10, "mm", kMuted, "end");
}

// When the map shows the job only: the whole bed, small, at the right of the
// title, with the map's area marked on it.
void DrawBedInset(Layout& l, double top) {
    if (!l.zoomed) return;
    Writer& w = l.w;
    const double bedW = SvoToCmm(l.bedX) / 100.0, bedH = SvoToCmm(l.bedY) / 100.0;
    const double scale = w.Px(60) / std::max(bedH, 1.0);
    const double x0 = l.right - bedW * scale, y0 = top + w.Px(10);
    w.Rect(x0, y0, bedW * scale, bedH * scale, "#fafaf8", "#8c8c8c", 1);
    w.Rect(x0 + l.left * scale, y0 + l.mapTop * scale, l.mapW * scale, l.mapH * scale, "#e3a33b", "#c2185b", 1);
    w.Text(x0 - w.Px(6), y0 + w.Px(60), 10, "bed", kMuted, "end");
}

// The motion of the job: raster bands, raster moves, travel, other motion
// and cutting by speed bin.
void DrawMotion(Writer& w, const Map& map) {
    w.Raw("<g id=\"motion\">\n");
    if (!map.bands.Empty()) w.Fill(map.bands.D(), kBandFill, "raster", kBandEdge, 0.8, "raster");
    if (!map.rasterMove.Empty())
        w.Stroke(map.rasterMove.D(), kRasterMoveColour, 0.8, "raster-move", {2, 2}, false, "raster move");
    if (!map.travel.Empty()) w.Stroke(map.travel.D(), kTravelColour, 0.8, "travel", {4, 3}, false, "travel");
    if (!map.other.Empty()) w.Stroke(map.other.D(), kOtherColour, 1, "other", {1, 2}, true, "other");
    for (uint64_t b = 0; b < kSpeedBins; ++b)
        if (!map.cutting[b].Empty())
            w.Stroke(map.cutting[b].D(), map.bins.Colour(b), 1.8, Cat("cutting speed", Dec(b)), {}, true,
                     Cat("cutting at ", Dec(map.bins.step * b), "\u2013", Dec(map.bins.step * (b + 1)), " mm/s"));
    w.Raw("</g>\n");
}

// The legend of the map below it; returns the y of its last row.
double DrawMapLegend(Layout& l, const Map& map) {
    Writer& w = l.w;
    LegendRow legend(w, l.left, l.right, l.mapTop + l.mapH + w.Px(52), 20);
    bool anyCut = false;
    for (bool u : map.binUsed) anyCut = anyCut || u;
    if (anyCut) {
        const std::string head = "Cutting at speed reached (mm/s):";
        double x = legend.Place(TextPx(head, 12) + 10);
        w.Text(x, legend.Y(), 12, head, kInk);
        for (uint64_t b = 0; b < map.bins.count; ++b) {
            const std::string label = Cat(Dec(map.bins.step * b), "\u2013", Dec(map.bins.step * (b + 1)));
            x = legend.Place(26 + TextPx(label, 12) + 14);
            w.Stroke(Swatch(x, legend.Y() - w.Px(4), w.Px(20)), map.bins.Colour(b), 5, "legend");
            w.Text(x + w.Px(26), legend.Y(), 12, label, map.binUsed[b] ? kInk : kMuted);
        }
        legend.Place(16);
    }
    const auto lineItem = [&](std::string_view label, std::string_view colour, std::initializer_list<double> dash) {
        const double x = legend.Place(30 + TextPx(label, 12) + 18);
        w.Stroke(Swatch(x, legend.Y() - w.Px(4), w.Px(24)), colour, 1.5, "legend", dash);
        w.Text(x + w.Px(30), legend.Y(), 12, label, kInk);
    };
    if (!map.travel.Empty()) lineItem("travel", kTravelColour, {4, 3});
    if (!map.bands.Empty()) {
        const double x = legend.Place(30 + TextPx("raster", 12) + 18);
        w.Rect(x, legend.Y() - w.Px(10), w.Px(24), w.Px(12), kBandFill, kBandEdge, 0.8);
        w.Text(x + w.Px(30), legend.Y(), 12, "raster", kInk);
    }
    if (!map.rasterMove.Empty()) lineItem("raster move", kRasterMoveColour, {2, 2});
    if (!map.other.Empty()) lineItem("other", kOtherColour, {1, 2});
    return legend.Y();
}

// Label of each activity: name, time and share of the job.
std::array<std::string, kActivities> ActivityLabels(const Breakdown& bd) {
    uint64_t actTotal = 0;
    for (uint64_t t : bd.ticks) actTotal += t;
    const auto shares = detail::ShareTenths(std::vector<uint64_t>(bd.ticks, bd.ticks + kActivities), actTotal);
    std::array<std::string, kActivities> actLabel;
    for (int a = 0; a < kActivities; ++a)
        actLabel[a] = Cat(ActivityName(Activity(a)), " ", detail::Hms(TicksToMs(bd.ticks[a])), " (",
                          detail::Percent(shares[a]), ")");
    return actLabel;
}

// The time strip's heading at y and, below it, the strip with the job's
// activities in time order; returns the top of the strip.
double DrawTimeStrip(Layout& l, const JobExplain& job, uint64_t jobMs,
                     const std::array<std::string, kActivities>& actLabel, double y) {
    Writer& w = l.w;
    const double left = l.left, mapW = l.mapW;
    w.Text(left, y, 12, "Time line", kInk, "", true);
    w.Text(l.right, y, 12, job.failed ? "failed" : detail::Hms(jobMs), kMuted, "end");
    const double stripTop = y + w.Px(8), stripH = w.Px(kStripPx);
    w.Rect(left, stripTop, mapW, stripH, "#f1f1ef", "#c8c8c8", 0.8);
    const double stripPx = mapW / w.Px(1);
    const uint64_t minTicks = static_cast<uint64_t>(std::ceil(static_cast<double>(job.ticks) / (2 * stripPx)));
    const std::vector<TimeSpan> bars = StripBars(job.spans, job.ticks, minTicks);
    std::array<Polyline, kActivities> barPaths;
    const auto at = [&](uint64_t tick) {
        const double f = job.ticks ? static_cast<double>(tick) / static_cast<double>(job.ticks) : 0;
        return std::llround((left + f * mapW) * 100);
    };
    const int64_t barTop = std::llround(stripTop * 100), barBottom = std::llround((stripTop + stripH) * 100);
    for (const TimeSpan& b : bars)
        barPaths[static_cast<uint8_t>(b.activity)].Rect(at(b.startTick), barTop, at(b.endTick), barBottom);
    w.Raw("<g id=\"strip\">\n");
    for (int a = 0; a < kActivities; ++a)
        if (!barPaths[a].Empty())
            w.Fill(barPaths[a].D(), kActivityColour[a], ActivityName(Activity(a)), "", 0, actLabel[a]);
    w.Raw("</g>\n");
    return stripTop;
}

// The clock axis under the strip at stripTop, or a note when the job takes
// no time; returns the y of the strip's bottom edge.
double DrawClockAxis(Layout& l, uint64_t jobMs, double stripTop, bool failed) {
    Writer& w = l.w;
    const double stripH = w.Px(kStripPx);
    const double y = stripTop + stripH;
    if (jobMs > 0) {
        const uint64_t step = ClockStep(jobMs);
        std::string ticksD;
        for (uint64_t t = 0; t <= jobMs; t += step) {
            const double x = l.left + static_cast<double>(t) / static_cast<double>(jobMs) * l.mapW;
            Append(ticksD, "M", Mm(x), " ", Mm(y), "v", Mm(w.Px(4)));
            const bool nearEnd = l.right - x < w.Px(24);
            w.Text(x, y + w.Px(16), 10, ClockText(t, step), kMuted, t == 0 ? "start" : nearEnd ? "end" : "middle");
            if (jobMs - t < step) break;
        }
        w.Stroke(ticksD, "#9a9a9a", 0.8, "axis");
    } else {
        w.Text(l.left + l.mapW / 2, stripTop + stripH / 2 + w.Px(4), 11,
               failed ? "no job time: the job failed" : "no job time", kMuted, "middle");
    }
    return y;
}

// The legend of the activities that took time, from y; returns the bottom
// of the picture.
double DrawActivityLegend(Layout& l, const Breakdown& bd, const std::array<std::string, kActivities>& actLabel,
                          double y) {
    Writer& w = l.w;
    LegendRow acts(w, l.left, l.right, y, 20);
    for (int a = 0; a < kActivities; ++a) {
        if (bd.ticks[a] == 0) continue;
        const double x = acts.Place(18 + TextPx(actLabel[a], 12) + 16);
        w.Rect(x, acts.Y() - w.Px(10), w.Px(12), w.Px(12), kActivityColour[a]);
        w.Text(x + w.Px(18), acts.Y(), 12, actLabel[a], kInk);
    }
    return acts.Y() + w.Px(20);
}

// The SVG document: header with size and viewBox from top to bottom, the
// title, a white background and the elements drawn.
std::string Assemble(Layout& l, std::string_view heading, double top, double bottom) {
    Writer& w = l.w;
    const double width = l.mapW + w.Px(2 * kSidePx), height = bottom - top;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string box[4] = {Mm(l.left - w.Px(kSidePx)), Mm(top), Mm(width), Mm(height)};
    Append(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"", Dec(uint64_t(kCanvasPx)), "\" height=\"",
           Dec(static_cast<uint64_t>(std::llround(height / w.Px(1)))), "\" viewBox=\"", box[0], " ", box[1], " ",
           box[2], " ", box[3], "\" font-family=\"Helvetica, Arial, sans-serif\">\n");
    Append(svg, "<title>", detail::XmlText(heading), "</title>\n");
    Append(svg, "<rect x=\"", box[0], "\" y=\"", box[1], "\" width=\"", box[2], "\" height=\"", box[3],
           "\" fill=\"#ffffff\"/>\n");
    svg += w.Out();
    svg += "</svg>\n";
    return svg;
}

}  // namespace

std::string Svg(const JobExplain& whole, std::string_view title) {
    // A failed job has no time: its path is drawn as far as it went, its
    // time strip stays empty.
    JobExplain failed;
    if (whole.failed) {
        failed.segments = whole.segments;
        failed.bedXsvo = whole.bedXsvo, failed.bedYsvo = whole.bedYsvo;
        failed.vectors = whole.vectors, failed.rasterLines = whole.rasterLines, failed.penChanges = whole.penChanges;
        failed.ending = whole.ending, failed.failed = true;
    }
    const JobExplain& job = whole.failed ? failed : whole;
    const Map map = BuildMap(job);
    const uint64_t jobMs = TicksToMs(job.ticks);
    Layout l = MakeLayout(job, map);
    const double top = l.mapTop - l.w.Px(80);  // top of the picture; the map starts 80 px lower
    const std::string heading = DrawTitle(l, job, title, jobMs, top);
    DrawBed(l);
    DrawBedInset(l, top);
    l.w.Raw("<g clip-path=\"url(#map)\">\n");
    DrawMotion(l.w, map);
    l.w.Raw("</g>\n");
    const double legendY = DrawMapLegend(l, map);
    const auto actLabel = ActivityLabels(job.breakdown);
    const double stripTop = DrawTimeStrip(l, job, jobMs, actLabel, legendY + l.w.Px(40));
    const double axisY = DrawClockAxis(l, jobMs, stripTop, job.failed);
    const double bottom = DrawActivityLegend(l, job.breakdown, actLabel, axisY + l.w.Px(44));
    return Assemble(l, heading, top, bottom);
}

}  // namespace corvanta::explain

#include "design/writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace corvanta::design {

namespace {

// Raster positions and widths are multiplied by 3048 (plotbed units per inch) in 32 bits by the machine: they
// are kept below this many dots or rows.
constexpr double kMaxRasterUnits = 704'000;
constexpr int64_t kPbdPerInch = 3048;                            // plotbed units per inch
constexpr int64_t kPclOriginXpbd = 240, kPclOriginYpbd = 55920;  // the PCL origin in plotbed units

struct GridPoint {
    int64_t x = 0, y = 0;  // plotter units of the HP-GL frame
    bool operator==(const GridPoint&) const = default;
};

struct Box {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -std::numeric_limits<double>::infinity(), maxY = maxX;
    bool Empty() const { return !(minX <= maxX && minY <= maxY); }
    void Add(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
};

// The part of a picture that is engraved: the whole of it, or with cropping the rectangle of its inked cells
// (nothing when it has none).
void AddPicture(const Bitmap& b, bool crop, Box& box) {
    const bool haveInk = !b.ink.empty() && b.ink.size() == static_cast<uint64_t>(b.columns) * b.rows;
    if (!crop || !haveInk) {
        box.Add(b.x, b.y), box.Add(b.x + b.width, b.y + b.height);
        return;
    }
    uint32_t c0 = b.columns, c1 = 0, r0 = b.rows, r1 = 0;
    for (uint32_t r = 0; r < b.rows; ++r)
        for (uint32_t c = 0; c < b.columns; ++c)
            if (b.ink[static_cast<std::size_t>(r) * b.columns + c] != 0)
                c0 = std::min(c0, c), c1 = std::max(c1, c + 1), r0 = std::min(r0, r), r1 = std::max(r1, r + 1);
    if (c0 >= c1) return;
    const double cw = b.width / b.columns, rh = b.height / b.rows;
    box.Add(b.x + c0 * cw, b.y + r0 * rh), box.Add(b.x + c1 * cw, b.y + r1 * rh);
}

int64_t ClampRound(double v, double limit) { return std::llround(std::clamp(v, -limit, limit)); }

std::string Number(int64_t v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string Mm(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

class Writer {
public:
    Writer(const Page& page, const Settings& settings, const WriteLimits& limits)
        : page_(page), s_(settings), maxRecords_(std::max<uint64_t>(limits.maxRecords, 1)) {}

    Written Run() {
        Record("CorvantaCmdVer", 1);
        Engraving();
        Cuts();
        if (out_.truncated) {
            Note("the output reached the record limit (" + std::to_string(out_.records) +
                 " records): the rest of the design was not written");
        }
        return std::move(out_);
    }

private:
    void Note(const std::string& text) {
        if (std::find(out_.notes.begin(), out_.notes.end(), text) == out_.notes.end()) out_.notes.push_back(text);
    }

    bool Line(const std::string& text) {
        if (out_.truncated) return false;
        if (out_.records >= maxRecords_) {
            out_.truncated = true;
            return false;
        }
        out_.commands += text;
        out_.commands += '\n';
        ++out_.records;
        return true;
    }
    bool Record(const char* keyword, int64_t v) { return Line(std::string(keyword) + " " + Number(v)); }
    bool Record(const char* keyword, int64_t a, int64_t b) {
        return Line(std::string(keyword) + " " + Number(a) + " " + Number(b));
    }

    // --- engraving -------------------------------------------------------------------------------------

    Box EngravingBox() {
        Box box;
        if (s_.fills == Settings::FillMode::Engrave) {
            for (const FillRegion& f : page_.fills) {
                Box one;
                for (const auto& ring : f.rings)
                    for (const Point& p : ring) one.Add(p.x, p.y);
                if (one.Empty()) continue;
                ++out_.regions;
                box.Add(one.minX, one.minY), box.Add(one.maxX, one.maxY);
            }
        }
        for (const Bitmap& b : page_.images) {
            Box one;
            AddPicture(b, s_.cropImageMargins, one);
            if (one.Empty()) continue;
            ++out_.images;
            box.Add(one.minX, one.minY), box.Add(one.maxX, one.maxY);
        }
        return box;
    }

    void Engraving() {
        const Box box = EngravingBox();
        if (box.Empty()) return;
        // Dots along X and rows along Y from the PCL origin; the edges are rounded to the nearest dot and row.
        const double dotsPerMm = s_.rasterDpi / kMmPerInch, rowsPerMm = s_.rasterRowsPerInch / kMmPerInch;
        const int64_t left = ClampRound((s_.offsetXmm + box.minX) * dotsPerMm, kMaxRasterUnits);
        const int64_t right = ClampRound((s_.offsetXmm + box.maxX) * dotsPerMm, kMaxRasterUnits);
        const int64_t top = ClampRound((s_.offsetYmm + box.minY) * rowsPerMm, kMaxRasterUnits);
        const int64_t bottom = ClampRound((s_.offsetYmm + box.maxY) * rowsPerMm, kMaxRasterUnits);
        const int64_t dots = std::max<int64_t>(1, right - left), rows = std::max<int64_t>(1, bottom - top);
        const int64_t k = std::max<int32_t>(1, s_.rasterRowsPerLine);
        const int64_t lines = (rows + k - 1) / k;
        // Bottom-up engraving starts at the image's last line and steps up.
        const int64_t startRow = s_.rasterBottomUp ? top + (lines - 1) * k : top;
        out_.rasterLines = static_cast<uint32_t>(lines), out_.rasterDots = static_cast<uint32_t>(dots);
        out_.engraved.Add(kPclOriginXmm + left / dotsPerMm, kPclOriginYmm - top / rowsPerMm);
        out_.engraved.Add(kPclOriginXmm + (left + dots) / dotsPerMm, kPclOriginYmm - (top + lines * k) / rowsPerMm);

        Record("RasterDPI", s_.rasterDpi);
        Record("RasterUnit", s_.rasterRowsPerInch);
        Record("RasterSpeedX", s_.rasterSpeedX);
        Record("RasterSpeedY", s_.rasterSpeedY);
        Record("RasterFiringType", s_.rasterBothDirections ? 0 : 1);
        Record("RasterBandingFree", k);
        Record("RasterBuEngrave", s_.rasterBottomUp ? 1 : 0);
        Record("RasterAccelEngrave", s_.rasterFixedRunUp ? 1 : 0);
        Record("RasterPower", s_.rasterPower);
        Record("ImageWidth", dots);
        Record("ImageHeight", lines);
        Record("SetHorizontalPositionPCL", 1, left);
        Record("SetVerticalPositionPCL", 1, startRow);
        Record("SetStartRasterGraphics", 0);
        for (int64_t i = 0; i < lines && Record("RasterLineOut", 0); ++i) {
        }
        Record("SetEndRasterGraphics", 0);
        Record("ToHpglMode", 0);
        // ToHpglMode brings the carriage to the PCL cursor: the image's left edge, on its last line.  The cuts'
        // moves are relative, so they start from there (to the nearest plotter unit; a plotter unit is three
        // plotbed units).
        const int64_t endRow = s_.rasterBottomUp ? top : top + (lines - 1) * k;
        const int64_t xPbd = left * kPbdPerInch / s_.rasterDpi, yPbd = endRow * kPbdPerInch / s_.rasterRowsPerInch;
        at_ = {static_cast<int64_t>(std::llround((kPclOriginXpbd + xPbd) / 3.0)),
               static_cast<int64_t>(std::llround((kPclOriginYpbd - yPbd) / 3.0))};
    }

    // --- cuts ------------------------------------------------------------------------------------------

    struct Cut {
        int pen;
        const std::vector<Point>* points;
        bool close;  // a fill's ring: back to its first point
    };

    std::vector<Cut> CollectCuts() {
        std::vector<Cut> cuts;
        for (const Path& p : page_.cuts) cuts.push_back({Pen(p.pen), &p.points, false});
        if (s_.fills == Settings::FillMode::CutOutline) {
            for (const FillRegion& f : page_.fills)
                for (const auto& ring : f.rings) cuts.push_back({Pen(f.pen), &ring, true});
        }
        return cuts;
    }

    int Pen(int pen) {
        if (pen >= 0 && pen <= 16) return pen;
        Note("pens outside 0..16 were cut with the default pen " + std::to_string(s_.defaultPen));
        return s_.defaultPen;
    }

    void Cuts() {
        const std::vector<Cut> cuts = CollectCuts();
        std::array<bool, 17> used{};
        for (const Cut& c : cuts)
            if (!c.points->empty()) used[static_cast<std::size_t>(c.pen)] = true;
        Speeds(used);
        for (int pen : PenOrder(s_)) {
            if (!used[static_cast<std::size_t>(pen)]) continue;
            if (down_) Record("pu_default", 0, 0), down_ = false;  // a selection lifts the pen but keeps pen-down
            Record("execute_penselect", pen);
            out_.pens.push_back(pen);
            for (const Cut& c : cuts)
                if (c.pen == pen && !out_.truncated) OnePath(*c.points, c.close);
        }
        if (down_) Record("pu_default", 0, 0), down_ = false;
    }

    // The speed table of the pens that cut: the settings' speeds, else the file's, else the start-up speed.
    void Speeds(const std::array<bool, 17>& used) {
        std::array<int32_t, 16> table;
        table.fill(kStartUpSpeed);
        bool any = false;
        std::string unset;
        for (std::size_t p = 1; p <= 16; ++p) {
            const double mm = s_.penSpeedMmS[p - 1] > 0 ? s_.penSpeedMmS[p - 1] : page_.penSpeedMmS[p - 1];
            if (mm > 0) {
                table[p - 1] = SpeedThousandths(mm), any = true;
                const double t = mm / kYMaxMmPerS * 1000.0;
                if (!(t >= 0.5) || t >= 1000.5)
                    Note("pen speeds outside 1..1041 mm/s were clamped to the machine's range");
            } else if (used[p]) {
                if (!unset.empty()) unset += ", ";
                unset += std::to_string(p);
            }
        }
        if (!unset.empty()) {
            Note("pen" + std::string(unset.find(',') == std::string::npos ? " " : "s ") + unset +
                 " cut at the machine's start-up speed, 520.7 mm/s (500 thousandths of the Y axis maximum): "
                 "give pen speeds in mm/s with --settings (\"penSpeeds\")");
        }
        if (!any) return;
        std::string line = "VectorSpeed";
        for (int32_t v : table) line.append(" ").append(Number(v));
        Line(line);
    }

    GridPoint ToGrid(Point p) {
        const double x = (kPclOriginXmm + s_.offsetXmm + p.x) * kPuPerMm;
        const double y = (kPclOriginYmm - s_.offsetYmm - p.y) * kPuPerMm;
        const double limit = static_cast<double>(kCoordinateLimitPu);
        if (std::fabs(x) > limit || std::fabs(y) > limit)
            Note("coordinates beyond 1.25 km from the bed's corner were clamped there");
        return {ClampRound(x, limit), ClampRound(y, limit)};
    }

    void Move(bool down, GridPoint to) {
        const int64_t dx = to.x - at_.x, dy = to.y - at_.y;
        if (!Record(down ? "pd_default" : "pu_default", dx, dy)) return;
        const double len = std::hypot(static_cast<double>(dx), static_cast<double>(dy)) / kPuPerMm;
        if (down) {
            out_.cutMm += len, ++out_.segments;
            out_.cut.Add(at_.x / kPuPerMm, at_.y / kPuPerMm), out_.cut.Add(to.x / kPuPerMm, to.y / kPuPerMm);
        } else {
            out_.travelMm += len;
            out_.travel.Add(to.x / kPuPerMm, to.y / kPuPerMm);
        }
        at_ = to, down_ = down;
    }

    // One pen-down polyline, reached with the pen up; a path that moves nothing is a dot.
    void OnePath(const std::vector<Point>& points, bool close) {
        std::optional<GridPoint> start;
        bool drew = false;
        const std::size_t n = points.size() + (close ? 1 : 0);
        for (std::size_t i = 0; i < n && !out_.truncated; ++i) {
            const Point& p = points[i < points.size() ? i : 0];
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                Note("points that were not finite numbers were left out");
                continue;
            }
            const GridPoint g = ToGrid(p);
            if (!start) {
                start = g;
                if (!(g == at_) || down_) Move(false, g);  // from the same place: the pen is lifted first
                ++out_.paths;
            } else if (!(g == at_)) {
                Move(true, g), drew = true;
            }
        }
        if (start && !drew) Move(true, at_);
    }

    const Page& page_;
    const Settings& s_;
    uint64_t maxRecords_;
    Written out_;
    GridPoint at_;       // where the moves so far have taken the pen, from the carriage's start
    bool down_ = false;  // the machine's pen-down state after the records so far
};

}  // namespace

void BedExtent::Add(double x, double y) {
    if (empty) {
        minX = maxX = x, minY = maxY = y, empty = false;
        return;
    }
    minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
}

bool BedExtent::InsideBed() const {
    return empty || (minX >= 0 && minY >= 0 && maxX <= kBedWidthMm && maxY <= kBedHeightMm);
}

std::vector<int> PenOrder(const Settings& settings) {
    std::vector<int> order;
    auto add = [&](int pen) {
        if (pen >= 0 && pen <= 16 && std::find(order.begin(), order.end(), pen) == order.end()) order.push_back(pen);
    };
    for (const PenRule& r : settings.penTable) add(r.pen);
    for (int pen = 0; pen <= 16; ++pen) add(pen);
    return order;
}

int32_t SpeedThousandths(double mmPerS) {
    const double t = std::round(mmPerS / kYMaxMmPerS * 1000.0);
    if (!(t >= 1.0)) return 1;
    return t > 1000.0 ? 1000 : static_cast<int32_t>(t);
}

Written WriteCommands(const Page& page, const Settings& settings, const WriteLimits& limits) {
    return Writer(page, settings, limits).Run();
}

std::vector<std::string> SummaryNotes(const Written& w) {
    std::vector<std::string> notes;
    std::string pens;
    for (int p : w.pens) {
        if (!pens.empty()) pens += ", ";
        pens += std::to_string(p);
    }
    notes.push_back(std::to_string(w.paths) + " paths of " + std::to_string(w.segments) + " segments (" + Mm(w.cutMm) +
                    " mm), " + std::to_string(w.regions) + " engraving regions, " + std::to_string(w.images) +
                    " images; pens used: " + (pens.empty() ? "none" : pens));
    if (w.rasterLines > 0) {
        notes.push_back("engraving: one image of " + std::to_string(w.rasterDots) + " dots x " +
                        std::to_string(w.rasterLines) + " raster lines, " + Mm(w.engraved.maxX - w.engraved.minX) +
                        " x " + Mm(w.engraved.maxY - w.engraved.minY) + " mm");
    }
    BedExtent all = w.cut;
    if (!w.engraved.empty) all.Add(w.engraved.minX, w.engraved.minY), all.Add(w.engraved.maxX, w.engraved.maxY);
    if (all.empty) {
        notes.push_back("nothing is cut or engraved");
    } else {
        notes.push_back("extent on the bed x " + Mm(all.minX) + ".." + Mm(all.maxX) + " mm, y " + Mm(all.minY) + ".." +
                        Mm(all.maxY) + " mm (" + Mm(all.maxX - all.minX) + " x " + Mm(all.maxY - all.minY) +
                        " mm) from the carriage's start corner");
    }
    if (!all.InsideBed()) {
        notes.push_back("warning: the design leaves the bed (0..746 x 0..470 mm)");
    } else if (!w.travel.InsideBed()) {
        notes.push_back("warning: pen-up moves leave the bed (0..746 x 0..470 mm)");
    }
    return notes;
}

}  // namespace corvanta::design

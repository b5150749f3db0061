// Basic shapes and paths: their outlines, and the cuts and fill regions they give.
#include <algorithm>
#include <cmath>

#include "svg/scan.h"
#include "svg/walker.h"

namespace corvanta::svg {
namespace {

void Rectangle(double x, double y, double w, double h, double rx, double ry, Outline& out) {
    if (rx <= 0 || ry <= 0) {
        out.MoveTo({x, y});
        out.LineTo({x + w, y});
        out.LineTo({x + w, y + h});
        out.LineTo({x, y + h});
        out.Close();
        return;
    }
    out.MoveTo({x + rx, y});
    out.LineTo({x + w - rx, y});
    out.ArcTo(rx, ry, 0, false, true, {x + w, y + ry});
    out.LineTo({x + w, y + h - ry});
    out.ArcTo(rx, ry, 0, false, true, {x + w - rx, y + h});
    out.LineTo({x + rx, y + h});
    out.ArcTo(rx, ry, 0, false, true, {x, y + h - ry});
    out.LineTo({x, y + ry});
    out.ArcTo(rx, ry, 0, false, true, {x + rx, y});
    out.Close();
}

void Ellipse(double cx, double cy, double rx, double ry, Outline& out) {
    out.MoveTo({cx + rx, cy});
    out.ArcTo(rx, ry, 0, false, true, {cx, cy + ry});
    out.ArcTo(rx, ry, 0, false, true, {cx - rx, cy});
    out.ArcTo(rx, ry, 0, false, true, {cx, cy - ry});
    out.ArcTo(rx, ry, 0, false, true, {cx + rx, cy});
    out.Close();
}

// A points list; an odd number drops the last, as SVG renders it.
bool Points(std::string_view text, bool close, Outline& out) {
    Scanner scan(text);
    scan.SkipSpace();
    bool first = true;
    while (!scan.AtEnd()) {
        double x = 0, y = 0;
        if (!scan.Number(x)) return false;
        scan.SkipCommaSpace();
        if (!scan.Number(y)) return false;
        scan.SkipCommaSpace();
        if (first) {
            out.MoveTo({x, y});
        } else {
            out.LineTo({x, y});
        }
        first = false;
    }
    if (close && !first) out.Close();
    return true;
}

}  // namespace

bool Walker::BuildShape(xmlNode* node, std::string_view name, const Context& c, Outline& out) {
    const auto len = [&](const char* attribute, char axis) { return Length(node, attribute, c, axis, 0); };
    if (name == "path") {
        const std::string data = Attribute(node, "d");
        if (data.size() > kMaxPathData) {
            ++longPathData_;
            return true;
        }
        return ParsePathData(data, out);
    }
    if (name == "rect") {
        const double w = len("width", 'x'), h = len("height", 'y');
        if (!(w > 0 && h > 0)) return true;
        bool hasRx = false, hasRy = false;
        Attribute(node, "rx", &hasRx);
        Attribute(node, "ry", &hasRy);
        double rx = len("rx", 'x'), ry = len("ry", 'y');
        if (!hasRx) rx = ry;  // one radius stated serves both
        if (!hasRy) ry = rx;
        Rectangle(len("x", 'x'), len("y", 'y'), w, h, std::min(rx, w / 2), std::min(ry, h / 2), out);
        return true;
    }
    if (name == "circle") {
        const double r = len("r", 'd');
        if (r > 0) Ellipse(len("cx", 'x'), len("cy", 'y'), r, r, out);
        return true;
    }
    if (name == "ellipse") {
        const double rx = len("rx", 'x'), ry = len("ry", 'y');
        if (rx > 0 && ry > 0) Ellipse(len("cx", 'x'), len("cy", 'y'), rx, ry, out);
        return true;
    }
    if (name == "line") {
        out.MoveTo({len("x1", 'x'), len("y1", 'y')});
        out.LineTo({len("x2", 'x'), len("y2", 'y')});
        return true;
    }
    return Points(Attribute(node, "points"), name == "polygon", out);
}

void Walker::Shape(xmlNode* node, std::string_view name, const Context& context) {
    const Style& style = context.style;
    if (!style.visible) return;
    if (style.fill.kind == Paint::Kind::None && style.stroke.kind == Paint::Kind::None) return;
    Outline outline(context.toPage, toleranceMm_, budget_);
    if (!BuildShape(node, name, context, outline)) ++badPathData_;
    if (!outline.Finite()) {
        ++outOfRange_;
        return;
    }
    Emit(outline, style);
}

int Walker::PenOf(const Paint& paint, const Style& style) {
    if (paint.kind == Paint::Kind::Server) {
        ++paintServers_;
        return settings_.defaultPen;
    }
    const std::string& rgb = paint.kind == Paint::Kind::CurrentColour ? style.colour : paint.rgb;
    const auto found = penOfColour_.find(rgb);
    if (found != penOfColour_.end()) return found->second;
    unmapped_.insert(rgb);
    return settings_.defaultPen;
}

void Walker::Emit(Outline& outline, const Style& style) {
    std::vector<Subpath>& subpaths = outline.Subpaths();
    if (style.fill.kind != Paint::Kind::None) {
        design::FillRegion region;
        region.rule = style.fillRule;
        for (const Subpath& s : subpaths) {
            if (s.points.size() < 3) continue;  // no area
            region.rings.push_back(s.points);
            const design::Point first = s.points.front(), last = s.points.back();
            if (first.x != last.x || first.y != last.y) region.rings.back().push_back(first);
        }
        if (!region.rings.empty()) {
            region.pen = PenOf(style.fill, style);
            page_.fills.push_back(std::move(region));
        }
    }
    if (style.stroke.kind != Paint::Kind::None) {
        const int pen = PenOf(style.stroke, style);
        for (Subpath& s : subpaths) {
            if (s.points.size() < 2) continue;  // a lone moveto draws nothing
            segments_ += s.points.size() - 1;
            page_.cuts.push_back({pen, std::move(s.points)});
        }
    }
}

}  // namespace corvanta::svg

// Helpers for the SVG reader's tests: reading a drawing, lengths and extents of what it gives.
#pragma once
#include <cmath>
#include <string>

#include "design/design.h"
#include "svg/svg_reader.h"

namespace svg_test {

using corvanta::design::Page;
using corvanta::design::Point;
using corvanta::design::Reading;
using corvanta::design::Settings;

// A drawing in millimetres: `body` inside an <svg> of the given size whose user unit is a millimetre.
inline std::string Drawing(const std::string& body, double widthMm = 200, double heightMm = 200) {
    const std::string w = std::to_string(widthMm), h = std::to_string(heightMm);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" + w +
           "mm\" height=\"" + h + "mm\" viewBox=\"0 0 " + w + " " + h + "\">" + body + "</svg>";
}

inline Reading Read(const std::string& svg, const Settings& settings = Settings{}) {
    return corvanta::svg::ReadSvg(svg, settings);
}

inline double Length(const std::vector<Point>& points) {
    double sum = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        sum += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    return sum;
}

inline double CutLength(const Page& page) {
    double sum = 0;
    for (const auto& p : page.cuts) sum += Length(p.points);
    return sum;
}

inline bool HasNote(const Page& page, const std::string& words) {
    for (const auto& n : page.notes)
        if (n.find(words) != std::string::npos) return true;
    return false;
}

inline std::string Notes(const Page& page) {
    std::string all;
    for (const auto& n : page.notes) all += n + "\n";
    return all;
}

struct Extent {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
};
inline Extent CutExtent(const Page& page) {
    Extent e;
    for (const auto& p : page.cuts)
        for (const auto& q : p.points) {
            e.minX = std::min(e.minX, q.x), e.maxX = std::max(e.maxX, q.x);
            e.minY = std::min(e.minY, q.y), e.maxY = std::max(e.maxY, q.y);
        }
    return e;
}

}  // namespace svg_test

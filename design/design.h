// The design model: what every input reader fills and the one writer turns
// into command records.  A page of cut paths (polylines with a pen) and
// engraving regions (filled shapes and images), plus the reader's notes.
//
// Coordinates are page millimetres as doubles, x to the right and y downward
// from the page's top-left corner (the way SVG and images count).  Readers of
// formats that count y upward (HP-GL) flip it.  Where the page lies on the
// machine's bed is the writer's business, the same for every reader.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace corvanta::design {

struct Point {
    double x = 0, y = 0;  // page millimetres
};

// One cut: a polyline the laser follows with the pen down.
struct Path {
    int pen = 1;                // 1..16, the machine's pen (its speeds come from the pen table); 0 the pen without one
    std::vector<Point> points;  // at least one point; a single point is a dot; closed paths repeat the first point
};

// A filled shape to engrave, as closed rings in page millimetres.
struct FillRegion {
    enum class Rule { NonZero, EvenOdd };
    std::vector<std::vector<Point>> rings;
    Rule rule = Rule::NonZero;
    int pen = 1;  // 1..16: the pen that cuts the outline when the settings say fills are cut
};

// A picture to engrave, placed on the page (axis-aligned; readers resolve
// rotations to the covering rectangle).
struct Bitmap {
    double x = 0, y = 0;           // top-left corner on the page, mm
    double width = 0, height = 0;  // size on the page, mm
    uint32_t columns = 0, rows = 0;
    std::vector<uint8_t> ink;  // columns * rows, row-major from the top: 0 blank .. 255 full power; may be empty
};

struct Page {
    double width = 0, height = 0;  // page size, mm
    std::vector<Path> cuts;        // in file order
    std::vector<FillRegion> fills;
    std::vector<Bitmap> images;
    std::vector<std::string> notes;  // the reader's notes for people, one line each, without line ends
    // Cutting speed a file states for pens 1..16 (HP-GL VS), mm/s; 0 where it states none.
    double penSpeedMmS[16] = {};
};

// What a reader gives back: the page, or why the file could not be read.
struct Reading {
    Page page;
    std::string error;  // empty when the file was read (the page may still be empty; the notes say so)
    bool ok() const { return error.empty(); }
};

}  // namespace corvanta::design

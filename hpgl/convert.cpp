#include <cstdio>

#include "design/writer.h"
#include "hpgl/hpgl.h"
#include "hpgl/interpreter.h"
#include "hpgl/notes.h"

namespace corvanta::hpgl {

namespace {

std::string Millimetres(const char* format, double a, double b, double c, double d, double e, double f) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, a, b, c, d, e, f);
    return buf;
}

// The plot read into a page, and its notes.
design::Page ReadPage(std::string_view plot, const Options& options, NoteBook& notes, bool& truncated) {
    Interpreter interpreter(plot, options, notes);
    interpreter.Run();
    if (interpreter.Instructions() == 0) {
        notes.State("no instructions", plot.empty() ? "the plot is empty" : "the plot holds no HP-GL instruction");
    }
    truncated = interpreter.Builder().Full();
    return std::move(interpreter.Builder().Page());
}

}  // namespace

design::Reading Read(std::string_view plot, const design::Settings&, const Options& options) {
    NoteBook notes;
    bool truncated = false;
    design::Reading r;
    r.page = ReadPage(plot, options, notes, truncated);
    for (const Note& n : notes.Take())
        r.page.notes.push_back(n.text + (n.count > 1 ? " (" + std::to_string(n.count) + " times)" : ""));
    return r;
}

Conversion Convert(std::string_view plot, const Options& options, const design::Settings& settings) {
    NoteBook notes;
    Conversion c;
    const design::Page page = ReadPage(plot, options, notes, c.truncated);
    design::WriteLimits limits;
    limits.maxRecords = options.maxRecords;
    design::Written w = design::WriteCommands(page, settings, limits);
    for (const std::string& line : w.notes) notes.Add("writer: " + line, line);
    if (w.truncated) notes.State("record limit", "the output reached the record limit: the rest was not written");

    c.empty = w.cut.empty;
    if (!w.cut.empty) {
        c.minXmm = w.cut.minX, c.maxXmm = w.cut.maxX, c.minYmm = w.cut.minY, c.maxYmm = w.cut.maxY;
        notes.State("extent", Millimetres("drawn extent x %.1f..%.1f mm, y %.1f..%.1f mm (%.1f x %.1f mm)", c.minXmm,
                                          c.maxXmm, c.minYmm, c.maxYmm, c.maxXmm - c.minXmm, c.maxYmm - c.minYmm));
    } else {
        notes.State("extent", "nothing is drawn (no pen-down move)");
    }
    c.leavesBed = !w.cut.InsideBed() || !w.engraved.InsideBed();
    if (c.leavesBed) {
        notes.State("leaves bed", "warning: the drawing leaves the bed (0..746 x 0..470 mm from plotter 0,0)");
    } else if (!w.travel.InsideBed()) {
        notes.State("travel leaves bed", "warning: pen-up moves leave the bed (0..746 x 0..470 mm from plotter 0,0)");
    }
    c.truncated = c.truncated || w.truncated;
    c.records = w.records;
    c.drawnMm = w.cutMm;
    c.travelMm = w.travelMm;
    c.fills = w.regions;
    c.rasterLines = w.rasterLines;
    c.commands = std::move(w.commands);
    c.notes = notes.Take();
    return c;
}

}  // namespace corvanta::hpgl

#include <cstdio>

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

bool InsideBed(const CommandWriter::Extent& e) {
    return e.empty || (e.minX >= 0 && e.minY >= 0 && e.maxX <= kBedWidthPu && e.maxY <= kBedHeightPu);
}

}  // namespace

Conversion Convert(std::string_view plot, const Options& options) {
    NoteBook notes;
    Interpreter interpreter(plot, options, notes);
    interpreter.Run();
    CommandWriter& out = interpreter.Writer();

    Conversion c;
    if (interpreter.Instructions() == 0) {
        notes.State("no instructions", plot.empty() ? "the plot is empty" : "the plot holds no HP-GL instruction");
    }
    const CommandWriter::Extent& drawn = out.Drawn();
    c.empty = drawn.empty;
    if (!drawn.empty) {
        c.minXmm = static_cast<double>(drawn.minX) / kPuPerMm, c.maxXmm = static_cast<double>(drawn.maxX) / kPuPerMm;
        c.minYmm = static_cast<double>(drawn.minY) / kPuPerMm, c.maxYmm = static_cast<double>(drawn.maxY) / kPuPerMm;
        notes.State("extent", Millimetres("drawn extent x %.1f..%.1f mm, y %.1f..%.1f mm (%.1f x %.1f mm)", c.minXmm,
                                          c.maxXmm, c.minYmm, c.maxYmm, c.maxXmm - c.minXmm, c.maxYmm - c.minYmm));
    } else {
        notes.State("extent", "nothing is drawn (no pen-down move)");
    }
    c.leavesBed = !InsideBed(drawn);
    if (c.leavesBed) {
        notes.State("leaves bed", "warning: the drawing leaves the bed (0..746 x 0..470 mm from plotter 0,0)");
    } else if (!InsideBed(out.Travelled())) {
        notes.State("travel leaves bed", "warning: pen-up moves leave the bed (0..746 x 0..470 mm from plotter 0,0)");
    }
    c.truncated = out.Full();
    c.records = out.Records();
    c.drawnMm = out.DrawnPu() / kPuPerMm;
    c.travelMm = out.TravelPu() / kPuPerMm;
    c.commands = out.TakeText();
    c.notes = notes.Take();
    return c;
}

}  // namespace corvanta::hpgl

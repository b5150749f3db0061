// The library's public entry to the plot reader.
#include "corvanta/plot.h"

#include "hpgl/hpgl.h"

namespace corvanta {

PlotCommands PlotToCommands(std::string_view plot) {
    hpgl::Conversion conv = hpgl::Convert(plot);
    PlotCommands out;
    out.commands = std::move(conv.commands);
    out.notes.reserve(conv.notes.size());
    for (const hpgl::Note& note : conv.notes) out.notes.push_back(hpgl::NoteLine(note));
    out.minXmm = conv.minXmm;
    out.minYmm = conv.minYmm;
    out.maxXmm = conv.maxXmm;
    out.maxYmm = conv.maxYmm;
    out.empty = conv.empty;
    out.leavesBed = conv.leavesBed;
    out.truncated = conv.truncated;
    out.records = conv.records;
    return out;
}

}  // namespace corvanta

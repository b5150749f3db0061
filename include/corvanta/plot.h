// corvanta: HP-GL and HP-GL/2 plots turned into the text of a command file, ready for corvanta::Estimate.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

struct PlotCommands {
    std::string commands;            // command-file text, one record a line, the first "CorvantaCmdVer 1"
    std::vector<std::string> notes;  // what was ignored, approximated or malformed, one line each ("hpgl: ...")
    // Drawn extent (pen-down moves) in millimetres from plotter 0,0; all 0 when nothing is drawn.
    double minXmm = 0.0, minYmm = 0.0, maxXmm = 0.0, maxYmm = 0.0;
    bool empty = true;       // nothing is drawn
    bool leavesBed = false;  // the drawing leaves the machine's bed (746 x 470 mm)
    bool truncated = false;  // the conversion stopped at its record or move limit
    uint64_t records = 0;    // records in `commands`
};

// Reads a whole plot (raw bytes; PCL, PJL and escape sequences around it are skipped).  Never fails: what
// could not be read is named in the notes.
PlotCommands PlotToCommands(std::string_view plot);

}  // namespace corvanta

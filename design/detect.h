// What kind of input a file is, from its content (never its name).
#pragma once
#include <string>
#include <string_view>

namespace corvanta::design {

enum class Kind {
    Unknown,
    Command,     // a command file: its first word is a record keyword
    Hpgl,        // an HP-GL or HP-GL/2 plot, possibly wrapped in PCL or PJL
    Svg,         // an SVG drawing
    Image,       // a photo: PNG, JPEG, GIF or BMP
    Json,        // JSON (a settings file, say): not an input
    Pdf,         // PDF: not read directly
    PostScript,  // PostScript or EPS: not read directly
};

Kind DetectKind(std::string_view bytes);

// "a command file", "an HP-GL plot", "an SVG drawing", ... for messages.
std::string KindDescription(Kind kind);

// The name the command line uses for a kind an input can be (cmd, hpgl, svg, image); empty for the others.
std::string KindOption(Kind kind);

}  // namespace corvanta::design

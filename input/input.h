// Any supported input turned into command text: a command file as it is, an
// HP-GL plot, an SVG drawing or a photo through its reader into the design
// model and the one writer.  What the program, the quote and the page share.
#pragma once
#include <string>
#include <vector>

#include "design/detect.h"
#include "design/settings.h"

namespace corvanta::input {

struct Loaded {
    design::Kind kind = design::Kind::Unknown;  // the kind read (found from the content unless asked)
    std::string commands;                       // command text: the input itself for a command file
    std::vector<std::string> notes;             // the reader's and writer's notes, each prefixed with the kind
    std::string error;                          // empty when the input was read
    bool unknownKind = false;                   // error says what the content is instead (no reader takes it)
    bool ok() const { return error.empty(); }
};

// The kind asked for and the kind found disagree plainly (a drawing given as a
// plot, a command file as a picture): "is ..., not ...; use ...", saying what
// the file at `path` is and what to use; empty when they agree or the content
// tells nothing.
std::string KindMismatch(design::Kind asked, design::Kind found, const std::string& path);

// Reads `bytes` as `kind` (design::Kind::Unknown: found from the content).
Loaded Load(std::string bytes, design::Kind kind, const design::Settings& settings);

// "cmd", "hpgl", "svg", "image" to a kind; Unknown for anything else.
design::Kind KindFromName(const std::string& name);

}  // namespace corvanta::input

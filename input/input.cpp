#include "input/input.h"

#include "design/writer.h"
#include "hpgl/hpgl.h"
#include "image/image_reader.h"
#include "svg/svg_reader.h"

namespace corvanta::input {

design::Kind KindFromName(const std::string& name) {
    if (name == "cmd") return design::Kind::Command;
    if (name == "hpgl") return design::Kind::Hpgl;
    if (name == "svg") return design::Kind::Svg;
    if (name == "image") return design::Kind::Image;
    return design::Kind::Unknown;
}

std::string KindMismatch(design::Kind asked, design::Kind found, const std::string& path) {
    if (found == design::Kind::Unknown || found == asked) return "";
    const std::string use = !design::KindOption(found).empty()
                                ? "; use --input " + path + " (its kind is found from its content)"
                            : found == design::Kind::Json ? "; job settings go with --settings"
                                                          : "; convert it to SVG first (see the README on inputs)";
    return "is " + design::KindDescription(found) + ", not " + design::KindDescription(asked) + use;
}

Loaded Load(std::string bytes, design::Kind kind, const design::Settings& settings) {
    Loaded out;
    out.kind = kind == design::Kind::Unknown ? design::DetectKind(bytes) : kind;
    design::Reading reading;
    switch (out.kind) {
        case design::Kind::Command: out.commands = std::move(bytes); return out;
        case design::Kind::Hpgl: reading = hpgl::Read(bytes, settings); break;
        case design::Kind::Svg: reading = svg::ReadSvg(bytes, settings); break;
        case design::Kind::Image: reading = image::ReadImage(bytes, settings); break;
        default:
            out.unknownKind = true;
            out.error = "is " + design::KindDescription(out.kind) +
                        (out.kind == design::Kind::Pdf || out.kind == design::Kind::PostScript
                             ? ": convert it to SVG first (see the README on inputs)"
                             : ": give a command file, an HP-GL plot, an SVG drawing or a photo (PNG, JPEG, GIF, "
                               "BMP), or name its kind");
            return out;
    }
    if (!reading.ok()) {
        out.error = reading.error;
        return out;
    }
    const std::string prefix = design::KindOption(out.kind) + ": ";
    for (const std::string& note : reading.page.notes) out.notes.push_back(prefix + note);
    design::Written written = design::WriteCommands(reading.page, settings);
    for (const std::string& note : written.notes) out.notes.push_back(prefix + note);
    for (const std::string& note : design::SummaryNotes(written)) out.notes.push_back(prefix + note);
    out.commands = std::move(written.commands);
    return out;
}

}  // namespace corvanta::input

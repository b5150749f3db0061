// The SVG reader of a build without libxml2 (the Windows cross build): every drawing is refused in words.
#include "svg/svg_reader.h"

namespace corvanta::svg {

design::Reading ReadSvg(std::string_view, const design::Settings&) {
    design::Reading r;
    r.error = "SVG drawings are not supported in this build (it was made without libxml2)";
    return r;
}

}  // namespace corvanta::svg

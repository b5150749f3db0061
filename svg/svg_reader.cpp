#include "svg/svg_reader.h"

namespace corvanta::svg {

design::Reading ReadSvg(std::string_view, const design::Settings&) {
    design::Reading r;
    r.error = "SVG drawings are not supported in this build";
    return r;
}

}  // namespace corvanta::svg

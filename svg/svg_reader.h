// SVG drawings read into a design page.
#pragma once
#include <string_view>

#include "design/design.h"
#include "design/settings.h"

namespace corvanta::svg {

design::Reading ReadSvg(std::string_view bytes, const design::Settings& settings);

}  // namespace corvanta::svg

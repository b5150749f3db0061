// SVG reader: a drawing (Inkscape, Illustrator, box generators) becomes a page of cuts, fill regions and
// images in page millimetres.  Stroked shapes are cuts, filled shapes are fill regions, both for a shape with
// both; pens come from the stroke or fill colour through the pen table.  Nothing outside the file is ever read.
#pragma once
#include <string_view>

#include "design/design.h"
#include "design/settings.h"

namespace corvanta::svg {

design::Reading ReadSvg(std::string_view bytes, const design::Settings& settings);

}  // namespace corvanta::svg

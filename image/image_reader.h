// Photos (PNG, JPEG, GIF, BMP) read into a design page.
#pragma once
#include <string_view>

#include "design/design.h"
#include "design/settings.h"

namespace corvanta::image {

design::Reading ReadImage(std::string_view bytes, const design::Settings& settings);

}  // namespace corvanta::image

// The one file that compiles stb_image (PNG, JPEG, BMP and GIF only), behind two calls.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace corvanta::image::stb {

// Width and height from the header; false (with a reason) when stb cannot read it.
bool Info(std::string_view bytes, int& width, int& height, const char*& reason);
// The pixels as 8-bit grey (luminance) and alpha, 2 bytes a pixel, rows from the top; empty (with a reason)
// when they cannot be decoded.
std::vector<uint8_t> GreyAlpha(std::string_view bytes, int& width, int& height, const char*& reason);

}  // namespace corvanta::image::stb

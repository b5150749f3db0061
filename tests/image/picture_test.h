// Pictures made in the tests: PNG and JPEG bytes from stb_image_write, with the resolution chunks patched in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace picture_test {

// Grey-and-alpha pixels, row-major from the top.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint8_t> greyAlpha;  // 2 bytes a pixel
    void Set(int x, int y, uint8_t grey, uint8_t alpha = 255) {
        greyAlpha[2 * (std::size_t(y) * width + x)] = grey;
        greyAlpha[2 * (std::size_t(y) * width + x) + 1] = alpha;
    }
};
// A white, opaque picture.
Pixels White(int width, int height);

std::string Png(const Pixels& pixels);
// A PNG with a pHYs chunk of the given pixels per metre.
std::string PngWithPhys(const Pixels& pixels, uint32_t perMetreX, uint32_t perMetreY);
// A JPEG whose JFIF header states units (0 none, 1 per inch, 2 per cm) and densities.
std::string Jpeg(const Pixels& pixels, int units, int densityX, int densityY);

}  // namespace picture_test

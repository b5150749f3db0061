// Photo reader: a PNG, JPEG, BMP or GIF picture becomes one bitmap to engrave, on a page of the picture's size.
// The picture's physical size comes from the resolution the file states (PNG pHYs, JFIF density, BMP pixels
// per metre), else from the settings.  The decoder is shared with the SVG reader for embedded pictures.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "design/design.h"
#include "design/settings.h"

namespace corvanta::image {

// Largest picture decoded, in pixels; checked from the header before any pixel is decoded
// (a grey-and-alpha copy of it takes twice as many bytes).
inline constexpr uint64_t kMaxPixels = 100'000'000;

// A decoded picture as engraving power.
struct Picture {
    uint32_t columns = 0, rows = 0;
    std::vector<uint8_t> ink;   // columns * rows, row-major from the top: 0 blank (white or transparent) .. 255 black
    double dpiX = 0, dpiY = 0;  // resolution the file states, dots per inch; 0 where it states none
};

struct Decoded {
    Picture picture;
    std::string error;  // empty when decoded
    bool ok() const { return error.empty(); }
};

// Decodes PNG, JPEG, BMP or GIF (its first frame) bytes; any bytes give a picture or an error.
Decoded DecodePicture(std::string_view bytes);

// The stated resolution of PNG, JPEG (JFIF) and BMP headers, dots per inch; 0 where none is stated.
struct Resolution {
    double dpiX = 0, dpiY = 0;
};
Resolution StatedResolution(std::string_view bytes);

// A rectangle of pixels.
struct Window {
    uint32_t column = 0, row = 0, columns = 0, rows = 0;
};
// The smallest window holding every inked pixel (zero columns when the picture is blank).
Window InkedWindow(const Picture& picture);
// The pixels of a window (clipped to the picture).
Picture CutWindow(const Picture& picture, Window window);

// The photo as a page of its own size holding one bitmap, blank margins cropped when the settings say so.
design::Reading ReadImage(std::string_view bytes, const design::Settings& settings);

}  // namespace corvanta::image

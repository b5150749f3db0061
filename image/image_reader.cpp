// The photo reader: one bitmap on a page of the picture's size.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "image/image_reader.h"

namespace corvanta::image {

Window InkedWindow(const Picture& picture) {
    uint32_t left = picture.columns, right = 0, top = picture.rows, bottom = 0;
    for (uint32_t row = 0; row < picture.rows; ++row) {
        const uint8_t* line = picture.ink.data() + std::size_t(row) * picture.columns;
        for (uint32_t column = 0; column < picture.columns; ++column) {
            if (line[column] == 0) continue;
            left = std::min(left, column);
            right = std::max(right, column + 1);
            top = std::min(top, row);
            bottom = row + 1;
        }
    }
    if (left >= right) return {};
    return {left, top, right - left, bottom - top};
}

Picture CutWindow(const Picture& picture, Window window) {
    Picture out;
    out.dpiX = picture.dpiX;
    out.dpiY = picture.dpiY;
    if (window.column >= picture.columns || window.row >= picture.rows) return out;
    out.columns = std::min(window.columns, picture.columns - window.column);
    out.rows = std::min(window.rows, picture.rows - window.row);
    out.ink.reserve(std::size_t(out.columns) * out.rows);
    for (uint32_t row = 0; row < out.rows; ++row) {
        const auto first =
            picture.ink.begin() + std::ptrdiff_t((std::size_t(window.row) + row) * picture.columns) + window.column;
        out.ink.insert(out.ink.end(), first, first + out.columns);
    }
    return out;
}

namespace {

std::string Format(const char* format, double a, double b) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

design::Reading ReadImage(std::string_view bytes, const design::Settings& settings) {
    design::Reading reading;
    Decoded decoded = DecodePicture(bytes);
    if (!decoded.ok()) {
        reading.error = decoded.error;
        return reading;
    }
    Picture& picture = decoded.picture;
    const bool stated = picture.dpiX > 0 && picture.dpiY > 0;
    const double dpiX = stated ? picture.dpiX : settings.imageDpi;
    const double dpiY = stated ? picture.dpiY : settings.imageDpi;
    if (!(std::isfinite(dpiX) && dpiX > 0 && std::isfinite(dpiY) && dpiY > 0)) {
        reading.error = "the picture's resolution must be a positive number of dots per inch";
        return reading;
    }
    design::Page& page = reading.page;
    page.width = picture.columns / dpiX * 25.4;
    page.height = picture.rows / dpiY * 25.4;
    page.notes.push_back("picture: " + std::to_string(picture.columns) + " x " + std::to_string(picture.rows) +
                         " pixels at " + Format("%g x %g", dpiX, dpiY) + " dpi" +
                         (stated ? " (as the file states)" : " (the setting; the file states none)") + ", " +
                         Format("%.2f x %.2f", page.width, page.height) + " mm");
    Window window{0, 0, picture.columns, picture.rows};
    if (settings.cropImageMargins) {
        window = InkedWindow(picture);
        if (window.columns == 0) {
            page.notes.emplace_back("picture: every pixel is blank (white or transparent); nothing to engrave");
            return reading;
        }
        if (window.columns != picture.columns || window.rows != picture.rows) {
            page.notes.push_back("picture: blank margins cropped to " + std::to_string(window.columns) + " x " +
                                 std::to_string(window.rows) + " pixels");
            picture = CutWindow(picture, window);
        }
    }
    design::Bitmap bitmap;
    bitmap.x = window.column / dpiX * 25.4;
    bitmap.y = window.row / dpiY * 25.4;
    bitmap.width = picture.columns / dpiX * 25.4;
    bitmap.height = picture.rows / dpiY * 25.4;
    bitmap.columns = picture.columns;
    bitmap.rows = picture.rows;
    bitmap.ink = std::move(picture.ink);
    page.images.push_back(std::move(bitmap));
    return reading;
}

}  // namespace corvanta::image

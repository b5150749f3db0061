#include "picture_test.h"

#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

namespace picture_test {
namespace {

void Append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
}

void Put32(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char((v >> shift) & 0xFF));
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace

Pixels White(int width, int height) {
    Pixels p;
    p.width = width;
    p.height = height;
    p.greyAlpha.assign(std::size_t(width) * height * 2, 255);
    return p;
}

std::string Png(const Pixels& pixels) {
    std::string out;
    stbi_write_png_to_func(Append, &out, pixels.width, pixels.height, 2, pixels.greyAlpha.data(), pixels.width * 2);
    return out;
}

std::string PngWithPhys(const Pixels& pixels, uint32_t perMetreX, uint32_t perMetreY) {
    std::string png = Png(pixels);
    std::string chunk = "pHYs";
    Put32(chunk, perMetreX);
    Put32(chunk, perMetreY);
    chunk.push_back('\x01');
    std::string full;
    Put32(full, 9);
    full += chunk;
    Put32(full, Crc32(chunk));
    png.insert(33, full);  // after the signature (8 bytes) and IHDR (25 bytes)
    return png;
}

std::string Jpeg(const Pixels& pixels, int units, int densityX, int densityY) {
    std::string out;
    std::vector<uint8_t> rgb;
    for (std::size_t i = 0; i < pixels.greyAlpha.size(); i += 2) rgb.insert(rgb.end(), 3, pixels.greyAlpha[i]);
    stbi_write_jpg_to_func(Append, &out, pixels.width, pixels.height, 3, rgb.data(), 95);
    const std::size_t jfif = out.find(std::string("JFIF\0", 5));
    if (jfif == std::string::npos) return out;
    out[jfif + 7] = char(units);
    out[jfif + 8] = char(densityX >> 8), out[jfif + 9] = char(densityX & 0xFF);
    out[jfif + 10] = char(densityY >> 8), out[jfif + 11] = char(densityY & 0xFF);
    return out;
}

}  // namespace picture_test

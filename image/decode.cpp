// Decoding pictures into ink, and reading the resolution their headers state.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "image/image_reader.h"

#include "image/stb_decoder.h"

namespace corvanta::image {
namespace {

uint32_t BigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
uint32_t LittleEndian32(const unsigned char* p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[0]);
}

// Pixels per metre as dots per inch.  Files store a whole number of pixels per metre, so a picture saved at
// 300 dpi states 11811; when a whole dpi rounds to the stated value, that dpi is meant.
double DpiOfPixelsPerMetre(uint32_t perMetre) {
    if (perMetre == 0) return 0;
    const double dpi = perMetre * 0.0254;
    const double whole = std::round(dpi);
    return whole > 0 && std::round(whole / 0.0254) == perMetre ? whole : dpi;
}

// PNG: the pHYs chunk (x and y pixels per unit, unit 1 = metre) comes before the first IDAT.
Resolution PngResolution(const unsigned char* p, std::size_t size) {
    std::size_t at = 8;
    while (at + 12 <= size) {
        const uint64_t length = BigEndian32(p + at);
        const unsigned char* type = p + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 && at + 8 + 9 <= size) {
            const unsigned char* d = p + at + 8;
            if (d[8] != 1) break;  // unit unknown: only the aspect ratio is stated
            return {DpiOfPixelsPerMetre(BigEndian32(d)), DpiOfPixelsPerMetre(BigEndian32(d + 4))};
        }
        at += 12 + length;
    }
    return {};
}

// JPEG: the JFIF APP0 segment holds units (1 dots per inch, 2 dots per cm) and the x and y densities.
Resolution JfifResolution(const unsigned char* p, std::size_t size) {
    std::size_t at = 2;
    while (at + 4 <= size && p[at] == 0xFF) {
        const unsigned marker = p[at + 1];
        if (marker == 0xFF) {
            ++at;  // fill byte
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;  // markers without a length
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;  // start of scan, end of image
        const std::size_t length = (std::size_t(p[at + 2]) << 8) | p[at + 3];
        const unsigned char* d = p + at + 4;
        if (marker == 0xE0 && length >= 16 && at + 2 + length <= size && std::memcmp(d, "JFIF\0", 5) == 0) {
            const unsigned units = d[7];
            const double x = (unsigned(d[8]) << 8) | d[9], y = (unsigned(d[10]) << 8) | d[11];
            if (units == 1) return {x, y};
            if (units == 2) return {x * 2.54, y * 2.54};
            return {};
        }
        if (length < 2) break;
        at += 2 + length;
    }
    return {};
}

// BMP: an info header of 40 bytes or more holds the pixels per metre at file offsets 38 and 42.
Resolution BmpResolution(const unsigned char* p, std::size_t size) {
    if (size < 46 || LittleEndian32(p + 14) < 40) return {};
    const auto perMetre = [](uint32_t v) { return v > INT32_MAX ? 0.0 : DpiOfPixelsPerMetre(v); };
    return {perMetre(LittleEndian32(p + 38)), perMetre(LittleEndian32(p + 42))};
}

// Width and height from the header of a PNG, GIF or BMP, so the pixel limit is checked before the decoder
// looks further (JPEG puts its size after other segments: stb's header reader finds it).
bool HeaderSize(const unsigned char* p, std::size_t size, uint64_t& width, uint64_t& height) {
    if (size >= 24 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(p + 12, "IHDR", 4) == 0) {
        width = BigEndian32(p + 16);
        height = BigEndian32(p + 20);
        return true;
    }
    if (size >= 10 && std::memcmp(p, "GIF8", 4) == 0) {
        width = p[6] | (unsigned(p[7]) << 8);
        height = p[8] | (unsigned(p[9]) << 8);
        return true;
    }
    if (size >= 26 && p[0] == 'B' && p[1] == 'M' && LittleEndian32(p + 14) >= 40) {
        width = LittleEndian32(p + 18);
        const uint32_t h = LittleEndian32(p + 22);
        height = h > INT32_MAX ? uint64_t(-int64_t(int32_t(h))) : h;  // negative: rows from the top
        return true;
    }
    return false;
}

// A JPEG's Huffman tables each hold at most 256 codes.  stb's decoder trusts the counts and writes past its
// table on more, so every table of the file (also those between the scans of a progressive JPEG) is checked
// first, read the way stb reads it.
bool JpegTablesSound(const unsigned char* p, std::size_t size) {
    std::size_t at = 0;
    while (at + 4 <= size) {
        const unsigned marker = p[at + 1];
        // Entropy-coded data, stuffed zero bytes, fill bytes and markers without a length.
        if (p[at] != 0xFF || marker == 0xFF || marker == 0x00 || marker == 0x01 || marker == 0xD8 ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            at += p[at] == 0xFF && marker != 0xFF ? 2 : 1;
            continue;
        }
        if (marker == 0xD9) break;
        const std::size_t length = (std::size_t(p[at + 2]) << 8) | p[at + 3];
        if (marker == 0xC4) {
            std::size_t table = at + 4;
            for (long left = long(length) - 2; left > 0 && table < size;) {
                unsigned codes = 0;  // stb reads zeros past the end of the file
                for (std::size_t i = 1; i <= 16; ++i) codes += table + i < size ? p[table + i] : 0;
                if (codes > 256) return false;
                table += 17 + codes;
                left -= 17 + long(codes);
            }
        }
        at += 2 + std::max<std::size_t>(length, 2);
    }
    return true;
}

std::string TooLarge(uint64_t width, uint64_t height) {
    return "the picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than the limit of " + std::to_string(kMaxPixels) + " pixels";
}

}  // namespace

Resolution StatedResolution(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    Resolution r;
    if (size >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0) r = PngResolution(p, size);
    if (size >= 4 && p[0] == 0xFF && p[1] == 0xD8) r = JfifResolution(p, size);
    if (size >= 2 && p[0] == 'B' && p[1] == 'M') r = BmpResolution(p, size);
    // A file stating one axis only is read as square pixels.
    if (r.dpiX <= 0) r.dpiX = r.dpiY;
    if (r.dpiY <= 0) r.dpiY = r.dpiX;
    return r;
}

Decoded DecodePicture(std::string_view bytes) {
    Decoded out;
    if (bytes.size() > INT_MAX) {
        out.error = "the picture file is larger than 2 GB";
        return out;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    uint64_t headerWidth = 0, headerHeight = 0;
    if (HeaderSize(p, bytes.size(), headerWidth, headerHeight) && headerWidth * headerHeight > kMaxPixels) {
        out.error = TooLarge(headerWidth, headerHeight);
        return out;
    }
    // (stb takes fill bytes before the start-of-image marker: any file opening with 0xFF may be read as JPEG.)
    if (!bytes.empty() && p[0] == 0xFF && !JpegTablesSound(p, bytes.size())) {
        out.error = "the JPEG picture has a malformed Huffman table";
        return out;
    }
    int width = 0, height = 0;
    const char* reason = "";
    if (!stb::Info(bytes, width, height, reason)) {
        out.error = std::string("not a PNG, JPEG, BMP or GIF picture (") + reason + ")";
        return out;
    }
    if (width <= 0 || height <= 0) {
        out.error = "the picture has no pixels";
        return out;
    }
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels > kMaxPixels) {
        out.error = TooLarge(uint64_t(width), uint64_t(height));
        return out;
    }
    // No picture format packs more than about 8,000 pixels into a byte (deflate at best 1,032 to one, on
    // pixels of one bit); a header that claims more is false and would only make the decoder fill memory.
    if (pixels > (uint64_t(1) << 20) + uint64_t(bytes.size()) * 10'000) {
        out.error = "the picture's header states " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels, more than its " + std::to_string(bytes.size()) + " bytes can hold";
        return out;
    }
    // Grey and alpha, 8 bits each; stb computes the grey level from red, green and blue as luminance.
    const std::vector<uint8_t> grey = stb::GreyAlpha(bytes, width, height, reason);
    if (grey.empty()) {
        out.error = std::string("the picture could not be decoded (") + reason + ")";
        return out;
    }
    Picture& pic = out.picture;
    pic.columns = static_cast<uint32_t>(width);
    pic.rows = static_cast<uint32_t>(height);
    pic.ink.resize(grey.size() / 2);
    for (std::size_t i = 0; i < pic.ink.size(); ++i) {
        const unsigned level = grey[2 * i], alpha = grey[2 * i + 1];
        // Darkness weighted by coverage: white and transparent pixels are blank.
        pic.ink[i] = static_cast<uint8_t>(((255 - level) * alpha + 127) / 255);
    }
    const Resolution r = StatedResolution(bytes);
    pic.dpiX = r.dpiX;
    pic.dpiY = r.dpiY;
    return out;
}

}  // namespace corvanta::image

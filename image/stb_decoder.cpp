#include "image/stb_decoder.h"

#include <climits>
#include <memory>

// GCC sees stb's reader contexts, filled field by field, as maybe uninitialised once inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
// A side of more than 2^20 pixels would pass the pixel limit only as a thin strip; refuse it in the decoder too.
#define STBI_MAX_DIMENSIONS (1 << 20)
#include <stb/stb_image.h>

namespace corvanta::image::stb {
namespace {

struct StbFree {
    void operator()(unsigned char* p) const { stbi_image_free(p); }
};

}  // namespace

bool Info(std::string_view bytes, int& width, int& height, const char*& reason) {
    int channels = 0;
    if (bytes.size() > INT_MAX) {
        reason = "file too large";
        return false;
    }
    const auto* p = reinterpret_cast<const stbi_uc*>(bytes.data());
    if (stbi_info_from_memory(p, static_cast<int>(bytes.size()), &width, &height, &channels)) return true;
    reason = stbi_failure_reason();
    return false;
}

std::vector<uint8_t> GreyAlpha(std::string_view bytes, int& width, int& height, const char*& reason) {
    int channels = 0;
    if (bytes.size() > INT_MAX) {
        reason = "file too large";
        return {};
    }
    const auto* p = reinterpret_cast<const stbi_uc*>(bytes.data());
    std::unique_ptr<unsigned char, StbFree> pixels(
        stbi_load_from_memory(p, static_cast<int>(bytes.size()), &width, &height, &channels, 2));
    if (!pixels || width <= 0 || height <= 0) {
        reason = pixels ? "no pixels" : stbi_failure_reason();
        return {};
    }
    return {pixels.get(), pixels.get() + std::size_t(width) * std::size_t(height) * 2};
}

}  // namespace corvanta::image::stb

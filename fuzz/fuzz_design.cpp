// libFuzzer target for the design readers: any bytes, read as an SVG drawing and as a photo, give a page or
// an error, and a page's numbers are finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "image/image_reader.h"
#include "svg/svg_reader.h"

namespace {

void Check(const corvanta::design::Reading& r) {
    if (!r.ok()) return;
    const auto& page = r.page;
    if (!std::isfinite(page.width) || !std::isfinite(page.height)) std::abort();
    for (const auto& cut : page.cuts)
        for (const auto& p : cut.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) std::abort();
    for (const auto& b : page.images)
        if (b.ink.size() != std::size_t(b.columns) * b.rows) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const corvanta::design::Settings settings;
    Check(corvanta::svg::ReadSvg(bytes, settings));
    Check(corvanta::image::ReadImage(bytes, settings));
    return 0;
}

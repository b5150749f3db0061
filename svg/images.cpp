// Embedded pictures: data: URIs decoded by the photo reader's decoder, placed by their viewport,
// preserveAspectRatio and transform (as the axis-aligned rectangle covering them), and clipped to the page.
#include <algorithm>
#include <cmath>
#include <optional>

#include "image/image_reader.h"
#include "svg/scan.h"
#include "svg/walker.h"

namespace corvanta::svg {
namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
}

// The bytes of a base64 data: URI; an empty string and a reason when it is not one.
std::string DataUriBytes(std::string_view uri, std::string& why) {
    if (uri.substr(0, 5) != "data:") {
        why = "only pictures embedded in the file (data: URIs) are read";
        return {};
    }
    const std::size_t comma = uri.find(',');
    if (comma == std::string_view::npos || uri.substr(0, comma).find(";base64") == std::string_view::npos) {
        why = "only base64 data: URIs are read";
        return {};
    }
    std::string bytes;
    bytes.reserve((uri.size() - comma) / 4 * 3);
    unsigned bits = 0;
    int count = 0;
    for (char c : uri.substr(comma + 1)) {
        const int v = Base64Value(c);
        if (v < 0) continue;  // line breaks, spaces and padding
        bits = (bits << 6) | unsigned(v);
        if (++count == 4) {
            bytes.push_back(char(bits >> 16)), bytes.push_back(char(bits >> 8)), bytes.push_back(char(bits));
            bits = 0, count = 0;
        }
    }
    if (count == 2) bytes.push_back(char(bits >> 4));
    if (count == 3) bytes.push_back(char(bits >> 10)), bytes.push_back(char(bits >> 2));
    return bytes;
}

// The ink reordered so its rows run down the page and its columns across, for maps that turn the picture by
// quarter turns or mirror it.  False for other maps: the picture then stays as it is, on its covering rectangle.
bool Orient(const Matrix& m, image::Picture& picture) {
    const double scale = std::fabs(m.a) + std::fabs(m.b) + std::fabs(m.c) + std::fabs(m.d), tiny = 1e-9 * scale;
    const bool straight = std::fabs(m.b) <= tiny && std::fabs(m.c) <= tiny;
    const bool turned = std::fabs(m.a) <= tiny && std::fabs(m.d) <= tiny;
    if (!straight && !turned) return false;
    const uint32_t columns = picture.columns, rows = picture.rows;
    if (straight && m.a > 0 && m.d > 0) return true;
    std::vector<uint8_t> ink(picture.ink.size());
    const uint32_t outColumns = straight ? columns : rows, outRows = straight ? rows : columns;
    for (uint32_t v = 0; v < outRows; ++v) {
        for (uint32_t u = 0; u < outColumns; ++u) {
            // The picture's pixel (i, j) shown at (u, v) on the page.
            uint32_t i = 0, j = 0;
            if (straight) {
                i = m.a > 0 ? u : columns - 1 - u;
                j = m.d > 0 ? v : rows - 1 - v;
            } else {
                i = m.b > 0 ? v : columns - 1 - v;
                j = m.c > 0 ? u : rows - 1 - u;
            }
            ink[std::size_t(v) * outColumns + u] = picture.ink[std::size_t(j) * columns + i];
        }
    }
    picture.ink = std::move(ink);
    picture.columns = outColumns, picture.rows = outRows;
    return true;
}

// A pixel index from a position in pixels, within 0..limit (NaN gives 0).
uint32_t PixelIndex(double v, uint32_t limit) {
    if (!(v > 0)) return 0;
    return v >= limit ? limit : static_cast<uint32_t>(v);
}

// Cuts a bitmap to a rectangle of the page; false when nothing of it is left.
bool CropToBox(design::Bitmap& b, const Box& box) {
    const double pixelWidth = b.width / b.columns, pixelHeight = b.height / b.rows;
    const auto first = [](double v, uint32_t n) { return PixelIndex(std::floor(v + 1e-9), n); };
    const auto end = [](double v, uint32_t n) { return PixelIndex(std::ceil(v - 1e-9), n); };
    const uint32_t c0 = first((box.x - b.x) / pixelWidth, b.columns);
    const uint32_t c1 = end((box.x + box.width - b.x) / pixelWidth, b.columns);
    const uint32_t r0 = first((box.y - b.y) / pixelHeight, b.rows);
    const uint32_t r1 = end((box.y + box.height - b.y) / pixelHeight, b.rows);
    if (c0 >= c1 || r0 >= r1) return false;
    if (c0 > 0 || r0 > 0 || c1 < b.columns || r1 < b.rows) {
        image::Picture picture;
        picture.columns = b.columns, picture.rows = b.rows, picture.ink = std::move(b.ink);
        picture = image::CutWindow(picture, {c0, r0, c1 - c0, r1 - r0});
        b.x += c0 * pixelWidth, b.y += r0 * pixelHeight;
        b.width = picture.columns * pixelWidth, b.height = picture.rows * pixelHeight;
        b.columns = picture.columns, b.rows = picture.rows, b.ink = std::move(picture.ink);
    }
    return true;
}

}  // namespace

void Walker::Image(xmlNode* node, const Context& context) {
    if (!context.style.visible) return;
    std::string why;
    const std::string bytes = DataUriBytes(Trim(Attribute(node, "href")), why);
    image::Decoded decoded;
    if (bytes.empty()) {
        decoded.error = why;
    } else if (decodedPixels_ >= kMaxImagePixels) {
        decoded.error = "the drawing's pictures hold more than " + std::to_string(kMaxImagePixels) + " pixels";
    } else {
        decoded = image::DecodePicture(bytes);
        decodedPixels_ += uint64_t(decoded.picture.columns) * decoded.picture.rows;
    }
    if (!decoded.ok()) {
        ++imagesSkipped_;
        imageProblem_ = decoded.error;
        return;
    }
    image::Picture& picture = decoded.picture;
    // The viewport, in user units; without a size, a pixel is a user unit.
    Box port{Length(node, "x", context, 'x', 0), Length(node, "y", context, 'y', 0),
             Length(node, "width", context, 'x', picture.columns), Length(node, "height", context, 'y', picture.rows)};
    if (!(port.width > 0 && port.height > 0)) return;
    const Box pixels{0, 0, double(picture.columns), double(picture.rows)};
    const Matrix toPort = ViewBoxMatrix(port, pixels, Attribute(node, "preserveAspectRatio"));
    // Pixels outside the viewport (slice) are cut off.
    image::Window window{0, 0, picture.columns, picture.rows};
    if (!std::isfinite(toPort.a + toPort.d + toPort.e + toPort.f) || !(toPort.a > 0 && toPort.d > 0)) {
        ++outOfRange_;
        return;
    }
    const auto pixelAt = [](double v, uint32_t limit) { return PixelIndex(v, limit); };
    window.column = pixelAt(std::floor((port.x - toPort.e) / toPort.a + 1e-9), picture.columns);
    window.row = pixelAt(std::floor((port.y - toPort.f) / toPort.d + 1e-9), picture.rows);
    window.columns =
        pixelAt(std::ceil((port.x + port.width - toPort.e) / toPort.a - 1e-9), picture.columns) - window.column;
    window.rows = pixelAt(std::ceil((port.y + port.height - toPort.f) / toPort.d - 1e-9), picture.rows) - window.row;
    if (window.columns == 0 || window.rows == 0) return;
    if (window.columns != picture.columns || window.rows != picture.rows) picture = image::CutWindow(picture, window);
    // The covering rectangle on the page of the pixels kept.
    const Matrix toPage = context.toPage * toPort;
    const double x0 = window.column, y0 = window.row, x1 = x0 + window.columns, y1 = y0 + window.rows;
    const Vec corners[4] = {toPage.Apply({x0, y0}), toPage.Apply({x1, y0}), toPage.Apply({x0, y1}),
                            toPage.Apply({x1, y1})};
    double left = corners[0].x, right = left, top = corners[0].y, bottom = top;
    for (const Vec& p : corners) {
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    if (!std::isfinite(left + right + top + bottom) || !(right > left && bottom > top)) {
        ++outOfRange_;
        return;
    }
    if (!Orient(toPage, picture)) ++imagesTurned_;
    design::Bitmap bitmap;
    bitmap.x = left, bitmap.y = top, bitmap.width = right - left, bitmap.height = bottom - top;
    bitmap.columns = picture.columns, bitmap.rows = picture.rows;
    bitmap.ink = std::move(picture.ink);
    // Cut to the clip paths of the picture and its groups (each as the rectangle covering it).
    if (context.clipped && !CropToBox(bitmap, context.clip)) return;
    page_.images.push_back(std::move(bitmap));
}

void Walker::ClipImagesToPage() {
    std::vector<design::Bitmap> kept;
    for (design::Bitmap& b : page_.images) {
        if (!CropToBox(b, {0, 0, page_.width, page_.height})) {
            ++imagesOffPage_;
            continue;
        }
        kept.push_back(std::move(b));
    }
    page_.images = std::move(kept);
}

std::optional<Box> Walker::ClipBox(xmlNode* node, const Context& context) {
    const std::string reference(Trim(Attribute(node, "clip-path")));
    if (reference.size() < 6 || reference.compare(0, 5, "url(#") != 0 || reference.back() != ')') return std::nullopt;
    const auto found = ids_.find(reference.substr(5, reference.size() - 6));
    if (found == ids_.end() || ElementName(found->second) != "clipPath") return std::nullopt;
    xmlNode* clip = found->second;
    if (Trim(Attribute(clip, "clipPathUnits")) == "objectBoundingBox") return std::nullopt;  // not read
    auto cached = clipBoxes_.find(clip);
    if (cached == clipBoxes_.end()) cached = clipBoxes_.emplace(clip, ClipPathBox(clip, context)).first;
    const Box& box = cached->second;
    if (box.width <= 0 || box.height <= 0) return Box{};
    Matrix toPage = context.toPage;
    if (auto m = ParseTransform(Attribute(clip, "transform"))) toPage = toPage * *m;
    const Vec corners[4] = {toPage.Apply({box.x, box.y}), toPage.Apply({box.x + box.width, box.y}),
                            toPage.Apply({box.x, box.y + box.height}),
                            toPage.Apply({box.x + box.width, box.y + box.height})};
    double left = corners[0].x, right = left, top = corners[0].y, bottom = top;
    for (const Vec& p : corners) {
        left = std::min(left, p.x), right = std::max(right, p.x);
        top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    if (!std::isfinite(left + right + top + bottom)) return Box{};
    return Box{left, top, right - left, bottom - top};
}

Box Walker::ClipPathBox(xmlNode* clip, const Context& context) {
    // The rectangle covering the clip path's shapes in its user units, worked out once for each clip path
    // (a <use> inside it is followed one step).
    double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
    for (xmlNode* child = clip->children; child; child = child->next) {
        if (!IsSvgElement(child)) continue;
        xmlNode* shape = child;
        Context inner = context;
        inner.toPage = Matrix{};
        if (ElementName(child) == "use") {
            const std::string href(Trim(Attribute(child, "href")));
            const auto target = href.size() > 1 && href[0] == '#' ? ids_.find(href.substr(1)) : ids_.end();
            if (target == ids_.end()) continue;
            shape = target->second;
            inner.toPage = Matrix::Translate(Length(child, "x", context, 'x', 0), Length(child, "y", context, 'y', 0));
        }
        const std::string_view name = ElementName(shape);
        if (!(name == "path" || name == "rect" || name == "circle" || name == "ellipse" || name == "polygon" ||
              name == "polyline"))
            continue;
        if (auto m = ParseTransform(Attribute(shape, "transform"))) inner.toPage = inner.toPage * *m;
        Outline outline(inner.toPage, 0.01, clipBudget_);
        BuildShape(shape, name, inner, outline);
        for (const Subpath& s : outline.Subpaths()) {
            for (const design::Point& p : s.points) {
                left = std::min(left, p.x), right = std::max(right, p.x);
                top = std::min(top, p.y), bottom = std::max(bottom, p.y);
            }
        }
    }
    if (!(right >= left && bottom >= top) || !std::isfinite(left + right + top + bottom)) return Box{};
    return Box{left, top, right - left, bottom - top};
}

}  // namespace corvanta::svg

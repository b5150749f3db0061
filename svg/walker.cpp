#include "svg/walker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "svg/scan.h"

namespace corvanta::svg {
namespace {

constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";

bool Among(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        out.push_back(text.substr(start, end - start));
        at = end;
    }
    return out;
}

}  // namespace

std::string Attribute(const xmlNode* node, const char* name, bool* present) {
    if (present) *present = false;
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        if (std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0) continue;
        // Attributes of other namespaces (Inkscape's, Illustrator's) are not SVG's; href may be xlink's.
        if (a->ns && std::strcmp(name, "href") != 0) continue;
        std::string value;
        for (const xmlNode* t = a->children; t; t = t->next)
            if (t->type == XML_TEXT_NODE && t->content) value += reinterpret_cast<const char*>(t->content);
        if (present) *present = true;
        return value;
    }
    return {};
}

bool IsSvgElement(const xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE) return false;
    return !node->ns ||
           (node->ns->href && std::strcmp(reinterpret_cast<const char*>(node->ns->href), kSvgNamespace) == 0);
}

std::string_view ElementName(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

bool ParseViewBox(std::string_view text, Box& box) {
    Scanner scan(text);
    double v[4];
    for (double& d : v) {
        scan.SkipCommaSpace();
        if (!scan.Number(d)) return false;
    }
    if (!(v[2] > 0 && v[3] > 0)) return false;
    box = {v[0], v[1], v[2], v[3]};
    return true;
}

Matrix ViewBoxMatrix(const Box& port, const Box& view, std::string_view preserveAspectRatio) {
    const std::vector<std::string_view> words = Words(preserveAspectRatio);
    std::size_t i = !words.empty() && words[0] == "defer" ? 1 : 0;
    const std::string_view align = i < words.size() ? words[i] : "xMidYMid";
    const bool slice = i + 1 < words.size() && words[i + 1] == "slice";
    double sx = port.width / view.width, sy = port.height / view.height;
    double tx = port.x - view.x * sx, ty = port.y - view.y * sy;
    if (align != "none") {
        sx = sy = slice ? std::max(sx, sy) : std::min(sx, sy);
        tx = port.x - view.x * sx, ty = port.y - view.y * sy;
        const double spareX = port.width - view.width * sx, spareY = port.height - view.height * sy;
        if (align.find("xMid") != std::string_view::npos) tx += spareX / 2;
        if (align.find("xMax") != std::string_view::npos) tx += spareX;
        if (align.find("YMid") != std::string_view::npos) ty += spareY / 2;
        if (align.find("YMax") != std::string_view::npos) ty += spareY;
    }
    return {sx, 0, 0, sy, tx, ty};
}

Walker::Walker(xmlDoc* document, const design::Settings& settings)
    : document_(document),
      settings_(settings),
      unitsPerInch_(settings.svgUnitsPerInch),
      toleranceMm_(std::max(settings.curveToleranceMm, 1e-4)) {
    budget_.pointsLeft = kMaxPoints;
    if (!(toleranceMm_ < 1e6)) toleranceMm_ = 0.01;  // NaN or absurd: the default
    for (const design::PenRule& rule : settings.penTable)
        if (auto rgb = ParseColour(rule.colour)) penOfColour_.emplace(*rgb, rule.pen);
}

Style Walker::StyleOf(xmlNode* node, const Style& parent) {
    Style style = parent;
    style.displayed = true;
    auto own = ownStyle_.find(node);
    if (own == ownStyle_.end()) {
        // Once per element, however many copies <use> makes: attributes, then rules, then the style attribute.
        Declarations declarations;
        for (const xmlAttr* a = node->properties; a; a = a->next) {
            const std::string_view name = reinterpret_cast<const char*>(a->name);
            if (!a->ns && IsStyleProperty(name))
                declarations.emplace_back(std::string(name), Attribute(node, name.data()));
        }
        if (!sheet_.Empty()) {
            const std::string id = Attribute(node, "id"), classes = Attribute(node, "class");
            const Declarations ruled = sheet_.Matching({ElementName(node), id, Words(classes)});
            declarations.insert(declarations.end(), ruled.begin(), ruled.end());
        }
        bool present = false;
        const std::string inline_ = Attribute(node, "style", &present);
        if (present) {
            const Declarations stated = ParseDeclarations(inline_);
            declarations.insert(declarations.end(), stated.begin(), stated.end());
        }
        own = ownStyle_.emplace(node, Reduce(declarations)).first;
    }
    Apply(style, own->second);
    return style;
}

void Walker::VisitChildren(xmlNode* node, const Context& context) {
    for (xmlNode* child = node->children; child && !budget_.exhausted && visits_ <= kMaxVisits; child = child->next)
        if (IsSvgElement(child)) Visit(child, context);
}

void Walker::Visit(xmlNode* node, const Context& parent) {
    if (++visits_ > kMaxVisits) return;
    if (parent.depth >= kMaxDepth) {
        ++tooDeep_;
        return;
    }
    const std::string_view name = ElementName(node);
    if (name == "text") {
        ++texts_;
        return;
    }
    if (!Among(name, {"svg", "g", "a", "switch", "use", "image", "path", "rect", "circle", "ellipse", "line",
                      "polyline", "polygon"}))
        return;  // definitions, symbols (drawn through <use>), metadata, unknown elements
    Context context = parent;
    context.depth = parent.depth + 1;
    context.style = StyleOf(node, parent.style);
    if (!context.style.displayed) return;
    bool present = false;
    const std::string transform = Attribute(node, "transform", &present);
    if (present) {
        if (auto m = ParseTransform(transform)) {
            context.toPage = context.toPage * *m;
        } else {
            ++badTransforms_;
        }
    }
    if (auto clip = ClipBox(node, context)) {
        const Box& old = context.clip;
        if (context.clipped) {
            const double left = std::max(old.x, clip->x), top = std::max(old.y, clip->y);
            const double right = std::min(old.x + old.width, clip->x + clip->width);
            const double bottom = std::min(old.y + old.height, clip->y + clip->height);
            clip = Box{left, top, std::max(0.0, right - left), std::max(0.0, bottom - top)};
        }
        context.clip = *clip;
        context.clipped = true;
    }
    if (name == "g" || name == "a") {
        VisitChildren(node, context);
    } else if (name == "switch") {
        // The first child whose conditions hold: this reader has no extensions (Illustrator's foreignObject
        // asks for one, its drawing follows), and takes features and languages as met.
        for (xmlNode* child = node->children; child; child = child->next) {
            if (!IsSvgElement(child)) continue;
            bool extensions = false;
            const std::string required(Trim(Attribute(child, "requiredExtensions", &extensions)));
            if (ElementName(child) == "foreignObject" || (extensions && !required.empty())) continue;
            Visit(child, context);
            break;
        }
    } else if (name == "svg") {
        const Box port{Length(node, "x", context, 'x', 0), Length(node, "y", context, 'y', 0),
                       Length(node, "width", context, 'x', context.viewportWidth),
                       Length(node, "height", context, 'y', context.viewportHeight)};
        Box view;
        if (ParseViewBox(Attribute(node, "viewBox"), view)) {
            if (port.width <= 0 || port.height <= 0) return;
            context.toPage = context.toPage * ViewBoxMatrix(port, view, Attribute(node, "preserveAspectRatio"));
            context.viewportWidth = view.width, context.viewportHeight = view.height;
        } else {
            context.toPage = context.toPage * Matrix::Translate(port.x, port.y);
            context.viewportWidth = port.width, context.viewportHeight = port.height;
        }
        VisitChildren(node, context);
    } else if (name == "use") {
        Use(node, context);
    } else if (name == "image") {
        Image(node, context);
    } else {
        Shape(node, name, context);
    }
}

void Walker::Use(xmlNode* node, const Context& context) {
    const std::string href(Trim(Attribute(node, "href")));
    if (href.empty()) return;
    if (href[0] != '#') {
        ++externalRefs_;
        return;
    }
    const auto found = ids_.find(href.substr(1));
    if (found == ids_.end()) {
        ++missingRefs_;
        return;
    }
    xmlNode* target = found->second;
    if (std::find(useStack_.begin(), useStack_.end(), target) != useStack_.end()) {
        ++useCycles_;
        return;
    }
    if (useStack_.size() >= kMaxUseNesting) {
        ++tooDeep_;
        return;
    }
    Context inner = context;
    inner.toPage =
        inner.toPage * Matrix::Translate(Length(node, "x", context, 'x', 0), Length(node, "y", context, 'y', 0));
    useStack_.push_back(target);
    if (ElementName(target) == "symbol") {
        inner.style = StyleOf(target, inner.style);
        Box view;
        if (inner.style.displayed && ParseViewBox(Attribute(target, "viewBox"), view)) {
            const Box port{0, 0, Length(node, "width", context, 'x', context.viewportWidth),
                           Length(node, "height", context, 'y', context.viewportHeight)};
            inner.toPage = inner.toPage * ViewBoxMatrix(port, view, Attribute(target, "preserveAspectRatio"));
            inner.viewportWidth = view.width, inner.viewportHeight = view.height;
        }
        ++inner.depth;
        if (inner.style.displayed) VisitChildren(target, inner);
    } else {
        Visit(target, inner);
    }
    useStack_.pop_back();
}

double Walker::Length(xmlNode* node, const char* name, const Context& context, char axis, double fallback) const {
    bool present = false;
    const std::string text = Attribute(node, name, &present);
    if (!present) return fallback;
    const auto length = ParseLength(text);
    if (!length) return fallback;
    const double w = context.viewportWidth, h = context.viewportHeight;
    const double base = axis == 'x' ? w : axis == 'y' ? h : std::sqrt((w * w + h * h) / 2);
    return ToUserUnits(*length, unitsPerInch_, base);
}

}  // namespace corvanta::svg

// The document as a whole: the index of ids and style sheets, the page's size and the map of user units onto
// it, and the notes that sum up what was read.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "svg/scan.h"
#include "svg/walker.h"

namespace corvanta::svg {
namespace {

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string TextOf(const xmlNode* node) {
    std::string text;
    for (const xmlNode* t = node->children; t; t = t->next)
        if ((t->type == XML_TEXT_NODE || t->type == XML_CDATA_SECTION_NODE) && t->content)
            text += reinterpret_cast<const char*>(t->content);
    return text;
}

}  // namespace

bool Walker::Index(xmlNode* root, std::string& error) {
    std::size_t elements = 0;
    std::vector<xmlNode*> pending{root};
    while (!pending.empty()) {
        xmlNode* node = pending.back();
        pending.pop_back();
        if (++elements > kMaxElements) {
            error = "the drawing has more than " + std::to_string(kMaxElements) + " elements";
            return false;
        }
        bool present = false;
        const std::string id = Attribute(node, "id", &present);
        if (present) ids_.emplace(id, node);
        if (IsSvgElement(node) && ElementName(node) == "style") {
            const std::string type(Trim(Attribute(node, "type")));
            if (type.empty() || type == "text/css") sheet_.Add(TextOf(node));
        }
        // Children pushed last to first, so they are indexed in document order (the first of equal ids wins).
        std::vector<xmlNode*> children;
        for (xmlNode* child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE) children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return true;
}

bool Walker::SetUpPage(xmlNode* root, Context& context, std::string& error) {
    if (!(std::isfinite(unitsPerInch_) && unitsPerInch_ > 0)) {
        error = "the SVG user units per inch must be a positive number";
        return false;
    }
    const auto millimetres = [&](const char* name) -> std::optional<double> {
        const auto length = ParseLength(Attribute(root, name));
        if (!length) return std::nullopt;
        const auto mm = ToMillimetres(*length, unitsPerInch_);
        if (!mm || !(*mm > 0) || !std::isfinite(*mm)) return std::nullopt;
        if (length->unit == Length::Unit::User) sizeInUserUnits_ = true;
        return mm;
    };
    std::optional<double> width = millimetres("width"), height = millimetres("height");
    Box view;
    const bool hasView = ParseViewBox(Attribute(root, "viewBox"), view);
    const double userToMm = 25.4 / unitsPerInch_;
    if (hasView) {
        if (width && !height) height = *width * view.height / view.width;
        if (height && !width) width = *height * view.width / view.height;
        if (!width) width = view.width * userToMm, height = view.height * userToMm, sizeInUserUnits_ = true;
        context.toPage = ViewBoxMatrix({0, 0, *width, *height}, view, Attribute(root, "preserveAspectRatio"));
        context.viewportWidth = view.width, context.viewportHeight = view.height;
    } else {
        context.toPage = Matrix::Scale(userToMm, userToMm);
        context.viewportWidth = width ? *width / userToMm : 0;
        context.viewportHeight = height ? *height / userToMm : 0;
    }
    if (width && height && std::isfinite(*width) && std::isfinite(*height)) {
        page_.width = *width, page_.height = *height;
        pageSized_ = true;
    }
    return true;
}

design::Reading Walker::Run() {
    design::Reading reading;
    xmlNode* root = xmlDocGetRootElement(document_);
    if (!root || !IsSvgElement(root) || ElementName(root) != "svg") {
        reading.error = "not an SVG drawing: the document's root element is not <svg>";
        return reading;
    }
    Context context;
    if (!Index(root, reading.error) || !SetUpPage(root, context, reading.error)) return reading;
    context.style = StyleOf(root, Style{});
    const std::string transform = Attribute(root, "transform");
    if (auto m = ParseTransform(transform)) context.toPage = context.toPage * *m;
    if (context.style.displayed) VisitChildren(root, context);
    if (!pageSized_) {
        // Neither size nor viewBox: the page reaches to the drawing's far edges.
        for (const design::Path& p : page_.cuts)
            for (const design::Point& q : p.points)
                page_.width = std::max(page_.width, q.x), page_.height = std::max(page_.height, q.y);
        for (const design::FillRegion& f : page_.fills)
            for (const auto& ring : f.rings)
                for (const design::Point& q : ring)
                    page_.width = std::max(page_.width, q.x), page_.height = std::max(page_.height, q.y);
        for (const design::Bitmap& b : page_.images)
            page_.width = std::max(page_.width, b.x + b.width), page_.height = std::max(page_.height, b.y + b.height);
        page_.notes.emplace_back(
            "SVG: the drawing states no width, height or viewBox; the page reaches to its far edges");
    }
    ClipImagesToPage();
    WriteNotes();
    // Illustrator counts 72 user units to the inch; its files name it in a comment before the drawing.
    for (const xmlNode* n = document_->children; n && sizeInUserUnits_ && unitsPerInch_ != 72; n = n->next) {
        if (n->type == XML_COMMENT_NODE && n->content &&
            std::string_view(reinterpret_cast<const char*>(n->content)).find("Adobe Illustrator") !=
                std::string_view::npos) {
            page_.notes.emplace_back(
                "SVG: written by Adobe Illustrator, which counts 72 user units to the inch: set the SVG units per "
                "inch to 72 if the size is off");
            break;
        }
    }
    reading.page = std::move(page_);
    return reading;
}

void Walker::WriteNotes() {
    std::vector<std::string>& notes = page_.notes;
    char size[64];
    std::snprintf(size, sizeof size, "%.2f x %.2f mm", page_.width, page_.height);
    notes.push_back("SVG: page " + std::string(size) + "; " + Count(page_.cuts.size(), "cut path", "cut paths") +
                    " of " + Count(segments_, "segment", "segments") + ", " +
                    Count(page_.fills.size(), "fill region", "fill regions") + ", " +
                    Count(page_.images.size(), "image", "images"));
    if (page_.cuts.empty() && page_.fills.empty() && page_.images.empty())
        notes.emplace_back("SVG: nothing to cut or engrave: no visible stroked or filled shape");
    if (texts_)
        notes.push_back("SVG: " + Count(texts_, "text element", "text elements") +
                        " not drawn: convert text to paths in the drawing program (Inkscape: Path > Object to Path)");
    if (!unmapped_.empty()) {
        std::string list;
        for (const std::string& c : unmapped_) list += (list.empty() ? "" : ", ") + c;
        notes.push_back("SVG: colours not in the pen table, drawn with pen " + std::to_string(settings_.defaultPen) +
                        ": " + list);
    }
    if (paintServers_)
        notes.push_back("SVG: " + Count(paintServers_, "gradient or pattern paint", "gradient or pattern paints") +
                        " drawn with pen " + std::to_string(settings_.defaultPen));
    const struct {
        std::size_t count;
        const char* one;
        const char* many;
    } problems[] = {
        {badPathData_, "shape with malformed data, drawn up to the error",
         "shapes with malformed data, drawn up to the error"},
        {badTransforms_, "malformed transform ignored", "malformed transforms ignored"},
        {outOfRange_, "shape with coordinates out of range left out", "shapes with coordinates out of range left out"},
        {longPathData_, "path with more than 4 MiB of data left out", "paths with more than 4 MiB of data left out"},
        {externalRefs_, "reference outside the file not followed", "references outside the file not followed"},
        {missingRefs_, "reference to a missing id left out", "references to missing ids left out"},
        {useCycles_, "<use> that refers back to itself left out",
         "<use> elements that refer back to themselves left out"},
        {tooDeep_, "element nested too deeply left out", "elements nested too deeply left out"},
        {imagesOffPage_, "image off the page left out", "images off the page left out"},
        {imagesTurned_, "image turned by other than quarter turns, engraved unturned on its covering rectangle",
         "images turned by other than quarter turns, engraved unturned on their covering rectangles"},
    };
    for (const auto& p : problems)
        if (p.count) notes.push_back("SVG: " + Count(p.count, p.one, p.many));
    if (imagesSkipped_)
        notes.push_back("SVG: " + Count(imagesSkipped_, "image", "images") + " not placed (" + imageProblem_ + ")");
    if (budget_.exhausted)
        notes.push_back("SVG: the drawing stops at the limit of " + std::to_string(kMaxPoints) + " points");
    if (visits_ > kMaxVisits)
        notes.push_back("SVG: the drawing stops at the limit of " + std::to_string(kMaxVisits) +
                        " elements drawn (counting the copies <use> makes)");
    if (sheet_.Exhausted())
        notes.emplace_back(
            "SVG: the style sheets are too large to match against every element; later elements "
            "were styled without them");
    if (sheet_.Ignored())
        notes.push_back("SVG: " + Count(sheet_.Ignored(), "style rule", "style rules") +
                        " ignored (selectors other than element, class and id, or more than " +
                        std::to_string(StyleSheet::kMaxRules) + " rules)");
}

}  // namespace corvanta::svg

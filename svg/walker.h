// The walk over an SVG document: styles cascade and transforms compose from the root down; shapes become cuts
// and fill regions, pictures become bitmaps; <use> copies what it references.  Every kind of work is bounded.
#pragma once
#include <libxml/tree.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "design/design.h"
#include "design/settings.h"
#include "svg/geometry.h"
#include "svg/style.h"

namespace corvanta::svg {

// Bounds on the work a drawing may ask for.
inline constexpr std::size_t kMaxElements = 500'000;  // elements in the document
inline constexpr std::size_t kMaxVisits = 250'000;    // elements drawn, counting each copy a <use> makes
inline constexpr int kMaxDepth = 1000;                // nesting of elements, through <use> too
inline constexpr std::size_t kMaxUseNesting = 32;     // <use> inside what a <use> references
inline constexpr std::size_t kMaxPoints = 2'000'000;  // points of all cuts
inline constexpr std::size_t kMaxPathData = 4u << 20;
inline constexpr uint64_t kMaxImagePixels =
    100'000'000;  // pixels of all embedded pictures, each copy counted  // bytes of one path's data

// A rectangle: x and y of its top-left corner, its width and height.
struct Box {
    double x = 0, y = 0, width = 0, height = 0;
};

// What an element inherits from its parent.
struct Context {
    Matrix toPage;             // user units -> page millimetres
    Style style;               // the parent's style
    double viewportWidth = 0;  // user units, for percentages
    double viewportHeight = 0;
    int depth = 0;
    bool clipped = false;  // pictures are cut to `clip`, page millimetres
    Box clip;
};

// An optional attribute's value (text nodes only: entity references in attributes are never expanded).
std::string Attribute(const xmlNode* node, const char* name, bool* present = nullptr);
bool IsSvgElement(const xmlNode* node);
std::string_view ElementName(const xmlNode* node);

// A viewBox mapped onto a viewport (x, y, width, height) as preserveAspectRatio says.
bool ParseViewBox(std::string_view text, Box& box);
Matrix ViewBoxMatrix(const Box& viewport, const Box& viewBox, std::string_view preserveAspectRatio);

class Walker {
public:
    Walker(xmlDoc* document, const design::Settings& settings);
    design::Reading Run();

private:
    bool Index(xmlNode* root, std::string& error);
    bool SetUpPage(xmlNode* root, Context& context, std::string& error);
    void Visit(xmlNode* node, const Context& parent);
    void VisitChildren(xmlNode* node, const Context& context);
    Style StyleOf(xmlNode* node, const Style& parent);
    void Use(xmlNode* node, const Context& context);
    void Shape(xmlNode* node, std::string_view name, const Context& context);
    bool BuildShape(xmlNode* node, std::string_view name, const Context& context, Outline& outline);
    double Length(xmlNode* node, const char* name, const Context& context, char axis, double fallback) const;
    void Image(xmlNode* node, const Context& context);
    void ClipImagesToPage();
    std::optional<Box> ClipBox(xmlNode* node, const Context& context);
    Box ClipPathBox(xmlNode* clip, const Context& context);
    int PenOf(const Paint& paint, const Style& style);
    void Emit(Outline& outline, const Style& style);
    void WriteNotes();

    xmlDoc* document_;
    const design::Settings& settings_;
    double unitsPerInch_;
    double toleranceMm_;
    std::unordered_map<std::string, xmlNode*> ids_;
    StyleSheet sheet_;
    std::unordered_map<const xmlNode*, Declarations> ownStyle_;  // each element's own declarations, reduced
    std::map<std::string, int> penOfColour_;                     // the pen table with its colours normalised
    std::vector<const xmlNode*> useStack_;
    Budget budget_;
    Budget clipBudget_{200'000};                         // points of all clip paths' shapes
    std::unordered_map<const xmlNode*, Box> clipBoxes_;  // clip path -> its box in its user units
    std::size_t visits_ = 0;
    design::Page page_;
    bool pageSized_ = false;
    bool sizeInUserUnits_ = false;  // the page size came from user units (at unitsPerInch_)
    std::set<std::string> unmapped_;
    std::size_t segments_ = 0, texts_ = 0, paintServers_ = 0;
    std::size_t badPathData_ = 0, badTransforms_ = 0, outOfRange_ = 0, longPathData_ = 0;
    std::size_t externalRefs_ = 0, missingRefs_ = 0, useCycles_ = 0, tooDeep_ = 0;
    std::size_t imagesSkipped_ = 0, imagesOffPage_ = 0, imagesTurned_ = 0;
    std::string imageProblem_;
    uint64_t decodedPixels_ = 0;
};

}  // namespace corvanta::svg

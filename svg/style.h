// Colours, paints and the cascade: presentation attributes, style sheets (class, id and element selectors)
// and style attributes, with the inherited properties the reader needs.
#pragma once
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "design/design.h"

namespace corvanta::svg {

// A colour as "#rrggbb" in lower case: hex forms, rgb()/rgba() and the CSS colour names.
std::optional<std::string> ParseColour(std::string_view text);

struct Paint {
    enum class Kind { None, Colour, CurrentColour, Server };
    Kind kind = Kind::None;
    std::string rgb;  // "#rrggbb" for Colour
};
// A fill or stroke value; nullopt when it is not one (the declaration is then ignored).
std::optional<Paint> ParsePaint(std::string_view text);

// What a shape inherits and what it states.
struct Style {
    Paint fill{Paint::Kind::Colour, "#000000"};  // SVG fills black unless told otherwise
    Paint stroke;
    design::FillRegion::Rule fillRule = design::FillRegion::Rule::NonZero;
    bool visible = true;
    std::string colour = "#000000";  // the 'color' property, for currentColor
    bool displayed = true;           // not inherited: display:none hides the element and its children
};

using Declarations = std::vector<std::pair<std::string, std::string>>;  // property, value
// "property: value; ..." (a style attribute or a rule's block); comments and !important are dropped.
Declarations ParseDeclarations(std::string_view text);
// Names of the properties the reader uses; only these are taken from presentation attributes.
bool IsStyleProperty(std::string_view name);
// Applies declarations in order onto a style that starts as the parent's.
void Apply(Style& style, const Declarations& declarations);

// The parts of an element a selector looks at.
struct ElementKey {
    std::string_view name, id;
    std::vector<std::string_view> classes;
};

// Only the declarations of the properties the reader uses, the last of each (a later one overrides).
Declarations Reduce(const Declarations& declarations);

// Style sheets of the drawing's <style> elements.
class StyleSheet {
public:
    // Distinct selectors kept; more are ignored with a note (a hostile sheet cannot make matching slow).
    static constexpr std::size_t kMaxRules = 1000;
    // Adds a sheet's rules; selectors of other kinds than element, class and id are counted and skipped.
    void Add(std::string_view css);
    // Declarations of the matching rules in cascade order (by specificity, then order in the sheets).
    // A sheet too large to match against every element stops being matched (Exhausted() then says so).
    Declarations Matching(const ElementKey& element);
    bool Exhausted() const { return checksLeft_ == 0; }
    std::size_t Ignored() const { return ignored_; }
    bool Empty() const { return rules_.empty(); }

private:
    struct Value {
        std::string text;
        std::size_t order = 0;  // position of the declaration in all the sheets
    };
    struct Rule {
        std::string element, id;  // empty: any
        std::vector<std::string> classes;
        int specificity = 0;
        std::map<std::string, Value> properties;  // the reader's properties only
    };
    void AddRule(std::string_view selector, const Declarations& block);
    std::vector<Rule> rules_;
    std::map<std::string, std::size_t> bySelector_;          // canonical selector -> rule
    std::map<std::string, std::vector<std::size_t>> byKey_;  // "#id", ".class", "name" or "*" -> rules
    std::size_t declarations_ = 0;
    std::size_t checksLeft_ = 10'000'000;  // rules compared with elements, over the whole drawing
    std::size_t ignored_ = 0;
};

}  // namespace corvanta::svg

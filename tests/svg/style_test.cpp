// Styles, pens, fills, hidden elements, <use> and <symbol>, text and embedded pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "picture_test.h"
#include "svg_test_util.h"

using namespace svg_test;
using corvanta::design::FillRegion;

namespace {

Settings PenSettings() {
    Settings s;
    s.penTable = {{"#ff0000", 2}, {"#0000ff", 3}, {"#008000", 4}, {"#000000", 5}};
    s.defaultPen = 7;
    return s;
}

std::vector<int> CutPens(const Page& page) {
    std::vector<int> pens;
    for (const auto& c : page.cuts) pens.push_back(c.pen);
    return pens;
}

TEST(SvgStyle, PenFromStrokeColourThroughTheCascade) {
    struct Case {
        const char* element;  // a line, styled
        int pen;              // 0: not drawn
    } cases[] = {
        {R"(<line stroke="red"/>)", 2},
        {R"(<line stroke="#F00"/>)", 2},
        {R"s(<line stroke="rgb(255, 0, 0)"/>)s", 2},
        {R"s(<line stroke="rgb(0%,0%,100%)"/>)s", 3},
        {R"(<line style="stroke:#0000FF"/>)", 3},
        {R"(<line class="st0"/>)", 2},                      // class rule
        {R"(<line class="other st1"/>)", 3},                // second class of two
        {R"(<line class="st0" stroke="blue"/>)", 2},        // a rule beats a presentation attribute
        {R"(<line class="st0" style="stroke:blue"/>)", 3},  // a style attribute beats a rule
        {R"(<line id="special" class="st0"/>)", 4},         // id beats class
        {R"(<line class="st0 st1"/>)", 3},                  // equal weight: the later rule
        {R"(<path stroke="red"/>)", 0},                     // element rule beats the attribute
        {R"(<line stroke="purple"/>)", 7},                  // not in the table: default pen
        {R"(<line stroke="currentColor" color="blue"/>)", 3},
        {R"(<g stroke="green"><line/></g>)", 4},  // inherited
        {R"(<g style="stroke:green"><line stroke="inherit"/></g>)", 4},
        {R"s(<line stroke="url(#gradient)"/>)s", 7},
        {R"(<line stroke="url(#gradient) blue"/>)", 3},
        {R"(<line stroke="none"/>)", 0},
        {R"(<line/>)", 0},  // SVG strokes nothing unless told
    };
    const std::string sheet = R"(<style>/* Illustrator */ .st0{fill:none;stroke:#FF0000;} .st1 { stroke: #00f }
        #special{stroke:green} path{stroke:none} svg .nested{stroke:red} a:hover{stroke:red}</style>)";
    for (const Case& c : cases) {
        std::string element = c.element;
        const std::size_t at =
            element.find("<line") != std::string::npos ? element.find("<line") + 5 : element.find("<path") + 5;
        element.insert(at, R"( x1="0" y1="0" x2="10" y2="0" d="M0 0 H10")");
        const auto r = Read(Drawing(sheet + element), PenSettings());
        ASSERT_TRUE(r.ok()) << r.error;
        if (c.pen == 0) {
            EXPECT_TRUE(r.page.cuts.empty()) << c.element;
        } else {
            EXPECT_EQ(CutPens(r.page), std::vector<int>{c.pen}) << c.element;
        }
        EXPECT_TRUE(HasNote(r.page, "2 style rules ignored (selectors other than")) << Notes(r.page);
    }
    const auto purple =
        Read(Drawing(R"(<line x2="5" stroke="purple"/><line x2="5" stroke="#123456"/>)"), PenSettings());
    EXPECT_TRUE(HasNote(purple.page, "drawn with pen 7: #123456, #800080")) << Notes(purple.page);
}

TEST(SvgStyle, FillsAndTheirRules) {
    const auto r = Read(Drawing(R"(<rect x="10" y="10" width="20" height="30" fill="blue" stroke="red"/>
        <path d="M0 0 H10 V10 Z M2 2 H8 V8 Z" fill-rule="evenodd"/>
        <circle cx="50" cy="50" r="5" style="fill:none;stroke:red"/>
        <line x2="10" fill="red" stroke="red"/>)"),
                        PenSettings());
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.page.fills.size(), 2u);
    // A filled, stroked rectangle: its ring is the cut's polyline.
    EXPECT_EQ(r.page.fills[0].pen, 3);
    ASSERT_EQ(r.page.fills[0].rings.size(), 1u);
    ASSERT_GE(r.page.cuts.size(), 1u);
    const auto& ring = r.page.fills[0].rings[0];
    const auto& cut = r.page.cuts[0].points;
    ASSERT_EQ(ring.size(), cut.size());
    for (std::size_t i = 0; i < ring.size(); ++i) {
        EXPECT_DOUBLE_EQ(ring[i].x, cut[i].x);
        EXPECT_DOUBLE_EQ(ring[i].y, cut[i].y);
    }
    EXPECT_EQ(r.page.cuts[0].pen, 2);
    // The default fill is black; two rings, even-odd.
    EXPECT_EQ(r.page.fills[1].pen, 5);
    EXPECT_EQ(r.page.fills[1].rule, FillRegion::Rule::EvenOdd);
    EXPECT_EQ(r.page.fills[1].rings.size(), 2u);
    EXPECT_EQ(r.page.fills[1].rings[1].front().x, r.page.fills[1].rings[1].back().x);
    EXPECT_EQ(r.page.cuts.size(), 3u);  // rectangle, circle, line (a line has no area to fill)
}

TEST(SvgStyle, HiddenAndUndrawnElements) {
    struct Case {
        const char* body;
        std::size_t cuts;
    } cases[] = {
        {R"(<g style="display:none"><line x2="5" stroke="red"/></g>)", 0},
        {R"(<g display="none"><g display="inline"><line x2="5" stroke="red"/></g></g>)", 0},
        {R"(<g visibility="hidden"><line x2="5" stroke="red"/></g>)", 0},
        {R"(<g visibility="hidden"><line x2="5" stroke="red" visibility="visible"/></g>)", 1},
        {R"(<defs><line x2="5" stroke="red"/></defs>)", 0},
        {R"(<symbol id="s"><line x2="5" stroke="red"/></symbol>)", 0},
        {R"(<clipPath id="c"><rect width="5" height="5"/></clipPath><mask><rect width="5" height="5"/></mask>)", 0},
        {R"(<metadata><line x2="5" stroke="red"/></metadata><foo><line x2="5" stroke="red"/></foo>)", 0},
        {R"(<line x2="5" stroke="red" xmlns:x="urn:other"/><x:line xmlns:x="urn:other" x2="5" stroke="red"/>)", 1},
        {R"(<switch><line x2="5" stroke="red"/><line x2="5" stroke="red"/></switch>)", 1},
        {R"(<switch><foreignObject requiredExtensions="http://ns.adobe.com/AdobeIllustrator/10.0/"/>
            <g><line x2="5" stroke="red"/></g></switch>)",
         1},
        {R"(<a href="https://example.invalid"><line x2="5" stroke="red"/></a>)", 1},
    };
    for (const Case& c : cases) {
        const auto r = Read(Drawing(c.body));
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.page.cuts.size(), c.cuts) << c.body;
        EXPECT_TRUE(r.page.fills.empty()) << c.body;
    }
    const auto text = Read(Drawing(R"(<text x="5" y="5">Hello<tspan>you</tspan></text><text>2</text>)"));
    EXPECT_TRUE(HasNote(text.page, "2 text elements not drawn: convert text to paths")) << Notes(text.page);
    EXPECT_TRUE(HasNote(text.page, "nothing to cut or engrave"));
}

TEST(SvgStyle, UseAndSymbol) {
    const auto r = Read(Drawing(R"s(<defs><rect id="r" width="10" height="10" fill="none"/>
          <symbol id="s" viewBox="0 0 1 1"><line x2="1" stroke="blue"/></symbol></defs>
        <use href="#r" x="20" y="30" stroke="red"/>
        <use xlink:href="#r" transform="translate(100 0)" stroke="green"/>
        <use href="#s" x="5" y="6" width="40" height="40"/>
        <use href="#missing"/><use href="other.svg#r"/>)s"),
                        PenSettings());
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.page.cuts.size(), 3u);
    EXPECT_EQ(CutPens(r.page), (std::vector<int>{2, 4, 3}));  // the copy takes the <use>'s style
    EXPECT_DOUBLE_EQ(r.page.cuts[0].points[0].x, 20);
    EXPECT_DOUBLE_EQ(r.page.cuts[0].points[0].y, 30);
    EXPECT_DOUBLE_EQ(r.page.cuts[1].points[0].x, 100);
    EXPECT_DOUBLE_EQ(r.page.cuts[2].points[0].x, 5);
    EXPECT_DOUBLE_EQ(r.page.cuts[2].points[1].x, 45);  // the symbol's unit square fills 40 x 40
    EXPECT_TRUE(HasNote(r.page, "1 reference to a missing id")) << Notes(r.page);
    EXPECT_TRUE(HasNote(r.page, "1 reference outside the file not followed")) << Notes(r.page);
}

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16;
        if (i + 1 < bytes.size()) v |= (unsigned char)bytes[i + 1] << 8;
        if (i + 2 < bytes.size()) v |= (unsigned char)bytes[i + 2];
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return out;
}

TEST(SvgStyle, EmbeddedPicturesPlacedAndClipped) {
    picture_test::Pixels p = picture_test::White(20, 10);
    p.Set(0, 0, 0);
    const std::string uri = "data:image/png;base64," + Base64(picture_test::Png(p));
    struct Case {
        std::string element;
        double x, y, width, height;
        uint32_t columns, rows;
        std::size_t inkAt;  // index of the inked pixel; SIZE_MAX: cut off
    } cases[] = {
        {R"(<image x="10" y="20" width="40" height="20" href=")" + uri + "\"/>", 10, 20, 40, 20, 20, 10, 0},
        // meet: centred down a taller viewport
        {R"(<image x="10" y="20" width="40" height="40" href=")" + uri + "\"/>", 10, 30, 40, 20, 20, 10, 0},
        {R"(<image x="10" y="20" width="40" height="40" preserveAspectRatio="none" xlink:href=")" + uri + "\"/>", 10,
         20, 40, 40, 20, 10, 0},
        // slice: the viewport is filled and the picture's sides cut off
        {R"(<image x="0" y="0" width="10" height="10" preserveAspectRatio="xMidYMid slice" href=")" + uri + "\"/>", 0,
         0, 10, 10, 10, 10, SIZE_MAX},
        {R"s(<g transform="translate(15 5) rotate(90)"><image width="20" height="10" href=")s" + uri + "\"/></g>", 5, 5,
         10, 20, 10, 20, 9},  // a quarter turn: the top-left pixel goes to the top right
        // half off the page's left edge: clipped
        {R"(<image x="-20" y="0" width="40" height="20" href=")" + uri + "\"/>", 0, 0, 20, 20, 10, 10, SIZE_MAX},
        // clipped by its group's clip path (a rectangle reached through <use>, as Illustrator writes it)
        {R"s(<defs><rect id="r" x="20" y="20" width="10" height="5"/><clipPath id="c"><use href="#r"/></clipPath></defs>
             <g clip-path="url(#c)"><image x="10" y="20" width="40" height="20" href=")s" +
             uri + "\"/></g>",
         20, 20, 10, 6, 5, 3, SIZE_MAX},
        // mirrored across: the inked pixel at the top right
        {R"s(<g transform="translate(40 0) scale(-1 1)"><image width="20" height="10" href=")s" + uri + "\"/></g>", 20,
         0, 20, 10, 20, 10, 19},
    };
    for (const Case& c : cases) {
        const auto r = Read(Drawing(c.element));
        ASSERT_TRUE(r.ok()) << r.error;
        ASSERT_EQ(r.page.images.size(), 1u) << c.element.substr(0, 80) << Notes(r.page);
        // The one inked pixel, the picture's top-left, where the placement puts it.
        const auto& ink = r.page.images[0].ink;
        EXPECT_EQ(std::count(ink.begin(), ink.end(), 255), c.inkAt == SIZE_MAX ? 0 : 1) << c.element.substr(0, 80);
        if (c.inkAt != SIZE_MAX) {
            EXPECT_EQ(ink.at(c.inkAt), 255) << c.element.substr(0, 80);
        }
        const auto& b = r.page.images[0];
        EXPECT_NEAR(b.x, c.x, 1e-9) << c.element.substr(0, 80);
        EXPECT_NEAR(b.y, c.y, 1e-9) << c.element.substr(0, 80);
        EXPECT_NEAR(b.width, c.width, 1e-9) << c.element.substr(0, 80);
        EXPECT_NEAR(b.height, c.height, 1e-9) << c.element.substr(0, 80);
        EXPECT_EQ(b.columns, c.columns);
        EXPECT_EQ(b.rows, c.rows);
        EXPECT_EQ(b.ink.size(), std::size_t(b.columns) * b.rows);
    }
    const auto bad = Read(Drawing(R"(<image width="5" height="5" href="photo.png"/>
        <image width="5" height="5" href="data:image/png;base64,AAAA"/>)"));
    ASSERT_TRUE(bad.ok());
    EXPECT_TRUE(bad.page.images.empty());
    EXPECT_TRUE(HasNote(bad.page, "2 images not placed")) << Notes(bad.page);
}

}  // namespace

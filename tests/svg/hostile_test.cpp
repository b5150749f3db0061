// Hostile and malformed drawings: each ends quickly with an error or a note, never following anything outside
// the file.
#include <gtest/gtest.h>

#include <chrono>

#include "svg_test_util.h"

using namespace svg_test;

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(SvgHostile, EndsQuicklyWithAnErrorOrANote) {
    const std::string laughs =
        R"(<?xml version="1.0"?><!DOCTYPE svg [<!ENTITY a "lollollollollollollollollollol">)"
        R"(<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">)"
        R"(<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;"><!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">)"
        R"(<!ENTITY f "&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;"><!ENTITY g "&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;">)"
        R"(<!ENTITY h "&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;"><!ENTITY i "&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;">)"
        R"(]><svg xmlns="http://www.w3.org/2000/svg" width="10mm" height="10mm" id="&i;">)"
        R"(<text>&i;</text><line x2="5" stroke="red" class="&i;"/></svg>)";
    const std::string external =
        R"(<?xml version="1.0"?><!DOCTYPE svg [<!ENTITY x SYSTEM "file:///etc/passwd">)"
        R"(<!ENTITY y SYSTEM "http://127.0.0.1:9/x">]>)"
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="10mm" height="10mm"><style>&x;</style>)"
        R"(<line x2="5" stroke="red"/><desc>&y;</desc></svg>)";
    const std::string cycle = Drawing(R"(<g id="a"><use href="#b"/><line x2="5" stroke="red"/></g>)"
                                      R"(<g id="b"><use href="#a"/></g><use id="self" href="#self"/>)");
    // Each level a <use> of the one before, ten times over: 10^9 copies if nothing stopped it.
    std::string fanOut = R"(<defs><line id="l0" x2="1" stroke="red"/>)";
    for (int i = 1; i <= 9; ++i)
        fanOut += "<g id=\"l" + std::to_string(i) + "\">" +
                  Repeat("<use href=\"#l" + std::to_string(i - 1) + "\"/>", 10) + "</g>";
    fanOut += R"(</defs><use href="#l9"/>)";
    const std::string deep = Drawing(Repeat("<g>", 100000) + R"(<line x2="5" stroke="red"/>)" + Repeat("</g>", 100000));
    // 200,000 segments drawn fifteen times over.
    const std::string longPath =
        Drawing(R"(<defs><path id="p" stroke="red" fill="none" d="M0 0)" + Repeat(" L1 1 L0 0", 100000) +
                "\"/></defs>" + Repeat(R"(<use href="#p"/>)", 15));
    // Thousands of distinct rules, each matched by a different element.
    std::string flood = "<style>";
    std::string floodLines;
    for (int i = 0; i < 3000; ++i) flood += ".a.b" + std::to_string(i) + "{stroke:red}";
    for (int i = 0; i < 12000; ++i) floodLines += R"(<line x2="1" class="a b)" + std::to_string(i % 3000) + "\"/>";
    flood += "</style>" + floodLines;
    struct Case {
        const char* name;
        std::string svg;
        bool ok;
        const char* words;  // in the error or a note
    } cases[] = {
        {"billion laughs", laughs, false, ""},
        {"external entities", external, true, "1 cut path"},
        {"use cycle", cycle, true, "refer back to themselves"},
        {"use fan-out", Drawing(fanOut), true, "the drawing stops at the limit"},
        {"100000 nested groups", deep, false, "depth"},
        {"many points", longPath, true, "the drawing stops at the limit of 2000000 points"},
        {"style flood", Drawing(flood), true, "too large to match against every element"},
        {"empty", "", false, "not a well-formed SVG"},
        {"not XML", "%PDF-1.4 hello", false, "not a well-formed SVG"},
        {"unclosed", "<svg xmlns=\"http://www.w3.org/2000/svg\"><g>", false, "line 1"},
        {"not SVG", "<html><body/></html>", false, "root element is not <svg>"},
        {"huge numbers", Drawing(R"s(<path stroke="red" d="M0 0 L1e308 1e308" transform="scale(1e10)"/>)s"), true,
         "out of range"},
        {"infinite number", Drawing(R"(<path stroke="red" d="M0 0 L1e999 0"/>)"), true, "malformed data"},
        {"nan transform", Drawing(R"s(<line x2="5" stroke="red" transform="scale(nan)"/>)s"), true,
         "malformed transform"},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const auto r = Read(c.svg);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 30) << c.name;  // generous for sanitizer builds on a busy machine; a hang never ends
        EXPECT_EQ(r.ok(), c.ok) << c.name << ": " << r.error;
        const bool said = r.error.find(c.words) != std::string::npos || HasNote(r.page, c.words);
        EXPECT_TRUE(said) << c.name << ": " << r.error << Notes(r.page);
        for (const auto& note : r.page.notes) EXPECT_EQ(note.find("root:"), std::string::npos) << c.name;
        if (!c.ok) {
            EXPECT_FALSE(r.error.empty());
        }
    }
}

TEST(SvgHostile, ArbitraryBytesNeverCrash) {
    // Cut-up drawings: every prefix of a drawing that uses most features, and bytes flipped through it.
    const std::string base =
        Drawing(R"s(<style>.a{stroke:red}</style><defs><path id="p" d="M0 0 C1 2 3 4 5 6 S7 8 9 0 Z"/></defs>
        <g transform="rotate(30) translate(2,3)"><use href="#p" class="a"/><rect width="5" height="5" rx="1"/>
        <polygon points="0,0 5,0 5,5"/><ellipse rx="2" ry="3"/><path d="m0 0 a2 3 4 1 1 5 5 q1 1 2 0 t4 0 z"/></g>)s");
    for (std::size_t n = 0; n <= base.size(); n += 7) (void)Read(base.substr(0, n));
    uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string s = base;
        for (int k = 0; k < 4; ++k) {
            seed = seed * 1664525u + 1013904223u;
            s[seed % s.size()] = char(seed >> 24);
        }
        const auto r = Read(s);
        if (!r.ok()) {
            EXPECT_FALSE(r.error.empty());
        }
    }
}

}  // namespace

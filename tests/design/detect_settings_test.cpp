// Kind detection from a file's first bytes, and the job settings' errors.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "design/detect.h"
#include "design/settings_json.h"

using namespace corvanta::design;

namespace {

TEST(DesignDetect, KindFromTheFirstBytes) {
    const struct {
        std::string bytes;
        Kind kind;
    } cases[] = {
        {"CorvantaCmdVer 1\npd_default 1 0\n", Kind::Command},
        {"\xEF\xBB\xBFpd_default 10 0", Kind::Command},
        {"  execute_penselect 1", Kind::Command},
        {"IN;SP1;PD100,0;", Kind::Hpgl},
        {"in;sp1;pd100,0;", Kind::Hpgl},
        {"\x03INCA2IP0,0", Kind::Hpgl},  // a stray ETX first
        {"\x1b%0BBPIN", Kind::Hpgl},
        {"@PJL ENTER LANGUAGE=HPGL2\r\n", Kind::Hpgl},
        {"PS11440 7700\nRO90", Kind::Hpgl},
        {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>", Kind::Svg},
        {"<?xml version=\"1.0\"?>\n<!-- made by hand -->\n<svg>", Kind::Svg},
        {"<?xml version=\"1.0\"?><html/>", Kind::Unknown},
        {std::string("\x89PNG\r\n\x1a\n\0\0", 10), Kind::Image},
        {"\xFF\xD8\xFF\xE0", Kind::Image},
        {"GIF89a", Kind::Image},
        {std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x28\0\0\0", 18), Kind::Image},
        {"BMW was here", Kind::Unknown},
        {"{\"rasterDpi\": 254}", Kind::Json},
        {"%PDF-1.7", Kind::Pdf},
        {"%!PS-Adobe-3.0 EPSF-3.0", Kind::PostScript},
        {"", Kind::Unknown},
        {"hello world", Kind::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(DetectKind(c.bytes), c.kind) << c.bytes;
}

TEST(DesignSettings, ErrorsNameTheKey) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {"{\"rasterDPI\": 254}", "unknown key \"rasterDPI\""},
        {"{\"rasterDpi\": 0}", "\"rasterDpi\" is out of range"},
        {"{\"rasterDpi\": 254.5}", "\"rasterDpi\" must be a whole number"},
        {"{\"rasterRowsPerInch\": 500}", "\"rasterRowsPerInch\" must divide 3048"},
        {"{\"rasterSpeedX\": 1001}", "\"rasterSpeedX\" is out of range"},
        {"{\"rasterBottomUp\": 1}", "\"rasterBottomUp\" must be true or false"},
        {"{\"penSpeeds\": {\"17\": 100}}", "unknown pen \"penSpeeds.17\""},
        {"{\"penSpeeds\": {\"3\": 2000}}", "\"penSpeeds.3\" is out of range"},
        {"{\"penTable\": [{\"colour\": \"red\", \"pen\": 1}]}", "\"penTable[0].colour\" must be a colour"},
        {"{\"penTable\": [{\"colour\": \"#ff0000\", \"pen\": 0}]}", "\"penTable[0].pen\" is out of range"},
        {"{\"penTable\": [{\"colour\": \"#ff0000\"}]}", "needs both"},
        {"{\"penTable\": [{\"color\": \"#ff0000\", \"pen\": 1}]}", "unknown key \"penTable[0].color\""},
        {"{\"fills\": \"hatch\"}", "\"fills\" must be \"engrave\", \"cut\" or \"ignore\""},
        {"{\"offsetXmm\": 1e9}", "\"offsetXmm\" is out of range"},
        {"{\"svgUnitsPerInch\": 0}", "\"svgUnitsPerInch\" is out of range"},
        {"[1, 2]", "must be a JSON object"},
        {"{\"rasterDpi\": 254", "not valid JSON"},
        {"{\"a\": [[[[[[[[[[1]]]]]]]]]]}", "nest deeper than 8"},
    };
    for (const auto& c : cases) {
        Settings s;
        std::string error;
        EXPECT_FALSE(ReadSettings(c.json, s, error)) << c.json;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.json << ": " << error;
        EXPECT_EQ(s.rasterDpi, Settings{}.rasterDpi) << c.json;  // untouched on failure
    }
    std::string error;
    Settings s;
    EXPECT_FALSE(ReadSettings(std::string(kMaxSettingsBytes + 1, ' '), s, error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

// The sample in examples/ sets every key, each to a value other than its default.
TEST(DesignSettings, SampleSetsEveryKey) {
    std::ifstream in(std::string(CORVANTA_EXAMPLES_DIR) + "/settings.json");
    std::stringstream text;
    text << in.rdbuf();
    Settings s;
    std::string error;
    ASSERT_TRUE(ReadSettings(text.str(), s, error)) << error;
    const Settings d;
    EXPECT_EQ(s.penTable.size(), 2u);
    EXPECT_EQ(s.penTable[0].colour, "#ff0000");  // written "#F00"
    EXPECT_EQ(s.penSpeedMmS[0], 20.0);
    EXPECT_NE(s.rasterDpi, d.rasterDpi);
    EXPECT_NE(s.offsetYmm, d.offsetYmm);
    EXPECT_TRUE(s.fills == Settings::FillMode::CutOutline);
    EXPECT_NE(s.cropImageMargins, d.cropImageMargins);
    EXPECT_EQ(s.currency, "EUR");
}

}  // namespace

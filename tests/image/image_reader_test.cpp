// The photo reader: physical size from the stated resolution or the setting, grey levels, cropped margins, and
// files it must refuse.
#include "image/image_reader.h"

#include <gtest/gtest.h>

#include "picture_test.h"

using corvanta::design::Settings;
using corvanta::image::ReadImage;
using namespace picture_test;

namespace {

TEST(ImageReader, PngSizeFollowsItsStatedResolution) {
    struct Case {
        int width, height;
        uint32_t perMetreX, perMetreY;
        double dpiX, dpiY;
    } cases[] = {
        {300, 150, 11811, 11811, 300, 300},  // 300 dpi as programs store it
        {600, 20, 23622, 23622, 600, 600},  {254, 100, 10000, 10000, 254, 254},
        {72, 72, 2835, 2835, 72, 72},       {100, 50, 3937, 7874, 100, 200},  // different resolutions across and down
        {10, 10, 5000, 5000, 127, 127},                                       // 5000 per metre is exactly 127 dpi
        {10, 10, 4000, 4000, 101.6, 101.6},
    };
    Settings settings;
    settings.imageDpi = 50;
    for (const Case& c : cases) {
        Pixels p = White(c.width, c.height);
        p.Set(0, 0, 0), p.Set(c.width - 1, c.height - 1, 0);  // inked corners: nothing to crop
        const auto r = ReadImage(PngWithPhys(p, c.perMetreX, c.perMetreY), settings);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_DOUBLE_EQ(r.page.width, c.width / c.dpiX * 25.4) << c.perMetreX;
        EXPECT_DOUBLE_EQ(r.page.height, c.height / c.dpiY * 25.4) << c.perMetreY;
        ASSERT_EQ(r.page.images.size(), 1u);
        const auto& b = r.page.images[0];
        EXPECT_EQ(b.columns, uint32_t(c.width));
        EXPECT_EQ(b.rows, uint32_t(c.height));
        EXPECT_DOUBLE_EQ(b.width, r.page.width);
        EXPECT_DOUBLE_EQ(b.x, 0);
    }
}

TEST(ImageReader, JfifDensityInInchesOrCentimetres) {
    struct Case {
        int units, densityX, densityY;
        double dpiX, dpiY;
    } cases[] = {
        {1, 300, 300, 300, 300},
        {1, 200, 400, 200, 400},
        {2, 100, 100, 254, 254},  // dots per cm
        {0, 1, 1, 96, 96},        // aspect ratio only: the setting
    };
    Settings settings;
    settings.imageDpi = 96;
    for (const Case& c : cases) {
        Pixels p = White(64, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) p.Set(x, y, 0);
        const auto r = ReadImage(Jpeg(p, c.units, c.densityX, c.densityY), settings);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_NEAR(r.page.width, 64 / c.dpiX * 25.4, 1e-12) << c.units;
        EXPECT_NEAR(r.page.height, 32 / c.dpiY * 25.4, 1e-12) << c.units;
    }
}

TEST(ImageReader, WithoutStatedResolutionTheSettingApplies) {
    Settings settings;
    settings.imageDpi = 200;
    Pixels p = White(40, 30);
    p.Set(0, 0, 0), p.Set(39, 29, 0);
    const auto r = ReadImage(Png(p), settings);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_DOUBLE_EQ(r.page.width, 40 / 200.0 * 25.4);
    EXPECT_DOUBLE_EQ(r.page.height, 30 / 200.0 * 25.4);
}

TEST(ImageReader, BlankMarginsCroppedAndThePictureKeepsItsPlace) {
    Settings settings;  // cropping on by default
    Pixels p = White(100, 80);
    for (int y = 30; y < 50; ++y)
        for (int x = 10; x < 40; ++x) p.Set(x, y, 0);
    p.Set(99, 79, 0, 0);                                             // black but transparent: blank
    const auto r = ReadImage(PngWithPhys(p, 3937, 3937), settings);  // 100 dpi
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_DOUBLE_EQ(r.page.width, 25.4);
    EXPECT_DOUBLE_EQ(r.page.height, 0.8 * 25.4);
    ASSERT_EQ(r.page.images.size(), 1u);
    const auto& b = r.page.images[0];
    EXPECT_EQ(b.columns, 30u);
    EXPECT_EQ(b.rows, 20u);
    EXPECT_DOUBLE_EQ(b.x, 0.1 * 25.4);
    EXPECT_DOUBLE_EQ(b.y, 0.3 * 25.4);
    EXPECT_DOUBLE_EQ(b.width, 0.3 * 25.4);
    EXPECT_EQ(b.ink.size(), 600u);
    for (uint8_t v : b.ink) EXPECT_EQ(v, 255);

    settings.cropImageMargins = false;
    const auto whole = ReadImage(PngWithPhys(p, 3937, 3937), settings);
    ASSERT_EQ(whole.page.images.size(), 1u);
    EXPECT_EQ(whole.page.images[0].columns, 100u);

    settings.cropImageMargins = true;
    const auto blank = ReadImage(Png(White(5, 5)), settings);
    ASSERT_TRUE(blank.ok());
    EXPECT_TRUE(blank.page.images.empty());
    EXPECT_GT(blank.page.width, 0);
}

TEST(ImageReader, RefusesWhatItCannotRead) {
    // A PNG header stating 100,000 x 100,000 pixels: refused from the header, before decoding.
    std::string huge = Png(White(1, 1));
    const char side[4] = {0x00, 0x01, char(0x86), char(0xA0)};  // 100000, big-endian
    huge.replace(16, 4, side, 4);
    huge.replace(20, 4, side, 4);
    const std::string png = Png(White(8, 8));
    std::string small = png;
    const char side4000[4] = {0x00, 0x00, 0x0F, char(0xA0)};
    small.replace(16, 4, side4000, 4);
    small.replace(20, 4, side4000, 4);
    struct Case {
        std::string bytes;
        const char* words;
    } cases[] = {
        {huge, "100000 x 100000 pixels is larger than the limit"},
        {"", "not a PNG, JPEG, BMP or GIF"},
        {"hello, world", "not a PNG, JPEG, BMP or GIF"},
        {png.substr(0, png.size() / 2), "could not be decoded"},
        {std::string("GIF89a\xff\xff\xff\xff", 10), "larger than the limit"},
        {small, "more than its"},
        // a Huffman table of 16 x 255 codes, more than a table holds
        {std::string("\xFF\xFF\xFF\xD8\xFF\xC4\x01\x13\x00", 9) + std::string(16, '\xFF') + std::string(300, '\x01'),
         "malformed Huffman table"},
        {std::string("\xFF\xD8\xFF\xC4\x00\x3D\x00\x00\x00", 9) + std::string(10, '\xFF'),
         "malformed Huffman table"},  // a 4000 x 4000 header on a few dozen bytes
    };
    Settings settings;
    for (const Case& c : cases) {
        const auto r = ReadImage(c.bytes, settings);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.error.find(c.words), std::string::npos) << r.error;
    }
    settings.imageDpi = 0;
    EXPECT_FALSE(ReadImage(png, settings).ok());
}

}  // namespace

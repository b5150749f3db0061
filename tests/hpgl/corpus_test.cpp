// The corpus of real plot files: each converts completely, and its drawn extent is where the file's own
// coordinates and its SC / IP / RO put it.  Skipped when the corpus directory is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hpgl_test_util.h"

using corvanta::hpgl::Convert;
using namespace hpgl_test;

namespace {

const std::filesystem::path kCorpus = CORVANTA_HPGL_CORPUS_DIR;

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Millimetres of user coordinate u under a scaling of `perUser` plotter units per user unit from `offset`.
constexpr double Mm(double u, double perUser = 1.0, double offset = 0.0) { return (offset + u * perUser) / 40.0; }

struct CorpusCase {
    const char* file;
    // The extent must contain `inner` and lie inside `outer` (min x, max x, min y, max y in mm), 0.1 mm slack.
    double inner[4];
    double outer[4];
    int leavesBed;             // 1 / 0, or -1 when it does not matter
    std::size_t penDownMoves;  // the file's pen-down moves (SOURCES.md): at least 95 % become records
};

// User-coordinate boxes are those of the files' pen-down segments.  Scaled files: the default P1/P2 is the
// bed (29840 x 18800 plotter units); IP with one point keeps that offset for P2.
const CorpusCase kCases[] = {
    {"chiplotle_foal_drawing.hpgl", {28.6, 124.1, 0.1, 105.8}, {28.6, 124.1, 0.1, 105.8}, 0, 3099},
    {"gcodeplot_svg2hpgl_small.hpgl", {0, 146.5, 0, 146.5}, {0, 146.5, 0, 146.5}, 0, 383},
    {"hp2xx_autocad_diagram.hp", {76.2, 182.8, 63.0, 154.5}, {76.2, 182.8, 63.0, 154.5}, 0, 1987},
    // PS 11440,7700, RO 90, the frame at user +-5720 x +-3850 under a 1:1 SC: x = 11440 - (y + 5720),
    // y = x + 3850.  The file draws beyond its own SC window (x +-3850), so the frame, turned upright by RO 90,
    // reaches 46.75 mm below the bed.
    {"hp2xx_frame_space_separated.hpg", {46.75, 239.25, -46.75, 239.25}, {46.75, 239.25, -46.75, 239.25}, 1, 117},
    {"hp2xx_gks_scientific_plots.hp", {2.0, 188.8, 2.6, 180.8}, {2.0, 188.8, 2.6, 180.8}, 0, 5975},
    // No SC: plotter units; the bars lie inside the IP window 10300 x 7650, the labels too.
    {"hp2xx_mswindows_barchart_relative.hp",
     {Mm(3335), Mm(6595), Mm(895), Mm(7155)},
     {0, Mm(10300), 0, Mm(7650)},
     0,
     179},
    // RO 90, IP 0,0,13216,8128, SC 0..3304 x 0..2032 (4 units per user unit): the window is x 21712..29840,
    // y 0..13216.  ER 2710,1869 from 0,0 frames the spectrum: x from 29840 - 1869 x 4.
    {"hp2xx_nmr_spectrum_hpgl2.plt",
     {Mm(29840 - 1869 * 4), 746.0, 0, Mm(2710 * 4)},
     {Mm(21712), 746.1, 0, Mm(13216)},
     -1,
     7240},
    {"monoplots_sola_ornament.hpgl", {10.4, 194.6, 102.0, 280.3}, {10.4, 194.6, 102.0, 280.3}, 0, 6311},
    {"monoplots_turniere_lettering.hpgl", {30.6, 409.7, 95.3, 118.5}, {30.6, 409.7, 95.3, 118.5}, 0, 1448},
    // AA arcs bulge a little beyond their end points.
    {"potmo_wave_raster_generative_aa.hpgl", {0, Mm(9938), 0, Mm(9963)}, {-5, 255, -5, 255}, -1, 7609},
    {"uniconvertor_1152_quads.plt", {-346.1, 395.8, -200.3, 286.4}, {-346.1, 395.8, -200.3, 286.4}, 1, 4608},
    {"vk2bea_cassini_wireframe_text.hpgl", {27.1, 382.0, -10.8, 272.5}, {27.1, 382.0, -10.8, 272.5}, 1, 3239},
    {"vk2bea_dsn_antenna_wireframe.hpgl", {24.0, 389.1, -0.5, 272.0}, {24.0, 389.1, -0.5, 272.0}, 1, 4206},
    // IP 400,4500 and SC 0..9000 x 0..6363; the lettering spans user 0..8525 x 0..1677.
    {"vk2bea_hp_logo_lettering.hpgl",
     {Mm(0, 29840 / 9000.0, 400), Mm(8525, 29840 / 9000.0, 400), Mm(0, 18800 / 6363.0, 4500),
      Mm(1677, 18800 / 6363.0, 4500)},
     {Mm(0, 29840 / 9000.0, 400), Mm(8525, 29840 / 9000.0, 400), Mm(0, 18800 / 6363.0, 4500),
      Mm(1677, 18800 / 6363.0, 4500)},
     0,
     1768},
    // SC 0..639 x 0..479 on the bed; the screen's boxes span user 3..636 x 61..476, the labels lie inside.
    {"vk2bea_rs_analyzer_screen_dump.hpgl",
     {Mm(3, 29840 / 639.0), Mm(636, 29840 / 639.0), Mm(61, 18800 / 479.0), Mm(476, 18800 / 479.0)},
     {Mm(3, 29840 / 639.0), Mm(636, 29840 / 639.0), Mm(61, 18800 / 479.0), Mm(476, 18800 / 479.0)},
     0,
     1978},
    // SC 0..2247 x 0..1800 and IP 3500,300; the drawing spans user 3..1369 x -38..1741.
    {"vk2bea_space_shuttle_illustration.hpgl",
     {Mm(3, 29840 / 2247.0, 3500), Mm(1369, 29840 / 2247.0, 3500), Mm(-38, 18800 / 1800.0, 300),
      Mm(1741, 18800 / 1800.0, 300)},
     {Mm(3, 29840 / 2247.0, 3500), Mm(1369, 29840 / 2247.0, 3500), Mm(-38, 18800 / 1800.0, 300),
      Mm(1741, 18800 / 1800.0, 300)},
     1,
     4255},
};

void PrintTo(const CorpusCase& k, std::ostream* os) { *os << k.file; }

class HpglCorpus : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(HpglCorpus, ConvertsWithAPlausibleExtent) {
    const CorpusCase& k = GetParam();
    if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    const std::string plot = ReadFile(kCorpus / k.file);
    ASSERT_FALSE(plot.empty()) << k.file;
    const auto c = Convert(plot);
    const std::string notes = AllNotes(c);
    EXPECT_FALSE(c.truncated || c.empty) << notes;
    const double slack = 0.1;
    const double got[4] = {c.minXmm, c.maxXmm, c.minYmm, c.maxYmm};
    for (int i = 0; i < 4; ++i) {
        const bool isMin = i % 2 == 0;
        EXPECT_TRUE(isMin ? got[i] <= k.inner[i] + slack : got[i] >= k.inner[i] - slack)
            << "extent " << i << " = " << got[i] << " does not reach " << k.inner[i] << "\n"
            << notes;
        EXPECT_TRUE(isMin ? got[i] >= k.outer[i] - slack : got[i] <= k.outer[i] + slack)
            << "extent " << i << " = " << got[i] << " beyond " << k.outer[i] << "\n"
            << notes;
    }
    if (k.leavesBed >= 0) {
        EXPECT_EQ(c.leavesBed, k.leavesBed == 1) << notes;
    }
    EXPECT_EQ(NoteCount(c, "leaves bed"), c.leavesBed ? 1u : 0u);
    EXPECT_GE(DrawnMoves(c.commands).size() * 100, k.penDownMoves * 95) << notes;
    EXPECT_EQ(NoteCount(c, "extent"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Files, HpglCorpus, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.file;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

TEST(HpglCorpusFiles, EveryFileHasACase) {
    if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    std::size_t plots = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        if (entry.path().extension() == ".md") continue;
        ++plots;
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(std::any_of(std::begin(kCases), std::end(kCases), [&](const CorpusCase& k) {
            return name == k.file;
        })) << name;
    }
    EXPECT_EQ(plots, std::size(kCases));
}

TEST(HpglCorpusFiles, RotatedFrameWindowLandsOnItsPage) {
    // The frame file's set-up with its SC window drawn: RO 90 puts the window onto the page
    // 0..286 x 0..192.5 mm, nowhere negative.
    const auto c = Convert(
        "PS 11440 7700\nRO 90\nIP 0 0 7700 11440\nSC -3850 3850 -5720 5720\nSP1\n"
        "PUPA-3850 -5720\nPDPA3850 -5720\nPDPA3850 5720\nPDPA-3850 5720\nPDPA-3850 -5720\n");
    EXPECT_EQ((std::vector<double>{c.minXmm, c.maxXmm, c.minYmm, c.maxYmm}), (std::vector<double>{0, 286, 0, 192.5}));
    EXPECT_FALSE(c.leavesBed);
}

}  // namespace

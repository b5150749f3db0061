// The corpus of real plot files: each converts completely, and its drawn extent is where the file's own
// coordinates and its SC / IP / RO put it.  Skipped when the corpus directory is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "hpgl_test_util.h"

using namespace hpgl_test;

namespace {

TEST(HpglCorpus, ConvertsWithAPlausibleExtent) {
    const std::filesystem::path dir = CORVANTA_HPGL_CORPUS_DIR;
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
    struct Case {
        const char* file;
        double inner[4];  // min x, max x, min y, max y (mm) the extent must reach...
        double outer[4];  // ...and stay within (all 0: the same as inner); 0.1 mm slack
        int leavesBed;    // 1 / 0, or -1 when it does not matter
        std::size_t penDownMoves;  // the file's own: at least 95 % become records
    };
    const Case cases[] = {
        {"chiplotle_foal_drawing.hpgl", {28.6, 124.1, 0.1, 105.8}, {}, 0, 3099},
        {"gcodeplot_svg2hpgl_small.hpgl", {0, 146.5, 0, 146.5}, {}, 0, 383},
        {"hp2xx_autocad_diagram.hp", {76.2, 182.8, 63.0, 154.5}, {}, 0, 1987},
        {"hp2xx_frame_space_separated.hpg", {46.75, 239.25, -46.75, 239.25}, {}, 1, 117},
        {"hp2xx_gks_scientific_plots.hp", {2.0, 188.8, 2.6, 180.8}, {}, 0, 5975},
        {"hp2xx_mswindows_barchart_relative.hp", {83.375, 164.875, 22.375, 178.875}, {0, 257.5, 0, 191.25}, 0, 179},
        {"hp2xx_nmr_spectrum_hpgl2.plt", {559.1, 746.0, 0, 271.0}, {542.8, 746.1, 0, 330.4}, -1, 7240},
        {"monoplots_sola_ornament.hpgl", {10.4, 194.6, 102.0, 280.3}, {}, 0, 6311},
        {"monoplots_turniere_lettering.hpgl", {30.6, 409.7, 95.3, 118.5}, {}, 0, 1448},
        {"potmo_wave_raster_generative_aa.hpgl", {0, 248.45, 0, 249.075}, {-5, 255, -5, 255}, -1, 7609},
        {"uniconvertor_1152_quads.plt", {-346.1, 395.8, -200.3, 286.4}, {}, 1, 4608},
        {"vk2bea_cassini_wireframe_text.hpgl", {27.1, 382.0, -10.8, 272.5}, {}, 1, 3239},
        {"vk2bea_dsn_antenna_wireframe.hpgl", {24.0, 389.1, -0.5, 272.0}, {}, 1, 4206},
        {"vk2bea_hp_logo_lettering.hpgl", {10.0, 716.628, 112.5, 236.371}, {}, 0, 1768},
        {"vk2bea_rs_analyzer_screen_dump.hpgl", {3.502, 742.498, 59.854, 467.056}, {}, 0, 1978},
        {"vk2bea_space_shuttle_illustration.hpgl", {88.496, 542.006, -2.422, 462.094}, {}, 1, 4255},
    };
    for (const Case& k : cases) {
        std::ifstream f(dir / k.file, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        ASSERT_FALSE(s.str().empty()) << k.file;
        const auto c = corvanta::hpgl::Convert(s.str());
        const std::string notes = std::string(k.file) + "\n" + AllNotes(c);
        EXPECT_FALSE(c.truncated || c.empty) << notes;
        const double got[4] = {c.minXmm, c.maxXmm, c.minYmm, c.maxYmm};
        const bool sameOuter = k.outer[0] == 0 && k.outer[1] == 0 && k.outer[2] == 0 && k.outer[3] == 0;
        for (int i = 0; i < 4; ++i) {
            const double in = k.inner[i], out = sameOuter ? k.inner[i] : k.outer[i];
            const bool reaches = i % 2 == 0 ? got[i] <= in + 0.1 : got[i] >= in - 0.1;
            const bool within = i % 2 == 0 ? got[i] >= out - 0.1 : got[i] <= out + 0.1;
            EXPECT_TRUE(reaches && within) << "extent " << i << " = " << got[i] << "\n" << notes;
        }
        if (k.leavesBed >= 0) {
            EXPECT_EQ(c.leavesBed, k.leavesBed == 1) << notes;
        }
        EXPECT_EQ(NoteCount(c, "leaves bed"), c.leavesBed ? 1u : 0u) << notes;
        EXPECT_GE(DrawnMoves(c.commands).size() * 100, k.penDownMoves * 95) << notes;
        EXPECT_EQ(NoteCount(c, "extent"), 1u) << notes;
    }
}

}  // namespace

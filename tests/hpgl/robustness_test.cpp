// Malformed and hostile input: every plot gives well-formed records and a note on what went wrong; the
// bounds on output size and work.
#include <gtest/gtest.h>

#include <random>

#include "hpgl_test_util.h"

using corvanta::hpgl::Conversion;
using corvanta::hpgl::Convert;
using corvanta::hpgl::Options;
using namespace hpgl_test;

namespace {

// The invariants of any conversion: the version record first, only known records with the right number of
// integers, pens 0..16, speeds 1..1000, positions within the clamp, the extent and counts as the records say.
// An engraving (of fills) comes first and ends at ToHpglMode, after which the moves start from where the
// image leaves the carriage: the extent is then checked only for its size.
void ExpectWellFormed(const Conversion& c, const std::string& what) {
    const auto records = Records(c.commands);
    ASSERT_FALSE(records.empty()) << what;
    EXPECT_EQ(records[0].keyword, "CorvantaCmdVer") << what;
    EXPECT_EQ(records.size(), c.records) << what;
    int64_t x = 0, y = 0, minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool drawn = false, engraved = false;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const Record& r = records[i];
        static const std::string raster =
            " RasterDPI RasterUnit RasterSpeedX RasterSpeedY RasterFiringType RasterBandingFree RasterBuEngrave "
            "RasterAccelEngrave RasterPower ImageWidth ImageHeight SetStartRasterGraphics RasterLineOut "
            "SetEndRasterGraphics ToHpglMode ";
        if (raster.find(" " + r.keyword + " ") != std::string::npos) {
            EXPECT_EQ(r.values.size(), 1u) << what;
            engraved = true;
        } else if (r.keyword == "SetHorizontalPositionPCL" || r.keyword == "SetVerticalPositionPCL") {
            EXPECT_EQ(r.values.size(), 2u) << what;
        } else if (r.keyword == "execute_penselect") {
            ASSERT_EQ(r.values.size(), 1u) << what;
            EXPECT_TRUE(r.values[0] >= 0 && r.values[0] <= 16) << what;
        } else if (r.keyword == "VectorSpeed") {
            ASSERT_EQ(r.values.size(), 16u) << what;
            for (int64_t v : r.values) EXPECT_TRUE(v >= 1 && v <= 1000) << what;
        } else if (r.keyword == "pd_default" || r.keyword == "pu_default") {
            ASSERT_EQ(r.values.size(), 2u) << what;
            const int64_t x1 = x + r.values[0], y1 = y + r.values[1];
            ASSERT_TRUE(std::llabs(x1) <= 50'000'000 && std::llabs(y1) <= 50'000'000) << what;
            if (r.keyword == "pd_default") {
                if (!drawn) minX = maxX = x, minY = maxY = y, drawn = true;
                minX = std::min({minX, x, x1}), maxX = std::max({maxX, x, x1});
                minY = std::min({minY, y, y1}), maxY = std::max({maxY, y, y1});
            }
            x = x1, y = y1;
        } else {
            ADD_FAILURE() << "unexpected record " << r.keyword << " in " << what;
        }
    }
    EXPECT_EQ(c.empty, !drawn) << what;
    if (drawn && !engraved) {
        EXPECT_EQ((std::vector<double>{c.minXmm, c.maxXmm, c.minYmm, c.maxYmm}),
                  (std::vector<double>{minX / 40.0, maxX / 40.0, minY / 40.0, maxY / 40.0}))
            << what;
    } else if (drawn) {
        EXPECT_NEAR(c.maxXmm - c.minXmm, (maxX - minX) / 40.0, 1e-6) << what;
        EXPECT_NEAR(c.maxYmm - c.minYmm, (maxY - minY) / 40.0, 1e-6) << what;
    }
    ASSERT_FALSE(c.notes.empty()) << what;  // the extent note at least
}

TEST(HpglMalformed, EachGetsANoteAndASoundResult) {
    struct Case {
        std::string plot;
        const char* note;
        std::size_t drawn;  // pen-down records expected from what was readable
    };
    const Case cases[] = {
        {"", "no instructions", 0},
        {"SP1;PD100,", "odd coordinates", 1},  // the pen was lowered: a dot
        {"SP1;PD100,0;P", "truncated mnemonic", 1},
        {"SP1;PA1000000000000000000000000000000,0;PD0,0;", "huge number", 1},
        {"SP1;PA-1E+999,0;PD0,0;", "huge number", 1},
        {"SP1;PA99999999999,0;PD0,0;", "clamped coordinate", 1},
        {"SP1;PA0,0;LBabc", "malformed LB", 41},  // the glyphs' 5 strokes have 41 segments
        {"SP1;PE<=O", "malformed PE", 0},
        {"SP1;PM0;PD100,0;", "open polygon", 0},
        {"CO\"unterminated PD1,1", "unterminated string", 0},
        {"SP1;PD100,0;\x1b*b99", "truncated escape", 1},
    };
    for (const Case& k : cases) {
        const auto c = Convert(k.plot);
        ExpectWellFormed(c, k.plot);
        EXPECT_GE(NoteCount(c, k.note), 1u) << k.plot << "\n" << AllNotes(c);
        EXPECT_EQ(DrawnMoves(c.commands).size(), k.drawn) << k.plot << "\n" << c.commands;
    }
}

TEST(HpglLimits, OutputAndWorkStopAtTheirLimits) {
    std::string plot = "SP1;PD;PR";
    for (int i = 0; i < 1000; ++i) plot += "1,0,";
    Options o;
    o.maxRecords = 100;
    const auto c = Convert(plot, o);
    ExpectWellFormed(c, "record limit");
    EXPECT_TRUE(c.truncated);
    EXPECT_EQ(c.records, 100u);
    EXPECT_EQ(NoteCount(c, "record limit"), 1u);
    // Circles too small to write anything still cost their chords: the move limit bounds that work.
    plot = "SP1;";
    for (int i = 0; i < 1000; ++i) plot += "CI0.1,0.5;";
    Options m;
    m.maxMoves = 1000;
    const auto w = Convert(plot, m);
    ExpectWellFormed(w, "move limit");
    EXPECT_TRUE(w.truncated);
    EXPECT_EQ(NoteCount(w, "work limit"), 1u);
}

// Random bytes, and random sequences of instructions, numbers and separators (which reach deeper into the
// interpreter).  Every one must give well-formed records.
TEST(HpglMalformed, RandomInputFuzz) {
    std::mt19937 rng(20240611);
    const char* pieces[] = {"PA", "PR", "PU", "PD", "CI", "AA", "AR", "AT", "RT", "EA", "ER", "RA", "RR", "EW",
                            "WG", "PM", "EP", "FP", "PE", "LB", "DT", "SM", "SI", "SR", "DI", "DR", "LO", "CP",
                            "ES", "SL", "SC", "IP", "IR", "RO", "IW", "PS", "IN", "DF", "SP", "VS", "CT", "BZ",
                            "BR", "XT", "TL", "LT", "PG", "1e9", "-", ",", ";", ";", " ", "0", "1", "-7", "2.5",
                            "90", "360", "1000000", "99999999999999999999", ".", "\x03", "\x1b", "\x1b%0A",
                            "\x1b%1B", "\x1b\x45", "\x1b.", "<", "=", ">", ":", "7", "?", "~", "\xC0", "\xFE",
                            "\r\n", "\"", "@PJL"};
    std::uniform_int_distribution<int> piece(0, static_cast<int>(std::size(pieces)) - 1), byte(0, 255), len(0, 120);
    Options o;
    o.maxRecords = 20000;
    for (int i = 0; i < 3000; ++i) {
        std::string plot;
        for (int j = 0, n = len(rng); j < n; ++j) {
            if (i % 3 == 0)
                plot.push_back(static_cast<char>(byte(rng)));
            else
                plot += pieces[piece(rng)];
        }
        ExpectWellFormed(Convert(plot, o), "fuzz case " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

}  // namespace

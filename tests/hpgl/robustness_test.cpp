// Malformed and hostile input: every plot gives well-formed records and a note on what went wrong;
// escapes and PCL sections around the plot; the bounds on coordinates and output size.
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
void ExpectWellFormed(const Conversion& c, const std::string& what) {
    const auto records = Records(c.commands);
    ASSERT_FALSE(records.empty()) << what;
    EXPECT_EQ(records[0].keyword, "CorvantaCmdVer") << what;
    EXPECT_EQ(records.size(), c.records) << what;
    int64_t x = 0, y = 0, minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool drawn = false;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const Record& r = records[i];
        if (r.keyword == "execute_penselect") {
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
    if (drawn) {
        EXPECT_EQ((std::vector<double>{c.minXmm, c.maxXmm, c.minYmm, c.maxYmm}),
                  (std::vector<double>{minX / 40.0, maxX / 40.0, minY / 40.0, maxY / 40.0}))
            << what;
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
        {std::string("\0\0\0", 3), "no instructions", 0},
        {"SP1;PD100,", "odd coordinates", 1},  // the pen was lowered: a dot
        {"SP1;PD100,0;PA5", "odd coordinates", 1},
        {"SP1;PD100,0;P", "truncated mnemonic", 1},
        {"SP1;PA1000000000000000000000000000000,0;PD0,0;", "huge number", 1},
        {"SP1;PA99999999999,0;PD0,0;", "clamped coordinate", 1},
        {"SP1;PA1e30,0;PD0,0;", "huge number", 1},
        {"SP1;PA-1E+999,0;PD0,0;", "huge number", 1},
        {"SP1;PA0,0;LBabc", "malformed LB", 41},  // the glyphs' 5 strokes have 41 segments
        {"SP1;PE<=O", "malformed PE", 0},
        {"SP1;AA100;PD1,0", "malformed AA", 1},
        {"SP1;CI;", "malformed CI", 0},
        {"SP1;RO45;PD1,1;", "malformed RO", 1},
        {"SP1;SC1,2,3;PD1,1;", "malformed SC", 1},
        {"SP1;IP1,2,3;PD1,1;", "malformed IP", 1},
        {"SP1;BZ1,2,3;", "malformed bezier", 0},
        {"SP1;PM0;PD100,0;", "open polygon", 0},
        {"SP-3;PD1,0;", "malformed SP", 1},
        {"VS10,99;", "vs pen", 0},
        {"XX1,2;SP1;PD1,1;", "unknown XX", 1},
        {"CO\"unterminated PD1,1", "unterminated string", 0},
        {"SP1;\x01\x02\xff\xfePD100,0;", "stray bytes", 1},
        {"SP1;PD100,0;\x1b", "truncated escape", 1},
        {"SP1;PD100,0;\x1b%", "truncated escape", 1},
        {"SP1;PD100,0;\x1b*b99", "truncated escape", 1},
    };
    for (const Case& k : cases) {
        const auto c = Convert(k.plot);
        ExpectWellFormed(c, k.plot);
        EXPECT_GE(NoteCount(c, k.note), 1u) << k.plot << "\n" << AllNotes(c);
        EXPECT_EQ(DrawnMoves(c.commands).size(), k.drawn) << k.plot << "\n" << c.commands;
    }
}

TEST(HpglMalformed, HugeCoordinatesAreClampedNotWrapped) {
    const auto c = Convert("SP1;PA99999999999,-99999999999;PD0,0;");
    EXPECT_EQ(c.commands,
              "CorvantaCmdVer 1\nexecute_penselect 1\npu_default 50000000 -50000000\n"
              "pd_default -50000000 50000000\n");
    EXPECT_TRUE(c.leavesBed);
}

TEST(HpglEscapes, SkippedAroundThePlot) {
    struct Case {
        std::string plot;
        const char* records;  // after the version record
    };
    const Case cases[] = {
        // Device-control sequences of a serial plotter.
        {"\x1b.(;\x1b.I81;;17:\x1b.N;19:IN;SP1;PD100,0;", "execute_penselect 1\npd_default 100 0\n"},
        // HP-GL/2 inside PCL: what lies between ESC%0A and ESC%0B is PCL, not plot.
        {"\x1b"
         "E\x1b%0BIN;SP1;PD100,0;\x1b%0A PD50,50 SP3 \x1b"
         "E\x1b%0BPR0,5;\x1b%0A\x0c",
         "execute_penselect 1\npd_default 100 0\npd_default 0 5\n"},
        // A PCL escape's binary payload is skipped, letters and all.
        {"\x1b*b5WPD9,9SP1;PD100,0;", "execute_penselect 1\npd_default 100 0\n"},
        // ESC E in a plain HP-GL file (no ESC%B later) does not hide the plot.
        {"\x1b"
         "EIN;SP1;PD100,0;",
         "execute_penselect 1\npd_default 100 0\n"},
        {"@PJL ENTER LANGUAGE=HPGL2\r\nSP1;PD100,0;", "execute_penselect 1\npd_default 100 0\n"},
    };
    for (const Case& k : cases) {
        const auto c = Convert(k.plot);
        EXPECT_EQ(c.commands, std::string("CorvantaCmdVer 1\n") + k.records) << k.plot << "\n" << AllNotes(c);
    }
    EXPECT_EQ(NoteCount(Convert(cases[0].plot), "device control"), 3u);
}

TEST(HpglLimits, OutputStopsAtTheRecordLimit) {
    std::string plot = "SP1;PD;PR";
    for (int i = 0; i < 1000; ++i) plot += "1,0,";
    Options o;
    o.maxRecords = 100;
    const auto c = Convert(plot, o);
    ExpectWellFormed(c, "record limit");
    EXPECT_TRUE(c.truncated);
    EXPECT_EQ(c.records, 100u);
    EXPECT_EQ(NoteCount(c, "record limit"), 1u);
}

TEST(HpglLimits, WorkStopsAtTheMoveLimit) {
    // Circles too small to write anything still cost their chords: the move limit bounds that work.
    std::string plot = "SP1;";
    for (int i = 0; i < 1000; ++i) plot += "CI0.1,0.5;";
    Options o;
    o.maxMoves = 1000;
    const auto c = Convert(plot, o);
    ExpectWellFormed(c, "move limit");
    EXPECT_TRUE(c.truncated);
    EXPECT_EQ(NoteCount(c, "work limit"), 1u);
}

// Random plots: random bytes, and random sequences of instructions, numbers and separators (which reach
// deeper into the interpreter).  Every one must give well-formed records.
TEST(HpglMalformed, RandomInputFuzz) {
    std::mt19937 rng(20240611);
    const char* pieces[] = {"PA",
                            "PR",
                            "PU",
                            "PD",
                            "CI",
                            "AA",
                            "AR",
                            "AT",
                            "RT",
                            "EA",
                            "ER",
                            "RA",
                            "RR",
                            "EW",
                            "WG",
                            "PM",
                            "EP",
                            "FP",
                            "PE",
                            "LB",
                            "DT",
                            "SM",
                            "SI",
                            "SR",
                            "DI",
                            "DR",
                            "LO",
                            "CP",
                            "ES",
                            "SL",
                            "SC",
                            "IP",
                            "IR",
                            "RO",
                            "IW",
                            "PS",
                            "IN",
                            "DF",
                            "SP",
                            "VS",
                            "CT",
                            "BZ",
                            "BR",
                            "XT",
                            "TL",
                            "LT",
                            "PG",
                            "1e9",
                            "-",
                            ",",
                            ";",
                            ";",
                            " ",
                            "0",
                            "1",
                            "-7",
                            "2.5",
                            "90",
                            "360",
                            "1000000",
                            "99999999999999999999",
                            ".",
                            "\x03",
                            "\x1b",
                            "\x1b%0A",
                            "\x1b%1B",
                            "\x1b\x45",  // ESC E
                            "\x1b.",
                            "<",
                            "=",
                            ">",
                            ":",
                            "7",
                            "?",
                            "~",
                            "\xC0",
                            "\xFE",
                            "\r\n",
                            "\"",
                            "@PJL"};
    std::uniform_int_distribution<int> piece(0, static_cast<int>(std::size(pieces)) - 1), byte(0, 255), len(0, 120);
    Options o;
    o.maxRecords = 20000;
    for (int i = 0; i < 3000; ++i) {
        std::string plot;
        const int n = len(rng);
        for (int j = 0; j < n; ++j) {
            if (i % 3 == 0)
                plot.push_back(static_cast<char>(byte(rng)));
            else
                plot += pieces[piece(rng)];
        }
        const auto c = Convert(plot, o);
        ExpectWellFormed(c, "fuzz case " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

}  // namespace

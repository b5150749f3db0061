// Where the time goes, from real runs: the breakdown sums to the job's ticks,
// pens and activities are booked as the job says, the progress table is
// monotonic from 0 to the job time, and the picture covers the path the servo
// took.
#include <fstream>
#include <regex>
#include <sstream>

#include "corvanta/corvanta.h"
#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;

namespace {

corvanta::Result Explained(const std::string& cmd, std::FILE* trace = nullptr) {
    corvanta::Options opt;
    opt.explain = true;
    opt.traceTicks = trace;
    return corvanta::Estimate(cmd, opt);
}

uint64_t Sum(const uint64_t* v, int n) {
    uint64_t s = 0;
    for (int i = 0; i < n; ++i) s += v[i];
    return s;
}

}  // namespace

TEST(Breakdown, SumsToTheJobTicks) {
    std::vector<std::string> jobs;
    for (const auto& entry : fs::directory_iterator(CORVANTA_EXAMPLES_DIR))
        jobs.push_back(ReadFile(entry.path() / "Corvanta.cmd"));
    for (const std::string& job : jobs) {
        const corvanta::Result r = Explained(job);
        ASSERT_TRUE(r.explanation);
        const auto& b = r.explanation->breakdown;
        EXPECT_EQ(Sum(b.ticks, explain::kActivities), static_cast<uint64_t>(r.ticks)) << job.substr(0, 60);
        EXPECT_EQ(Sum(b.penTicks, explain::kPens), static_cast<uint64_t>(r.ticks)) << job.substr(0, 60);
    }
}

TEST(Breakdown, PensAndActivitiesAsTheJobSays) {
    using explain::Activity;
    const auto cut = Explained(
        "execute_penselect 2\npd_default 2000 0\nexecute_penselect 5\npu_default 0 2000\n"
        "pd_default 1000 1000\n");
    const auto& b = cut.explanation->breakdown;
    EXPECT_GT(b.penTicks[2], 0u);
    EXPECT_GT(b.penTicks[5], 0u);
    EXPECT_EQ(b.penTicks[2] + b.penTicks[5], static_cast<uint64_t>(cut.ticks));
    EXPECT_GT(b.ticks[int(Activity::Cutting)], 0u);
    EXPECT_GT(b.ticks[int(Activity::Travel)], 0u);
    EXPECT_EQ(b.ticks[int(Activity::RasterStroke)], 0u);

    const auto raster = Explained(ReadFile(std::string(CORVANTA_GOLDEN_DIR) + "/reference/raster_small.cmd"));
    const auto& rb = raster.explanation->breakdown;
    EXPECT_GT(rb.ticks[int(Activity::RasterStroke)], 0u);
    EXPECT_GT(rb.ticks[int(Activity::RasterMove)], 0u);
    EXPECT_EQ(rb.ticks[int(Activity::Cutting)], 0u);
}

// One line per applied record, monotonic, from 0 to the job time.
TEST(Progress, MonotonicFromZeroToTheJobTime) {
    for (const char* ex : {"mixed", "pen_change", "circle"}) {
        TempDir dir;
        fs::copy_file(fs::path(CORVANTA_EXAMPLES_DIR) / ex / "Corvanta.cmd", dir / "Corvanta.cmd");
        RunResult run = RunProgram(CORVANTA_XR7_BIN, {"--quiet", "--progress", "p.csv", dir.path.string()}, dir.path);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::istringstream csv(ReadFile(dir / "p.csv"));
        std::string line;
        std::getline(csv, line);
        EXPECT_EQ(line, "record,keyword,start_ms,end_ms");
        long prevStart = 0, lastEnd = -1, rows = 0;
        const std::regex row("([0-9]+),(\\w+),([0-9]+),([0-9]+)");
        while (std::getline(csv, line)) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, row)) << line;
            const long start = std::stol(m[3]), end = std::stol(m[4]);
            EXPECT_EQ(std::stol(m[1]), ++rows);
            if (rows == 1) {
                EXPECT_EQ(start, 0);
            }
            EXPECT_GE(start, prevStart) << line;
            EXPECT_GE(end, start) << line;
            prevStart = start, lastEnd = end;
        }
        std::istringstream cmd(ReadFile(dir / "Corvanta.cmd"));
        long records = 0;
        for (std::string kw; cmd >> kw;)
            if (std::isalpha(static_cast<unsigned char>(kw[0]))) ++records;
        EXPECT_EQ(rows, records) << ex;
        EXPECT_EQ(std::to_string(lastEnd), StatusFileLines(ReadFile(dir / "Corvanta.sts")).at(2)) << ex;
    }
}

// The picture's drawn extent is the extent of the servo positions visited.
TEST(Picture, ExtentMatchesTheTickTrace) {
    const std::string job = ReadFile(std::string(CORVANTA_EXAMPLES_DIR) + "/lettering/Corvanta.cmd");
    std::FILE* trace = std::tmpfile();
    const corvanta::Result r = Explained(job, trace);
    std::rewind(trace);
    int32_t minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
    unsigned tick, isr, profile;
    int x, y;
    while (std::fscanf(trace, "%u,%u,%u,%d,%d", &tick, &isr, &profile, &x, &y) == 5)
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    std::fclose(trace);
    int32_t sMinX = INT32_MAX, sMaxX = INT32_MIN, sMinY = INT32_MAX, sMaxY = INT32_MIN;
    for (const auto& s : r.explanation->segments)
        for (auto [px, py] : {std::pair(s.x0, s.y0), std::pair(s.x1, s.y1)})
            sMinX = std::min(sMinX, px), sMaxX = std::max(sMaxX, px), sMinY = std::min(sMinY, py),
            sMaxY = std::max(sMaxY, py);
    EXPECT_EQ(std::tuple(sMinX, sMaxX, sMinY, sMaxY), std::tuple(minX, maxX, minY, maxY));
    const std::string svg = explain::Svg(*r.explanation, "lettering");
    EXPECT_EQ(svg.rfind("<svg", 0) == 0 || svg.find("<svg") != std::string::npos, true);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

// A drawing of many short vectors keeps a compact picture.
TEST(Picture, CompactOnManySegments) {
    std::ostringstream job;
    job << "execute_penselect 1\n";
    for (int i = 0; i < 20000; ++i) job << "pd_default " << (i % 7) - 3 << " " << (i % 5) - 2 << "\n";
    const corvanta::Result r = Explained(job.str());
    const std::string svg = explain::Svg(*r.explanation, "many");
    const auto elements = std::count(svg.begin(), svg.end(), '<');
    EXPECT_LT(elements, 400);
    EXPECT_GT(r.explanation->segments.size(), 10000u);
}

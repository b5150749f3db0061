// The text forms of an explained estimate: report JSON, summary, progress CSV.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "corvanta/explain.h"
#include "explain/text.h"

namespace corvanta::explain {
namespace {

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

JobExplain WithBreakdown(std::vector<uint64_t> activities, std::vector<std::pair<int, uint64_t>> pens, uint64_t ticks) {
    JobExplain j;
    for (size_t a = 0; a < activities.size(); ++a) j.breakdown.ticks[a] = activities[a];
    for (auto [p, t] : pens) j.breakdown.penTicks[p] = t;
    j.ticks = ticks;
    return j;
}

// ---- report JSON

TEST(ExplainBreakdownJson, ExactForm) {
    const JobExplain j = WithBreakdown({7, 3, 0, 0, 5, 2}, {{0, 10}, {16, 7}}, 17);
    EXPECT_EQ(BreakdownJson(j),
              "{\"activities\": {\"cutting\": {\"ticks\": 7, \"ms\": 2}, \"travel\": {\"ticks\": 3, \"ms\": 1}, "
              "\"raster\": {\"ticks\": 0, \"ms\": 0}, \"raster-move\": {\"ticks\": 0, \"ms\": 0}, "
              "\"end-delay\": {\"ticks\": 5, \"ms\": 2}, \"other\": {\"ticks\": 2, \"ms\": 0}}, "
              "\"pens\": {\"0\": {\"ticks\": 10, \"ms\": 4}, \"16\": {\"ticks\": 7, \"ms\": 2}}}");
}

// ---- summary

TEST(ExplainSummary, ReadableAndConsistent) {
    JobExplain nan = WithBreakdown({1, 0, 0, 0, 0, 0}, {{1, 1}}, 1);
    nan.hostSeconds = NAN;
    const struct {
        const char* name;
        JobExplain job;
        size_t penLines;
        bool note;  // the breakdown does not add up to the job
        const char* hostLine;
    } cases[] = {
        {"empty", JobExplain{}, 0, false, "Host time 0.000 s"},
        {"thirds", WithBreakdown({1, 1, 1, 0, 0, 0}, {{2, 3}}, 3), 1, false, nullptr},
        {"breakdown short of the job", WithBreakdown({5, 0, 0, 0, 0, 0}, {{1, 5}}, 9), 1, true, nullptr},
        {"huge", WithBreakdown({UINT64_MAX / 2, UINT64_MAX / 2, 0, 0, 0, 0}, {{16, UINT64_MAX - 1}}, UINT64_MAX - 1), 1,
         false, nullptr},
        {"no host time", nan, 1, false, "Host time unknown"},
    };
    for (const auto& c : cases) {
        const std::string s = Summary(c.job);
        const auto lines = Lines(s);
        ASSERT_FALSE(lines.empty()) << c.name;
        EXPECT_EQ(lines[0].rfind("Job time " + detail::Hms(TicksToMs(c.job.ticks)) + ", " +
                                     std::to_string(TicksToMs(c.job.ticks)) + " ms",
                                 0),
                  0u)
            << c.name;
        double activityShares = 0, penShares = 0;
        size_t pens = 0, shareColumn = std::string::npos;
        for (const std::string& l : lines) {
            EXPECT_LE(l.size(), 80u) << c.name << ": " << l;
            EXPECT_TRUE(l.empty() || l.back() != ' ') << c.name << ": [" << l << "]";
            if (l.size() > 2 && l.compare(l.size() - 2, 2, " %") == 0) {
                // Shares line up in one column.
                if (shareColumn == std::string::npos) shareColumn = l.size();
                EXPECT_EQ(l.size(), shareColumn) << c.name << ": " << l;
                const double v = std::stod(l.substr(l.rfind("  ") + 2));
                if (l.rfind("pen ", 0) == 0)
                    penShares += v, ++pens;
                else if (l.rfind("total", 0) != 0)
                    activityShares += v;
            }
        }
        EXPECT_EQ(pens, c.penLines) << c.name;
        if (c.job.ticks > 0) {
            EXPECT_NEAR(activityShares, 100.0, 1e-9) << c.name;
            EXPECT_NEAR(penShares, 100.0, 1e-9) << c.name;
        }
        EXPECT_EQ(s.find("Note:") != std::string::npos, c.note) << c.name;
        if (c.hostLine) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), c.hostLine), lines.end()) << c.name;
        }
    }
}

// ---- progress CSV

TEST(ExplainProgress, MonotonicFromZeroToTheJobTime) {
    const auto rec = [](uint32_t n, const char* k, uint64_t s, uint64_t e) { return RecordTime{n, k, s, e}; };
    const struct {
        const char* name;
        uint64_t ticks;
        std::vector<RecordTime> records;
        std::vector<std::string> expected;  // lines after the header; empty: only the invariants
    } cases[] = {
        {"in order",
         25,
         {rec(1, "CorvantaCmdVer", 0, 0), rec(2, "pu_default", 0, 10), rec(3, "pd_default", 10, 25)},
         {"1,CorvantaCmdVer,0,0", "2,pu_default,0,4", "3,pd_default,4,10"}},
        {"clamped",
         25,
         {rec(1, "a", 5, 10), rec(2, "b", 20, 30), rec(3, "c", 12, 4), rec(4, "d,e", 40, 50), rec(5, "f", 0, 1)},
         {"1,a,0,4", "2,b,8,10", "3,c,8,8", "4,\"d,e\",10,10", "5,f,10,10"}},
        {"last ends early", 100, {rec(1, "a", 0, 10), rec(2, "b", 10, 20)}, {"1,a,0,4", "2,b,4,40"}},
        {"no job time", 0, {rec(1, "a", 3, 9), rec(2, "b", 4, 5)}, {"1,a,0,0", "2,b,0,0"}},
        {"no records", 10, {}, {}},
    };
    for (const auto& c : cases) {
        JobExplain j;
        j.ticks = c.ticks;
        j.records = c.records;
        const auto lines = Lines(ProgressCsv(j));
        ASSERT_EQ(lines.size(), c.records.size() + 1) << c.name;
        EXPECT_EQ(lines[0], "record,keyword,start_ms,end_ms");
        if (!c.expected.empty()) {
            EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), c.expected) << c.name;
        }
        uint64_t prevStart = 0;
        for (size_t i = 1; i < lines.size(); ++i) {
            const size_t b = lines[i].rfind(','), a = lines[i].rfind(',', b - 1);
            const uint64_t start = std::stoull(lines[i].substr(a + 1)), end = std::stoull(lines[i].substr(b + 1));
            EXPECT_GE(start, prevStart) << c.name << " line " << i;
            EXPECT_GE(end, start) << c.name << " line " << i;
            EXPECT_LE(end, TicksToMs(c.ticks)) << c.name << " line " << i;
            EXPECT_TRUE(i > 1 || start == 0) << c.name;
            EXPECT_TRUE(i + 1 < lines.size() || end == TicksToMs(c.ticks)) << c.name << " ends at " << end;
            prevStart = start;
        }
    }
}

}  // namespace
}  // namespace corvanta::explain

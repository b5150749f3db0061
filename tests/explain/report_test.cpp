// The text forms of an explained estimate (report JSON, summary, progress
// CSV), the time-strip bars and the number formats they share.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#if __has_include(<nlohmann/json.hpp>)
#include <nlohmann/json.hpp>
#define HAVE_JSON 1
#endif

#include "corvanta/explain.h"
#include "explain/text.h"
#include "sample_job.h"

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

// ---- number formats

TEST(ExplainText, Formats) {
    const struct {
        uint64_t ticks, ms;
    } ms[] = {{0, 0},           {2, 0},
              {3, 1},           {5, 2},
              {7, 2},           {2500, 1000},
              {723358, 289343}, {UINT64_MAX, UINT64_MAX / 5 * 2}};  // 2^64 - 1 is a multiple of 5; no overflow
    for (const auto& c : ms) EXPECT_EQ(TicksToMs(c.ticks), c.ms) << c.ticks;

    const struct {
        int64_t v;
        const char* text;
    } hundredths[] = {{0, "0"},
                      {5, "0.05"},
                      {-5, "-0.05"},
                      {1250, "12.5"},
                      {1234, "12.34"},
                      {-100, "-1"},
                      {INT64_MIN, "-92233720368547758.08"}};
    for (const auto& c : hundredths) {
        std::string s;
        detail::AppendHundredths(s, c.v);
        EXPECT_EQ(s, c.text);
    }

    const struct {
        uint64_t ms;
        const char* hms;
        const char* clock;
    } clocks[] = {{0, "0:00:00", "0:00"},
                  {59999, "0:00:59", "0:59"},
                  {3599999, "0:59:59", "59:59"},
                  {3600000, "1:00:00", "1:00:00"},
                  {360000000, "100:00:00", "100:00:00"}};
    for (const auto& c : clocks) {
        EXPECT_EQ(detail::Hms(c.ms), c.hms);
        EXPECT_EQ(detail::ClockLabel(c.ms), c.clock);
    }

    const struct {
        std::vector<uint64_t> parts;
        std::vector<uint32_t> tenths;
    } shares[] = {{{1, 1, 1}, {334, 333, 333}},
                  {{1, 999999}, {0, 1000}},
                  {{0, 0}, {0, 0}},
                  {{2, 1, 0}, {667, 333, 0}},
                  {{UINT64_MAX / 2, UINT64_MAX / 2}, {500, 500}}};
    for (const auto& c : shares) {
        uint64_t total = 0;
        for (uint64_t p : c.parts) total += p;
        EXPECT_EQ(detail::ShareTenths(c.parts, total), c.tenths);
    }

    const struct {
        const char* in;
        const char* out;
    } csv[] = {{"pd_default", "pd_default"},
               {"a,b", "\"a,b\""},
               {"say \"x\"", "\"say \"\"x\"\"\""},
               {" pad", "\" pad\""},
               {"", ""}};
    for (const auto& c : csv) EXPECT_EQ(detail::CsvField(c.in), c.out);
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

TEST(ExplainBreakdownJson, ParsesWithEveryActivityAndOnlyUsedPens) {
#ifndef HAVE_JSON
    GTEST_SKIP() << "nlohmann/json.hpp not available";
#else
    const struct {
        const char* name;
        JobExplain job;
    } cases[] = {
        {"empty", JobExplain{}},
        {"sample", sample::SampleJob()},
        {"huge counts", WithBreakdown({UINT64_MAX, 1, 2, 3, 4, 5}, {{3, UINT64_MAX}}, UINT64_MAX)},
    };
    for (const auto& c : cases) {
        const auto j = nlohmann::json::parse(BreakdownJson(c.job));
        ASSERT_EQ(j["activities"].size(), size_t(kActivities)) << c.name;
        for (int a = 0; a < kActivities; ++a) {
            const auto& e = j["activities"][std::string(ActivityName(Activity(a)))];
            EXPECT_EQ(e["ticks"].get<uint64_t>(), c.job.breakdown.ticks[a]) << c.name;
            EXPECT_EQ(e["ms"].get<uint64_t>(), TicksToMs(c.job.breakdown.ticks[a])) << c.name;
        }
        size_t used = 0;
        for (int p = 0; p < kPens; ++p)
            if (c.job.breakdown.penTicks[p]) {
                ++used;
                EXPECT_EQ(j["pens"][std::to_string(p)]["ticks"].get<uint64_t>(), c.job.breakdown.penTicks[p]) << c.name;
            }
        EXPECT_EQ(j["pens"].size(), used) << c.name;
    }
#endif
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
        {"sample", sample::SampleJob(), 4, false, "Host time 0.734 s"},
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
        {"sample", sample::SampleJob().ticks, sample::SampleJob().records, {}},
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

// ---- strip bars

TEST(ExplainStripBars, MergeFoldAndClamp) {
    using A = Activity;
    const A C = A::Cutting, T = A::Travel, R = A::RasterStroke;
    std::vector<TimeSpan> alternating;  // 100 x (7 ticks cutting, 3 ticks travel)
    for (uint64_t k = 0; k < 100; ++k)
        alternating.push_back({C, 10 * k, 10 * k + 7}), alternating.push_back({T, 10 * k + 7, 10 * k + 10});
    const struct {
        const char* name;
        std::vector<TimeSpan> spans;
        uint64_t ticks, minTicks;
        std::vector<TimeSpan> bars;
    } cases[] = {
        {"neighbours of one activity join", {{C, 0, 10}, {C, 10, 20}, {T, 20, 30}}, 30, 1, {{C, 0, 20}, {T, 20, 30}}},
        {"short span folds into the one before", {{C, 0, 100}, {T, 100, 101}, {C, 101, 200}}, 200, 10, {{C, 0, 200}}},
        {"short first span folds into the next", {{T, 0, 2}, {C, 2, 100}}, 100, 10, {{C, 0, 100}}},
        {"runs of short spans take their majority", alternating, 1000, 50, {{C, 0, 1000}}},
        {"clamped to the job, overlap and reversal dropped",
         {{C, 0, 50}, {T, 40, 60}, {R, 70, 65}, {R, 80, 500}},
         100,
         1,
         {{C, 0, 50}, {T, 50, 60}, {R, 80, 100}}},
        {"a gap of minTicks stays", {{C, 0, 20}, {C, 30, 50}}, 50, 10, {{C, 0, 20}, {C, 30, 50}}},
        {"a lone short run stays",
         {{T, 0, 100}, {C, 200, 203}, {T, 300, 400}},
         400,
         10,
         {{T, 0, 100}, {C, 200, 203}, {T, 300, 400}}},
        {"unknown activity is other", {{static_cast<A>(77), 0, 5}}, 5, 1, {{A::Other, 0, 5}}},
        {"no job time", {{C, 0, 5}}, 0, 1, {}},
        {"minTicks 0 is 1", {{C, 0, 1}, {T, 1, 2}}, 2, 0, {{C, 0, 1}, {T, 1, 2}}},
    };
    for (const auto& c : cases) {
        const auto bars = StripBars(c.spans, c.ticks, c.minTicks);
        ASSERT_EQ(bars.size(), c.bars.size()) << c.name;
        for (size_t i = 0; i < bars.size(); ++i) {
            EXPECT_EQ(bars[i].activity, c.bars[i].activity) << c.name << " bar " << i;
            EXPECT_EQ(bars[i].startTick, c.bars[i].startTick) << c.name << " bar " << i;
            EXPECT_EQ(bars[i].endTick, c.bars[i].endTick) << c.name << " bar " << i;
        }
    }
}

// On many random spans with gaps the bars are ordered, cover every spanned
// tick, stay within the job and number at most 2 x ticks / minTicks + 1.
TEST(ExplainStripBars, RandomSpansStayBoundedAndCovered) {
    std::mt19937 rng(11);
    for (uint64_t minTicks : {1u, 7u, 300u, 100000u}) {
        std::vector<TimeSpan> spans;
        uint64_t t = 0;
        for (int i = 0; i < 100000; ++i) {
            t += rng() % 3 == 0 ? rng() % 20 : 0;  // sometimes a gap
            const uint64_t len = 1 + rng() % (rng() % 50 == 0 ? 2000 : 15);
            spans.push_back({static_cast<Activity>(rng() % kActivities), t, t + len});
            t += len;
        }
        const auto bars = StripBars(spans, t, minTicks);
        EXPECT_LE(bars.size(), 2 * t / minTicks + 1) << minTicks;
        for (size_t i = 0; i < bars.size(); ++i) {
            EXPECT_LT(bars[i].startTick, bars[i].endTick) << minTicks;
            EXPECT_LE(bars[i].endTick, t) << minTicks;
            EXPECT_TRUE(i == 0 || bars[i - 1].endTick <= bars[i].startTick) << minTicks << " bar " << i;
        }
        size_t b = 0;
        for (const TimeSpan& s : spans) {
            while (b < bars.size() && bars[b].endTick <= s.startTick) ++b;
            // [s.startTick, s.endTick) lies in bars b, b+1, ... without holes
            uint64_t covered = s.startTick;
            for (size_t k = b; k < bars.size() && covered < s.endTick && bars[k].startTick <= covered; ++k)
                covered = bars[k].endTick;
            ASSERT_GE(covered, s.endTick) << "minTicks " << minTicks << " span at " << s.startTick;
        }
    }
}

}  // namespace
}  // namespace corvanta::explain

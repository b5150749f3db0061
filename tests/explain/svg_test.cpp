// The job picture: well-formed XML whatever the input, drawn where the
// segments are, and bounded in size on huge jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "corvanta/explain.h"

namespace corvanta::explain {
namespace {

struct Element {
    std::string name;
    std::map<std::string, std::string> attrs;
    int parent = -1;
};

struct Document {
    std::vector<Element> elements;  // in document order; [0] is the root
    std::string error;              // empty when well-formed
};

// A minimal well-formedness check: one <svg> root, balanced tags, quoted
// unique attributes, and text and values free of '<', bare '&' and control bytes.
bool BadText(const std::string& t) {
    for (size_t k = 0; k < t.size(); ++k) {
        const unsigned char c = t[k];
        if (c == '<' || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) return true;
        if (c == '&') {
            const size_t e = t.find(';', k);
            const std::string ref = e == std::string::npos ? "" : t.substr(k + 1, e - k - 1);
            if (ref != "amp" && ref != "lt" && ref != "gt" && ref != "quot" && ref != "apos" && ref.rfind("#", 0) != 0)
                return true;
        }
    }
    return false;
}

Document ParseSvg(const std::string& s) {
    Document d;
    std::vector<int> open;
    size_t i = 0;
    const auto name = [&] {
        const size_t f = i;
        while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || std::strchr("_:-.", s[i]))) ++i;
        return s.substr(f, i - f);
    };
    const auto blanks = [&] {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    };
    while (i < s.size() && d.error.empty()) {
        const size_t lt = std::min(s.find('<', i), s.size());
        const std::string text = s.substr(i, lt - i);
        if (BadText(text) || (open.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos))
            d.error = "bad text";
        if ((i = lt) == s.size()) break;
        const char* close = s.compare(i, 4, "<!--") == 0 ? "-->" : s.compare(i, 2, "<?") == 0 ? "?>" : nullptr;
        if (close) {
            i = s.find(close, i);
            i = i == std::string::npos ? (d.error = "unterminated", s.size()) : i + 2 + (close[0] == '-');
        } else if (s.compare(i, 2, "</") == 0) {
            i += 2;
            const std::string n = name();
            blanks();
            if (open.empty() || d.elements[open.back()].name != n || s.compare(i++, 1, ">") != 0)
                d.error = "bad </" + n + ">";
            else
                open.pop_back();
        } else {
            ++i;
            if (open.empty() && !d.elements.empty()) d.error = "second root";
            Element e{name(), {}, open.empty() ? -1 : open.back()};
            for (;;) {
                const size_t before = i;
                blanks();
                if (s.compare(i, 1, ">") == 0) open.push_back(static_cast<int>(d.elements.size()));
                if (s.compare(i, 1, ">") == 0 || s.compare(i, 2, "/>") == 0) break;
                const std::string a = name();
                const size_t q = s.find(s.compare(i, 2, "=\"") == 0 ? '"' : '\'', i + 2);
                if (e.name.empty() || i == before || a.empty() || (s.compare(i, 2, "=\"") && s.compare(i, 2, "='")) ||
                    q == std::string::npos || BadText(s.substr(i + 2, q - i - 2)) ||
                    !e.attrs.emplace(a, s.substr(i + 2, q - i - 2)).second) {
                    d.error = "bad attribute in <" + e.name + ">";
                    break;
                }
                i = q + 1;
            }
            i = s.find('>', i) + 1;
            d.elements.push_back(std::move(e));
        }
    }
    if (d.error.empty() && (!open.empty() || d.elements.empty() || d.elements[0].name != "svg"))
        d.error = "unclosed or no <svg> root";
    return d;
}

// A job of `segments` random moves on the bed, one span of 1..40 ticks each.
JobExplain RandomJob(uint32_t segments, uint32_t seed) {
    std::mt19937 rng(seed);
    const auto pick = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
    JobExplain job;
    int32_t x = static_cast<int32_t>(pick(job.bedXsvo)), y = static_cast<int32_t>(pick(job.bedYsvo));
    for (uint32_t i = 0; i < segments; ++i) {
        const auto a = static_cast<Activity>(pick(kActivities));
        int32_t nx = x, ny = y;
        if (a != Activity::EndDelay) {
            nx = std::clamp<int32_t>(x + static_cast<int32_t>(pick(20001)) - 10000, 0, job.bedXsvo);
            ny = std::clamp<int32_t>(y + static_cast<int32_t>(pick(20001)) - 10000, 0, job.bedYsvo);
        }
        job.segments.push_back({x, y, nx, ny, a, static_cast<uint8_t>(pick(kPens)), pick(500 * kServoPerMm)});
        const uint64_t ticks = 1 + pick(40);
        job.spans.push_back({a, job.ticks, job.ticks + ticks});
        job.ticks += ticks;
        x = nx, y = ny;
    }
    return job;
}

// Elements inside the element with the given id.
std::vector<const Element*> Inside(const Document& d, const std::string& id) {
    std::vector<const Element*> out;
    int group = -1;
    for (size_t i = 0; i < d.elements.size(); ++i) {
        const auto it = d.elements[i].attrs.find("id");
        if (it != d.elements[i].attrs.end() && it->second == id)
            group = static_cast<int>(i);
        else if (group >= 0 && d.elements[i].parent == group)
            out.push_back(&d.elements[i]);
    }
    return out;
}

// The absolute points of path data made of M, L, H, V and Z.
std::vector<std::pair<double, double>> PathPoints(const std::string& d) {
    std::vector<std::pair<double, double>> pts;
    double x = 0, y = 0;
    const char* p = d.c_str();
    while (*p) {
        const char c = *p++;
        char* end;
        switch (c) {
            case 'M':
            case 'L': x = std::strtod(p, &end), y = std::strtod(end, &end), p = end; break;
            case 'H': x = std::strtod(p, &end), p = end; break;
            case 'V': y = std::strtod(p, &end), p = end; break;
            case 'Z': continue;
            default: ADD_FAILURE() << "unexpected path command " << c; return pts;
        }
        pts.emplace_back(x, y);
    }
    return pts;
}

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + 1)) ++n;
    return n;
}

const Element* ByClass(const std::vector<const Element*>& els, const std::string& cls) {
    for (const Element* e : els)
        if (e->attrs.count("class") && e->attrs.at("class") == cls) return e;
    return nullptr;
}

Segment Seg(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Activity a, uint32_t speed = 0) {
    return Segment{x0, y0, x1, y1, a, 1, speed};
}

// ---- tests

// Any input, title or odd segments and spans, gives a well-formed picture.
TEST(ExplainSvg, WellFormedForAnyInput) {
    JobExplain odd;  // segments far off the bed, spans backwards and past the end, unknown activity
    odd.ticks = 10;
    odd.bedXsvo = -5, odd.bedYsvo = 0;
    odd.segments = {Seg(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, Activity::Cutting, UINT32_MAX),
                    Seg(0, 0, 0, 0, static_cast<Activity>(200))};
    odd.spans = {{Activity::Travel, 50, 2}, {static_cast<Activity>(99), 0, 400}};
    const struct {
        const char* name;
        JobExplain job;
        std::string title;
    } cases[] = {
        {"empty job", JobExplain{}, ""},
        {"markup in title", JobExplain{}, "<a href=\"x\">&amp;'</a>"},
        {"control bytes", JobExplain{},
         "a\x01\x1b"
         "b\tc"},
        {"odd input", odd, "odd"},
    };
    for (const auto& c : cases) {
        const std::string svg = Svg(c.job, c.title);
        const Document d = ParseSvg(svg);
        ASSERT_EQ(d.error, "") << c.name;
        EXPECT_EQ(svg.find("nan"), std::string::npos) << c.name;
        EXPECT_EQ(svg.find("inf"), std::string::npos) << c.name;
        EXPECT_TRUE(d.elements[0].attrs.count("viewBox")) << c.name;
    }
}

// The drawn map spans exactly the segments: path coordinates are machine
// positions in mm (x / 480, (bedY - y) / 480) rounded to 0.01 mm.
TEST(ExplainSvg, DrawnExtentIsTheSegmentsExtent) {
    JobExplain small;
    small.segments = {Seg(480, 480, 48000, 480, Activity::Cutting, 100 * 480),
                      Seg(48000, 480, 48000, 24000, Activity::Cutting, 100 * 480),
                      Seg(48000, 24000, -2400, 240000, Activity::Travel)};
    const struct {
        const char* name;
        JobExplain job;
    } cases[] = {{"two cuts and travel off the bed", small}, {"random", RandomJob(3000, 7)}};
    for (const auto& c : cases) {
        double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
        for (const Segment& s : c.job.segments) {
            if (s.activity == Activity::EndDelay) continue;  // a dwell draws nothing
            for (auto [x, y] : {std::pair{s.x0, s.y0}, std::pair{s.x1, s.y1}}) {
                // hundredths of a mm: x * 100 / 480, rounded half away from zero
                const double mx = std::round(x * 5.0 / 24) / 100,
                             my = std::round((c.job.bedYsvo - double(y)) * 5.0 / 24) / 100;
                x0 = std::min(x0, mx), x1 = std::max(x1, mx), y0 = std::min(y0, my), y1 = std::max(y1, my);
            }
        }
        const Document d = ParseSvg(Svg(c.job, c.name));
        ASSERT_EQ(d.error, "") << c.name;
        double dx0 = INFINITY, dy0 = INFINITY, dx1 = -INFINITY, dy1 = -INFINITY;
        for (const Element* e : Inside(d, "motion"))
            for (auto [x, y] : PathPoints(e->attrs.at("d")))
                dx0 = std::min(dx0, x), dx1 = std::max(dx1, x), dy0 = std::min(dy0, y), dy1 = std::max(dy1, y);
        EXPECT_NEAR(dx0, x0, 1e-9) << c.name;
        EXPECT_NEAR(dx1, x1, 1e-9) << c.name;
        EXPECT_NEAR(dy0, y0, 1e-9) << c.name;
        EXPECT_NEAR(dy1, y1, 1e-9) << c.name;
    }
    // Machine Y grows upward: the first cut runs along the bottom of the bed.
    const Document d = ParseSvg(Svg(small, ""));
    const Element* cut = ByClass(Inside(d, "motion"), "cutting speed4");  // both at the top speed
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->attrs.at("d"), "M1 469L100 469L100 420");
}

// A job in a quarter of the bed fills the map, with the bed beside the title
// for context; a larger one, or one that leaves the bed, shows the whole bed.
TEST(ExplainSvg, SmallJobsFillTheMap) {
    const auto viewWidth = [](const JobExplain& job) {
        const Document d = ParseSvg(Svg(job, "zoom"));
        EXPECT_EQ(d.error, "");
        std::istringstream box(d.elements[0].attrs.at("viewBox"));
        double x, y, w;
        box >> x >> y >> w;
        return w;
    };
    const int32_t mm = kServoPerMm;
    const struct {
        const char* name;
        Segment cut;
        double least, most;  // viewBox width in mm
    } kCases[] = {
        {"a 100 mm line", Seg(200 * mm, 200 * mm, 300 * mm, 200 * mm, Activity::Cutting), 120, 140},
        {"a 2 mm line, 30 mm across at least", Seg(10 * mm, 10 * mm, 12 * mm, 10 * mm, Activity::Cutting), 30, 40},
        {"half the bed's width", Seg(0, 0, 400 * mm, 10 * mm, Activity::Cutting), 746, 800},
        {"off the bed", Seg(-20 * mm, 10 * mm, 10 * mm, 10 * mm, Activity::Cutting), 766, 820},
    };
    for (const auto& c : kCases) {
        JobExplain job;
        job.segments = {c.cut};
        const double w = viewWidth(job);
        EXPECT_GE(w, c.least) << c.name;
        EXPECT_LE(w, c.most) << c.name;
        EXPECT_EQ(Svg(job, "").find("<clipPath id=\"map\">") != std::string::npos, true) << c.name;
    }
}

// A huge job stays a small picture: one path per kind of line, strip bars
// bounded by its width, a few dozen bytes per segment.
TEST(ExplainSvg, HugeJobStaysBounded) {
    const JobExplain job = RandomJob(100000, 3);
    const std::string svg = Svg(job, "huge");
    const Document d = ParseSvg(svg);
    ASSERT_EQ(d.error, "");
    EXPECT_LT(d.elements.size(), 150u);
    EXPECT_LT(svg.size(), 40u * job.segments.size());
    size_t bars = 0;
    for (const Element* e : Inside(d, "strip")) bars += Count(e->attrs.at("d"), "M");
    EXPECT_GT(bars, 100u);
    EXPECT_LE(bars, 2u * 1200 + 1);
}

// A path of more than 1 MB (a large job's travel came to 10,287,343 characters, which librsvg refuses) is
// split into several paths, none above about 1 MB, that still draw every segment: a cut inside a run of
// joined segments starts the next path with a move to where it stood.
TEST(ExplainSvg, LongPathsAreSplit) {
    JobExplain job;
    const int32_t n = 150000;
    for (int32_t i = 0; i < n; ++i) job.segments.push_back(Seg(i * 7, 0, i * 7 + 7, 1000, Activity::Travel));
    for (int32_t i = 0; i < n; ++i) job.segments.push_back(Seg(i * 5, 2000, i * 5 + 5, 2000, Activity::Cutting, 480));
    const Document d = ParseSvg(Svg(job, "long"));
    ASSERT_EQ(d.error, "");
    size_t travelPaths = 0, cutPaths = 0, travelLines = 0, cutLines = 0;
    for (const Element* e : Inside(d, "motion")) {
        const std::string& path = e->attrs.at("d");
        EXPECT_LE(path.size(), 1'000'000u);
        EXPECT_EQ(path[0], 'M');
        const bool travel = e->attrs.at("class") == "travel";
        (travel ? travelPaths : cutPaths) += 1;
        (travel ? travelLines : cutLines) += Count(path, "L");
        PathPoints(path);  // each piece parses on its own
    }
    EXPECT_GE(travelPaths, 2u);
    EXPECT_GE(cutPaths, 2u);
    EXPECT_EQ(travelLines, size_t(n));  // one M and one L per unjoined segment
    EXPECT_EQ(cutLines, size_t(n));     // one L per joined segment
}

}  // namespace
}  // namespace corvanta::explain

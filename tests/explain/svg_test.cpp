// The job picture: well-formed XML whatever the input, drawn where the
// segments are, raster lines gathered into bands, speed bins, and a size that
// stays bounded on huge jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/explain.h"
#include "sample_job.h"

namespace corvanta::explain {
namespace {

// ---- a small XML well-formedness checker

struct Element {
    std::string name;
    std::map<std::string, std::string> attrs;  // values with references decoded
    std::string text;                          // decoded character data directly inside
    int parent = -1;
};

struct Document {
    std::vector<Element> elements;  // in document order; [0] is the root
    std::string error;              // empty when well-formed
};

// Checks the subset of XML 1.0 an SVG file uses: declaration, comments,
// elements, attributes, character data and references.
class XmlChecker {
public:
    explicit XmlChecker(const std::string& s) : s_(s) {}

    Document Parse() {
        Document doc;
        if (s_.compare(0, 5, "<?xml") == 0) {
            const size_t e = s_.find("?>");
            if (e == std::string::npos) return Fail(doc, "unterminated declaration");
            i_ = e + 2;
        }
        std::vector<int> open;
        bool rootSeen = false;
        while (i_ < s_.size()) {
            if (s_.compare(i_, 4, "<!--") == 0) {
                const size_t e = s_.find("-->", i_ + 4);
                if (e == std::string::npos) return Fail(doc, "unterminated comment");
                i_ = e + 3;
            } else if (s_.compare(i_, 2, "</") == 0) {
                i_ += 2;
                const std::string name = Name();
                Blanks();
                if (name.empty() || !Take('>')) return Fail(doc, "bad end tag");
                if (open.empty() || doc.elements[open.back()].name != name)
                    return Fail(doc, "mismatched </" + name + ">");
                open.pop_back();
            } else if (s_[i_] == '<') {
                ++i_;
                if (open.empty() && rootSeen) return Fail(doc, "second root element");
                rootSeen = true;
                Element el;
                el.name = Name();
                el.parent = open.empty() ? -1 : open.back();
                if (el.name.empty()) return Fail(doc, "bad start tag");
                for (;;) {
                    const bool blank = Blanks();
                    if (Take('>')) {
                        open.push_back(static_cast<int>(doc.elements.size()));
                        break;
                    }
                    if (s_.compare(i_, 2, "/>") == 0) {
                        i_ += 2;
                        break;
                    }
                    const std::string attr = Name();
                    if (!blank || attr.empty()) return Fail(doc, "bad attribute in <" + el.name + ">");
                    Blanks();
                    if (!Take('=')) return Fail(doc, "attribute without value");
                    Blanks();
                    const char q = i_ < s_.size() ? s_[i_] : 0;
                    if (q != '"' && q != '\'') return Fail(doc, "unquoted attribute");
                    ++i_;
                    const size_t e = s_.find(q, i_);
                    if (e == std::string::npos) return Fail(doc, "unterminated attribute");
                    std::optional<std::string> v = Decode(s_.substr(i_, e - i_));
                    if (!v || s_.substr(i_, e - i_).find('<') != std::string::npos)
                        return Fail(doc, "bad attribute value " + attr);
                    if (!el.attrs.emplace(attr, *v).second) return Fail(doc, "duplicate attribute " + attr);
                    i_ = e + 1;
                }
                doc.elements.push_back(std::move(el));
            } else {
                const size_t e = std::min(s_.find('<', i_), s_.size());
                const std::string raw = s_.substr(i_, e - i_);
                std::optional<std::string> t = Decode(raw);
                if (!t || raw.find("]]>") != std::string::npos) return Fail(doc, "bad character data");
                if (open.empty()) {
                    if (raw.find_first_not_of(" \t\r\n") != std::string::npos) return Fail(doc, "text outside root");
                } else {
                    doc.elements[open.back()].text += *t;
                }
                i_ = e;
            }
        }
        if (!open.empty()) return Fail(doc, "unclosed <" + doc.elements[open.back()].name + ">");
        if (!rootSeen) return Fail(doc, "no root element");
        return doc;
    }

private:
    Document& Fail(Document& d, std::string why) {
        d.error = why + " at byte " + std::to_string(i_);
        return d;
    }
    bool Take(char c) {
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    bool Blanks() {
        const size_t from = i_;
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
        return i_ > from;
    }
    std::string Name() {
        const size_t from = i_;
        const auto start = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':'; };
        const auto more = [&](char c) {
            return start(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
        };
        if (i_ < s_.size() && start(s_[i_]))
            while (i_ < s_.size() && more(s_[i_])) ++i_;
        return s_.substr(from, i_ - from);
    }
    // Character data with references replaced, or nothing when a '&' starts
    // no valid reference or a forbidden control character appears.
    static std::optional<std::string> Decode(const std::string& raw) {
        static const std::map<std::string, std::string> kNamed = {
            {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
        std::string out;
        for (size_t k = 0; k < raw.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(raw[k]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return std::nullopt;
            if (c != '&') {
                out += raw[k];
                continue;
            }
            const size_t e = raw.find(';', k);
            if (e == std::string::npos) return std::nullopt;
            const std::string ref = raw.substr(k + 1, e - k - 1);
            if (kNamed.count(ref))
                out += kNamed.at(ref);
            else if (ref.size() > 1 && ref[0] == '#')
                out += '?';  // numeric: accepted, not decoded
            else
                return std::nullopt;
            k = e;
        }
        return out;
    }

    const std::string& s_;
    size_t i_ = 0;
};

// Valid UTF-8 throughout (an XML parser rejects a file that is not).
bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

Document ParseSvg(const std::string& svg) {
    Document d = XmlChecker(svg).Parse();
    if (d.error.empty() && !ValidUtf8(svg)) d.error = "not UTF-8";
    if (d.error.empty() && d.elements[0].name != "svg") d.error = "root is not <svg>";
    return d;
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

// Every kind of input gives a well-formed SVG picture whose <title> carries
// the title as given, with what XML cannot hold replaced.
TEST(ExplainSvg, WellFormedForAnyInputAndTitle) {
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
        std::string shownTitle;  // decoded start of the <title> text
    } cases[] = {
        {"sample", sample::SampleJob(), "Sample", "Sample \u2014 "},
        {"empty job", JobExplain{}, "", "Job \u2014 0:00:00"},
        {"markup in title", JobExplain{}, "<a href=\"x\">&amp;'</a>", "<a href=\"x\">&amp;'</a> \u2014"},
        {"control bytes", JobExplain{},
         "a\x01\x1b"
         "b\tc",
         "ab\tc"},
        {"invalid UTF-8", JobExplain{}, "x\xff\xc3(\xed\xa0\x80y", "x\ufffd\ufffd(\ufffd\ufffd\ufffdy"},
        {"CDATA end", JobExplain{}, "]]>", "]]>"},
        {"odd input", odd, "odd", "odd"},
    };
    for (const auto& c : cases) {
        const std::string svg = Svg(c.job, c.title);
        const Document d = ParseSvg(svg);
        ASSERT_EQ(d.error, "") << c.name;
        EXPECT_EQ(svg.find("nan"), std::string::npos) << c.name;
        EXPECT_EQ(svg.find("inf"), std::string::npos) << c.name;
        const auto title =
            std::find_if(d.elements.begin(), d.elements.end(), [](const Element& e) { return e.name == "title"; });
        ASSERT_NE(title, d.elements.end()) << c.name;
        EXPECT_EQ(title->text.rfind(c.shownTitle, 0), 0u) << c.name << ": " << title->text;
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
    } cases[] = {{"two cuts and travel off the bed", small},
                 {"sample", sample::SampleJob()},
                 {"random", sample::RandomJob(3000, 7)}};
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

// Raster lines become one band per run of neighbouring lines; moves between
// the lines of a band are not drawn, moves leading to and from it are.
TEST(ExplainSvg, RasterLinesGatherIntoBands) {
    const auto lines = [](int32_t y0, int n, int32_t pitch, int32_t xa = 0, int32_t xb = 48000) {
        std::vector<Segment> v;
        for (int i = 0; i < n; ++i) {
            const int32_t y = y0 + i * pitch;
            const int32_t from = i % 2 ? xb : xa, to = i % 2 ? xa : xb;  // both directions
            if (i) v.push_back(Seg(from, y - pitch, from, y, Activity::RasterMove));
            v.push_back(Seg(from, y, to, y, Activity::RasterStroke));
        }
        return v;
    };
    const auto join = [](std::vector<std::vector<Segment>> parts) {
        std::vector<Segment> v;
        for (auto& p : parts) v.insert(v.end(), p.begin(), p.end());
        return v;
    };
    const Segment far = Seg(48000, 960, 100000, 100000, Activity::RasterMove);
    const struct {
        const char* name;
        std::vector<Segment> segments;
        size_t bands;
        bool rasterMoveDrawn;
    } cases[] = {
        {"one image", lines(480, 100, 120), 1, false},
        {"gap of 20 mm",
         join({lines(480, 10, 120), {Seg(0, 1560, 0, 11280, Activity::RasterMove)}, lines(11280, 10, 120)}), 2, true},
        {"travel between", join({lines(480, 10, 120), {Seg(0, 1680, 0, 1800, Activity::Travel)}, lines(1800, 10, 120)}),
         2, false},
        {"side by side",
         join({lines(480, 10, 120),
               {Seg(0, 1560, 96000, 480, Activity::RasterMove)},
               lines(480, 10, 120, 96000, 144000)}),
         2, true},
        {"excursion inside an image", join({lines(480, 2, 480), {far}, lines(1440, 2, 480)}), 1, true},
    };
    for (const auto& c : cases) {
        JobExplain job;
        job.segments = c.segments;
        const Document d = ParseSvg(Svg(job, c.name));
        ASSERT_EQ(d.error, "") << c.name;
        const auto motion = Inside(d, "motion");
        const Element* bands = ByClass(motion, "raster");
        ASSERT_NE(bands, nullptr) << c.name;
        EXPECT_EQ(Count(bands->attrs.at("d"), "M"), c.bands) << c.name;
        EXPECT_EQ(ByClass(motion, "raster-move") != nullptr, c.rasterMoveDrawn) << c.name;
    }
}

// Cutting is coloured by the speed reached: five or fewer bins of a round
// step that covers the fastest segment.
TEST(ExplainSvg, SpeedBins) {
    const struct {
        std::vector<uint32_t> mmPerS;  // peak speed of each cutting segment
        std::vector<std::string> legend;
        std::vector<int> binOf;  // expected bin of each segment
    } cases[] = {
        {{10, 150, 299, 300},
         {"0\u201360", "60\u2013120", "120\u2013180", "180\u2013240", "240\u2013300"},
         {0, 2, 4, 4}},
        {{0, 7}, {"0\u20132", "2\u20134", "4\u20136", "6\u20138"}, {0, 3}},
        {{0}, {"0\u20131"}, {0}},
        {{1000, 999}, {"0\u2013200", "200\u2013400", "400\u2013600", "600\u2013800", "800\u20131000"}, {4, 4}},
        {{40, 41}, {"0\u201310", "10\u201320", "20\u201330", "30\u201340", "40\u201350"}, {4, 4}},
    };
    for (const auto& c : cases) {
        JobExplain job;
        for (size_t i = 0; i < c.mmPerS.size(); ++i)
            job.segments.push_back(
                Seg(int32_t(i) * 4800, 0, int32_t(i) * 4800 + 2400, 0, Activity::Cutting, c.mmPerS[i] * 480));
        const Document d = ParseSvg(Svg(job, ""));
        ASSERT_EQ(d.error, "");
        std::vector<std::string> legend;
        for (const Element& e : d.elements)
            if (e.name == "text" && e.text.find("\u2013") != std::string::npos) legend.push_back(e.text);
        EXPECT_EQ(legend, c.legend) << c.mmPerS.back();
        for (size_t i = 0; i < c.mmPerS.size(); ++i) {
            const Element* path = ByClass(Inside(d, "motion"), "cutting speed" + std::to_string(c.binOf[i]));
            ASSERT_NE(path, nullptr) << c.mmPerS[i];
            EXPECT_NE(path->attrs.at("d").find("M" + std::to_string(i * 10) + " "), std::string::npos) << c.mmPerS[i];
        }
    }
}

// A huge job stays a small picture: one path per kind of line, strip bars
// bounded by its width, a few dozen bytes per segment.
TEST(ExplainSvg, HugeJobStaysBounded) {
    const JobExplain job = sample::RandomJob(100000, 3);
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

// Consecutive joined segments of one kind are one subpath; rounding to
// 0.01 mm merges points closer than that.
TEST(ExplainSvg, JoinedSegmentsShareASubpath) {
    JobExplain job;
    job.segments = {Seg(0, 0, 4800, 0, Activity::Travel), Seg(4800, 0, 4800, 4800, Activity::Travel),
                    Seg(4800, 4800, 4801, 4800, Activity::Travel),  // 0.002 mm: nothing to draw
                    Seg(4801, 4800, 0, 0, Activity::Cutting), Seg(0, 0, 9600, 0, Activity::Travel)};
    const Document d = ParseSvg(Svg(job, ""));
    ASSERT_EQ(d.error, "");
    const Element* travel = ByClass(Inside(d, "motion"), "travel");
    ASSERT_NE(travel, nullptr);
    EXPECT_EQ(travel->attrs.at("d"), "M0 470L10 470L10 460M0 470L20 470");
}

}  // namespace
}  // namespace corvanta::explain

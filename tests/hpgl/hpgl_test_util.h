// Helpers of the HP-GL reader's tests: the records of a conversion read back, and its moves as absolute segments.
#pragma once
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "hpgl/hpgl.h"

namespace hpgl_test {

struct Record {
    std::string keyword;
    std::vector<int64_t> values;
};

// The records of a command file; a line that is not a keyword and integers comes back as keyword "?".
inline std::vector<Record> Records(const std::string& commands) {
    std::vector<Record> out;
    std::istringstream lines(commands);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        Record r;
        words >> r.keyword;
        for (long long v = 0; words >> v;) r.values.push_back(v);
        if (!words.eof()) r.keyword.assign(1, '?');
        out.push_back(r);
    }
    return out;
}

// A move record with its absolute start and end, plotter units from 0,0.
struct Move {
    bool down;
    int64_t x0, y0, x1, y1;
    int64_t dx() const { return x1 - x0; }
    int64_t dy() const { return y1 - y0; }
};

inline std::vector<Move> Moves(const std::string& commands, bool onlyDrawn = false) {
    std::vector<Move> out;
    int64_t x = 0, y = 0;
    for (const Record& r : Records(commands)) {
        if ((r.keyword != "pd_default" && r.keyword != "pu_default") || r.values.size() != 2) continue;
        const bool down = r.keyword == "pd_default";
        if (down || !onlyDrawn) out.push_back({down, x, y, x + r.values[0], y + r.values[1]});
        x += r.values[0], y += r.values[1];
    }
    return out;
}

inline std::vector<Move> DrawnMoves(const std::string& commands) { return Moves(commands, true); }

// Count of a note (0 when absent; a statement about the whole plot counts 1).
inline uint64_t NoteCount(const corvanta::hpgl::Conversion& c, std::string_view key) {
    for (const corvanta::hpgl::Note& n : c.notes)
        if (n.key == key) return n.count == 0 ? 1 : n.count;
    return 0;
}

inline std::string AllNotes(const corvanta::hpgl::Conversion& c) {
    std::string s;
    for (const corvanta::hpgl::Note& n : c.notes) s += corvanta::hpgl::NoteLine(n) + "\n";
    return s;
}

}  // namespace hpgl_test

// Collects what the reader ignored, approximated or found malformed, counted per kind of note.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hpgl/hpgl.h"

namespace corvanta::hpgl {

class NoteBook {
public:
    // Counts one more occurrence of the note `key`; the text is kept from the first call.
    void Add(std::string_view key, std::string_view text, uint64_t times = 1);
    // A statement about the whole plot (count 0), e.g. the extent; replaces an earlier one with the same key.
    void State(std::string_view key, std::string_view text);
    uint64_t Count(std::string_view key) const;
    std::vector<Note> Take() { return std::move(notes_); }

private:
    std::vector<Note> notes_;  // in order of first occurrence; a plot has a few dozen kinds at most
};

}  // namespace corvanta::hpgl

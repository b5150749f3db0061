// Collects what the reader ignored, approximated or found malformed, counted per kind of note.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
    std::vector<Note> Take() {
        byKey_.clear();
        return std::exchange(notes_, {});
    }

private:
    Note* Find(std::string_view key);
    std::vector<Note> notes_;                        // in order of first occurrence
    std::unordered_map<std::string, size_t> byKey_;  // key -> index in notes_: constant time per occurrence
};

}  // namespace corvanta::hpgl

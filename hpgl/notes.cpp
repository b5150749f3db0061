#include "hpgl/notes.h"

#include <algorithm>

namespace corvanta::hpgl {

void NoteBook::Add(std::string_view key, std::string_view text, uint64_t times) {
    for (Note& n : notes_) {
        if (n.key == key) {
            n.count += times;
            return;
        }
    }
    notes_.push_back(Note{std::string(key), std::string(text), times});
}

void NoteBook::State(std::string_view key, std::string_view text) {
    for (Note& n : notes_) {
        if (n.key == key) {
            n.text = text;
            return;
        }
    }
    notes_.push_back(Note{std::string(key), std::string(text), 0});
}

uint64_t NoteBook::Count(std::string_view key) const {
    const auto it = std::find_if(notes_.begin(), notes_.end(), [&](const Note& n) { return n.key == key; });
    return it == notes_.end() ? 0 : it->count;
}

std::string NoteLine(const Note& note) {
    std::string line = "hpgl: " + note.text;
    if (note.count > 1) line += " (" + std::to_string(note.count) + " times)";
    return line;
}

}  // namespace corvanta::hpgl

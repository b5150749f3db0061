#include "hpgl/notes.h"

namespace corvanta::hpgl {

Note* NoteBook::Find(std::string_view key) {
    const auto it = byKey_.find(std::string(key));
    return it == byKey_.end() ? nullptr : &notes_[it->second];
}

void NoteBook::Add(std::string_view key, std::string_view text, uint64_t times) {
    if (Note* n = Find(key)) {
        n->count += times;
        return;
    }
    byKey_.emplace(std::string(key), notes_.size());
    notes_.push_back(Note{std::string(key), std::string(text), times});
}

void NoteBook::State(std::string_view key, std::string_view text) {
    if (Note* n = Find(key)) {
        n->text = text;
        return;
    }
    byKey_.emplace(std::string(key), notes_.size());
    notes_.push_back(Note{std::string(key), std::string(text), 0});
}

uint64_t NoteBook::Count(std::string_view key) const {
    const auto it = byKey_.find(std::string(key));
    return it == byKey_.end() ? 0 : notes_[it->second].count;
}

std::string NoteLine(const Note& note) {
    std::string line = "hpgl: " + note.text;
    if (note.count > 1) line += " (" + std::to_string(note.count) + " times)";
    return line;
}

}  // namespace corvanta::hpgl

// Notes for people on standard error: what a job's text and its result mean
// when the machine's own answer would mislead (an empty or UTF-16 file, a job
// that ended before the end of its file, a version mismatch), and the nearest
// known word to a mistyped one.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/corvanta.h"

namespace corvanta::app {

// The known word nearest to `word` (at most two edits away, a swap of
// neighbours being one edit, case ignored), or "" when none is near.
std::string Nearest(std::string_view word, const std::vector<std::string_view>& known);

// Milliseconds for people: "3.463 s", "4 min 05 s", "1 h 01 min 03 s".
std::string ReadableTime(uint64_t ms);

// True when the bytes look like UTF-16 or UTF-32 text: a byte-order mark
// FF FE or FE FF, or NUL bytes among the first characters.
bool LooksLikeUtf16(std::string_view bytes);

// The notes on the job of `commands` (path names the file) and its result,
// each line starting with "corvanta: " and ending in a line break; "" for none.
std::string JobNotes(const std::string& path, std::string_view commands, const Result& r);

}  // namespace corvanta::app

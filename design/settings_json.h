// Job settings read from JSON (--settings FILE).  Every key is optional; an unknown key, a value of the wrong
// type or out of its range is an error that names the key.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "design/settings.h"

namespace corvanta::design {

inline constexpr std::size_t kMaxSettingsBytes = 1 << 20;  // a settings file is a few hundred bytes
inline constexpr int kMaxSettingsDepth = 8;                // objects and arrays nested at most this deep

// Fills `settings` from the JSON text; on failure returns false, sets `error` and leaves `settings` as it was.
bool ReadSettings(std::string_view json, Settings& settings, std::string& error);

}  // namespace corvanta::design

// The page's files, embedded into the program at build time.
#pragma once
#include <cstddef>
#include <string_view>

namespace corvanta::server {

struct Asset {
    const char* path;  // URL path, e.g. "/app.js"
    const unsigned char* bytes;
    size_t size;
};

// The embedded files; the last entry has a null path.
const Asset* Assets();

}  // namespace corvanta::server

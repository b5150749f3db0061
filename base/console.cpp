#include "base/console.h"

#include <cstdint>
#include <cstring>

namespace corvanta {

void Console::vprintf(const char* fmt, va_list ap) {
    std::lock_guard<std::mutex> hold(lock_);
    if (stream_) {
        std::vfprintf(stream_, fmt, ap);
        return;
    }
    char small[512];
    va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(small, sizeof small, fmt, ap);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        text_.append(small, static_cast<size_t>(n));
    } else {
        const size_t at = text_.size();
        text_.resize(at + static_cast<size_t>(n) + 1);
        std::vsnprintf(text_.data() + at, static_cast<size_t>(n) + 1, fmt, again);
        text_.resize(at + static_cast<size_t>(n));
    }
    va_end(again);
}

void Console::write(const char* data, size_t n) {
    std::lock_guard<std::mutex> hold(lock_);
    if (stream_)
        std::fwrite(data, 1, n, stream_);
    else
        text_.append(data, n);
}

uint32_t PtrBits(const void* p) {
    uintptr_t v;
    std::memcpy(&v, &p, sizeof v);
    return static_cast<uint32_t>(v);
}

}  // namespace corvanta

#include "base/base_layer.h"

#include <cstdarg>
#include <cstdio>

namespace corvanta {

void JobFail(const char* reason, const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    throw JobAbort{reason, buf};
}

void BaseLayer::Con(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    console.vprintf(fmt, ap);
    va_end(ap);
}

void BaseLayer::Trace(const char* fmt, ...) {
    console.write("T00000 ", 7);
    va_list ap;
    va_start(ap, fmt);
    console.vprintf(fmt, ap);
    va_end(ap);
}

}  // namespace corvanta

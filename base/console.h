// The console sink of one machine: the text the machine prints, written as
// given ("\n\r" line ends stay as they are).  The program sends it to standard
// output as it is printed; a library caller collects it in a string.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace corvanta {

class Console {
public:
    Console() = default;  // collects into text()
    explicit Console(std::FILE* stream) : stream_(stream) {}

    void vprintf(const char* fmt, va_list ap);
    void write(const char* data, size_t n);
    const std::string& text() const { return text_; }

private:
    std::FILE* stream_ = nullptr;  // null: collect in text_
    std::string text_;
    std::mutex lock_;  // the tick thread and the planner may both print
};

// Low 32 bits of a pointer, the form the dumps and traces print.
uint32_t PtrBits(const void* p);

}  // namespace corvanta

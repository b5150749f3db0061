// A one-line progress bar for standard error while a quote runs: inputs done
// of the total, time elapsed and an estimate of the time left.  Drawn only on
// a terminal; the caller decides whether to make one.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>

namespace corvanta::quote {

class ProgressBar {
public:
    ProgressBar(std::FILE* out, size_t total);
    // Redraws the line with `done` inputs finished.
    void Update(size_t done);
    // Clears the line.
    void Finish();
    // The text of the line (without the carriage return), for a given state.
    static std::string Line(size_t done, size_t total, double elapsedSeconds, size_t width);

private:
    std::FILE* out_;
    size_t total_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace corvanta::quote

#include "quote/progress.h"

#include <algorithm>
#include <cmath>

namespace corvanta::quote {
namespace {

std::string MinSec(double seconds) {
    const auto s = static_cast<unsigned long long>(std::llround(std::max(0.0, seconds)));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llu:%02llu", s / 60, s % 60);
    return buf;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* out, size_t total)
    : out_(out), total_(total), start_(std::chrono::steady_clock::now()) {}

std::string ProgressBar::Line(size_t done, size_t total, double elapsedSeconds, size_t width) {
    const size_t filled = total == 0 ? width : std::min(width, done * width / total);
    std::string line = "[";
    line.append(filled, '#').append(width - filled, '.').append("] ");
    line.append(std::to_string(done)).append("/").append(std::to_string(total));
    line.append("  ").append(MinSec(elapsedSeconds)).append(" elapsed");
    if (done > 0 && done < total)
        line.append(", ").append(MinSec(elapsedSeconds / done * (total - done))).append(" left");
    return line;
}

void ProgressBar::Update(size_t done) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(out_, "\r%s\033[K", Line(done, total_, elapsed, 30).c_str());
    std::fflush(out_);
}

void ProgressBar::Finish() {
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
}

}  // namespace corvanta::quote

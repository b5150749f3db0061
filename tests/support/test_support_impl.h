#pragma once
#include <gtest/gtest.h>

namespace corvanta_test {
template <class Fn>
std::string Console(Fn&& fn) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}
}  // namespace corvanta_test

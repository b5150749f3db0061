// Shared helpers of the unit and whole-program tests.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "setup/machine.h"

namespace corvanta_test {

// Process-start state, the deterministic schedule, InitMachine() for the
// model, and the job armed as the interpreter arms it (srvo_off_to_on).
// The console text printed meanwhile is returned.
std::string StartMachine(const ModelVariant& model = ModelXR7, bool arm = true);

// Runs the servo side until it is idle (deterministic schedule).
void DrainServo();

// Console text printed by fn.
template <class Fn>
std::string Console(Fn&& fn);

// --- whole-program runs -------------------------------------------------------
struct RunResult {
    int exitCode = -1;
    std::string out;   // standard output, bytes as written
    std::string err;   // standard error
};
// A fresh temporary directory, removed when the object dies.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
    std::filesystem::path operator/(const std::string& name) const { return path / name; }
};
// Runs the program (CORVANTA_XR7_BIN or CORVANTA_K730_BIN) with the arguments,
// in directory cwd.
RunResult RunProgram(const std::string& binary, const std::vector<std::string>& args,
                     const std::filesystem::path& cwd);
std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& text);
// A status file's lines from its bytes: splits at 0x0D 0x0A 0x0D.
std::vector<std::string> StatusFileLines(const std::string& bytes);

}  // namespace corvanta_test

#include "support/test_support_impl.h"

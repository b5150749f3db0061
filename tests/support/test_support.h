// Shared helpers of the unit and whole-program tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "job/machine.h"

namespace corvanta_test {

using namespace corvanta;

// The console sink lives before the machine that prints into it.
struct SinkHolder {
    Console sink;
};

// A machine of its own for one test: the deterministic schedule, started up
// for the model (InitMachine after the process entry has cleared Event) and,
// when `arm`, armed as the interpreter arms it (srvo_off_to_on).  Its console
// is collected; NewConsole() returns what was printed since the last call.
class Rig : public SinkHolder, public Machine {
public:
    explicit Rig(const ModelVariant& model = ModelXR7, bool arm = true);
    std::string NewConsole();
    std::string startup;  // the console text of the start-up

private:
    size_t seen_ = 0;
};

// Test fixture whose test bodies run as members of a fresh started, armed
// XR7 machine: they read and write its fields by their own names.
class MachineTest : public Rig, public testing::Test {
public:
    MachineTest() : Rig(ModelXR7, true) {}
    // Console text printed by fn.
    template <class Fn>
    std::string Console(Fn&& fn) {
        NewConsole();
        fn();
        return NewConsole();
    }
    // Runs the servo side until it is idle.
    void DrainServo() { WaitServoIdle(); }
};

// --- whole-program runs -------------------------------------------------------
struct RunResult {
    int exitCode = -1;
    std::string out;  // standard output, bytes as written
    std::string err;  // standard error
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
RunResult RunProgram(const std::string& binary, const std::vector<std::string>& args, const std::filesystem::path& cwd);
std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& text);
// A status file's lines from its bytes: splits at 0x0D 0x0A 0x0D.
std::vector<std::string> StatusFileLines(const std::string& bytes);

}  // namespace corvanta_test

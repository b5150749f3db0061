#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace corvanta_test {

Rig::Rig(const ModelVariant& model, bool arm) : Machine(sink, model, true) {
    DbgClear(Event);
    InitMachine();
    if (arm) srvo_off_to_on();
    startup = NewConsole();
}

std::string Rig::NewConsole() {
    const std::string& all = sink.text();
    std::string fresh = all.substr(seen_);
    seen_ = all.size();
    return fresh;
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path = std::filesystem::temp_directory_path() /
           ("corvanta_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::filesystem::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

RunResult RunProgram(const std::string& binary, const std::vector<std::string>& args,
                     const std::filesystem::path& cwd) {
    TempDir capture;
    // Built by appending: GCC 12 warns (-Wrestrict, falsely) on a chain of operator+.
    std::string cmd = "cd ";
    for (const std::string& part : {Quote(cwd.string()), std::string(" && "), Quote(binary)}) cmd.append(part);
    for (const std::string& a : args) cmd.append(" ").append(Quote(a));
    cmd.append(" >").append(Quote((capture / "out").string()));
    cmd.append(" 2>").append(Quote((capture / "err").string()));
    RunResult r;
    int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(capture / "out");
    r.err = ReadFile(capture / "err");
    return r;
}

std::vector<std::string> StatusFileLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = bytes.find("\x0D\x0A\x0D", start);
        if (end == std::string::npos) break;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 3;
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

}  // namespace corvanta_test

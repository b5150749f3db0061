// File handling of the program: the command file read whole and checked to
// be a regular file, the status file replaced atomically, and output files
// whose every write is checked.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace corvanta::app {

// Reads a regular file whole.  A directory, FIFO or device is refused without
// blocking.  On failure returns false and sets `why`.
bool ReadRegularFile(const std::string& path, std::string& text, std::string& why);

// Status lines joined with the machine's line end, 0D 0A 0D, after each.
std::string StatusBytes(const std::vector<std::string>& lines);

// The status file of a job directory, written so that a reader sees the old
// file, no file, or the whole new one.
class StatusFile {
public:
    explicit StatusFile(std::string path) : path_(std::move(path)) {}
    ~StatusFile();
    // Removes an earlier status (the link itself where it is a symlink) and
    // creates the temporary file beside it.
    bool Prepare(std::string& why);
    // Writes the bytes to the temporary file, checks the flush and close,
    // and renames it over the status file.
    bool Commit(const std::string& bytes, std::string& why);
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string tmpPath_;
    int fd_ = -1;
};

// An output file (report, trace) opened for writing; Close() reports whether
// every write and the close succeeded.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    bool Open(const std::string& path, std::string& why);
    std::FILE* stream() const { return f_; }
    bool Close(std::string& why);
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::FILE* f_ = nullptr;
};

// True when a and b name the same file: the same device and inode, or, where
// one does not exist yet, the same normalised absolute path.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace corvanta::app

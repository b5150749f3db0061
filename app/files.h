// File handling of the program: the command file read whole and checked to
// be a regular file, and the status file and the outputs replaced whole.
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

// A file replaced as a whole, as the status file of a job directory is: the
// bytes go to a temporary file beside it, are synced, and the temporary file
// is renamed over it, so a reader sees the old file, no file, or the whole
// new one.  A file never committed leaves nothing behind.
class StatusFile {
public:
    // `what` names the file in messages ("the status file", "the report file");
    // `removeEarlier`: Prepare removes an earlier file first (the status: no
    // earlier answer survives a run that cannot give a new one).
    explicit StatusFile(std::string path, std::string what = "the status file", bool removeEarlier = true)
        : path_(std::move(path)), what_(std::move(what)), removeEarlier_(removeEarlier) {}
    ~StatusFile();
    StatusFile(const StatusFile&) = delete;
    StatusFile& operator=(const StatusFile&) = delete;
    // Removes an earlier file when asked to (the link itself where it is a
    // symlink) and creates the temporary file beside it.  An output (not
    // removing an earlier file) named through a symlink replaces the file the
    // link points to; one that names a device or FIFO is written in place.
    bool Prepare(std::string& why);
    // The temporary file as a stream, for a file written while the job runs;
    // null when it cannot be opened.  Commit then appends to it.
    std::FILE* Stream();
    // Writes the bytes to the temporary file, checks the flush and close,
    // and renames it over the file.
    bool Commit(const std::string& bytes, std::string& why);
    const std::string& path() const { return path_; }

private:
    bool Flush(std::string& why);
    bool OpenDirect(std::string& why);
    std::string path_, what_;
    bool removeEarlier_;
    bool direct_ = false;  // a device or FIFO, written in place
    std::string tmpPath_;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
};
// An output (report, picture, trace) is replaced the same way, keeping an
// earlier file until the new one is whole.
using ReplacedFile = StatusFile;

// True when a and b name the same file: the same device and inode, or, where
// one does not exist yet, the same normalised absolute path.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace corvanta::app

#include "app/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
// Windows (MinGW-w64): its C runtime has open, read, write, close, unlink, fstat and mkstemp; what it lacks
// is supplied here under the POSIX names, so the code below is the same on both platforms.  Descriptors are
// opened in binary mode (no CR LF translation, no end at ^Z), and the status file is renamed over the old
// one with the platform's replace-and-flush.
#include <io.h>

#include "base/win32.h"

namespace corvanta::app::win {

inline int Fsync(int fd) { return ::_commit(fd); }  // FlushFileBuffers on the file's handle
inline int Fchmod(int, int) { return 0; }           // access is the directory's (ACLs), not mode bits
inline int Fcntl(int, int, int = 0) { return 0; }   // descriptors never block here: no flags to change

// Replaces `to` with `from` in one step, and returns when the move is on the disk.
inline int RenameReplace(const char* from, const char* to) {
    const auto widen = [](const char* narrow) {
        const int n = ::MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
        std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1u, L'\0');
        if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide.data(), n);
        return wide;
    };
    if (::MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}

}  // namespace corvanta::app::win

#define fsync corvanta::app::win::Fsync
#define fchmod corvanta::app::win::Fchmod
#define fcntl corvanta::app::win::Fcntl
#define F_GETFL 3
#define F_SETFL 4
#define rename corvanta::app::win::RenameReplace
#define O_NONBLOCK 0
#define O_CLOEXEC O_BINARY
#endif

namespace corvanta::app {

namespace fs = std::filesystem;

static std::string Reason() { return std::strerror(errno); }

bool ReadRegularFile(const std::string& path, std::string& text, std::string& why) {
    // Without blocking: a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = Reason();
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = Reason();
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file";
        ::close(fd);
        return false;
    }
    text.clear();
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            why = Reason();
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string StatusBytes(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\x0D\x0A\x0D";
    return out;
}

StatusFile::~StatusFile() {
    if (stream_)
        std::fclose(stream_);
    else if (fd_ >= 0)
        ::close(fd_);
    if (!tmpPath_.empty()) ::unlink(tmpPath_.c_str());
}

bool StatusFile::Prepare(std::string& why) {
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        why = "cannot replace " + path_ + ": it is a directory";
        return false;
    }
    if (!removeEarlier_ && exists && !S_ISREG(st.st_mode)) return OpenDirect(why);
    if (!removeEarlier_ && exists) {
        // An output named through a symlink replaces the file it points to.
        std::error_code ec;
        const fs::path target = fs::canonical(path_, ec);
        if (!ec) path_ = target.string();
    }
    if (removeEarlier_ && ::unlink(path_.c_str()) != 0 && errno != ENOENT) {
        why = "cannot replace " + path_ + ": " + Reason();
        return false;
    }
    std::string tmpl = path_ + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        why = "cannot create " + what_ + " " + path_ + ": " + Reason();
        return false;
    }
    tmpPath_ = name.data();
    return true;
}

// A device or FIFO (/dev/null, /dev/stdout, a pipe) is written in place, as
// it cannot be replaced; without blocking when a FIFO has no reader.
bool StatusFile::OpenDirect(std::string& why) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) {
        why = "cannot write " + what_ + " " + path_ + ": " + Reason();
        return false;
    }
    direct_ = true;
    return true;
}

std::FILE* StatusFile::Stream() {
    if (!stream_ && fd_ >= 0) stream_ = ::fdopen(fd_, "wb");
    return stream_;
}

// Everything written so far on its way to the disk; the descriptor stays open.
bool StatusFile::Flush(std::string& why) {
    if (stream_ && (std::fflush(stream_) != 0 || std::ferror(stream_) != 0)) {
        why = "cannot write " + what_ + " " + path_ + ": " + (errno != 0 ? Reason() : "a write failed");
        return false;
    }
    if (!direct_ && (::fchmod(fd_, 0644) != 0 || ::fsync(fd_) != 0)) {
        why = "cannot write " + what_ + " " + path_ + ": " + Reason();
        return false;
    }
    return true;
}

bool StatusFile::Commit(const std::string& bytes, std::string& why) {
    if (fd_ < 0) {
        why = "cannot write " + what_ + " " + path_ + ": it was not created";
        return false;
    }
    if (stream_) std::fflush(stream_);  // the stream's bytes come before these
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            why = "cannot write " + what_ + " " + path_ + ": " + Reason();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    errno = 0;
    if (!Flush(why)) return false;
    const int fd = fd_;
    fd_ = -1;
    std::FILE* const stream = stream_;
    stream_ = nullptr;
    if ((stream ? std::fclose(stream) : ::close(fd)) != 0) {
        why = "cannot write " + what_ + " " + path_ + ": " + Reason();
        return false;
    }
    if (!direct_ && ::rename(tmpPath_.c_str(), path_.c_str()) != 0) {
        why = "cannot write " + what_ + " " + path_ + ": " + Reason();
        return false;
    }
    tmpPath_.clear();
    return true;
}

// Where neither file exists yet, the same normalised absolute path.
static bool SamePathByName(const std::string& a, const std::string& b) {
    std::error_code ec;
    const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return pa.lexically_normal() == pb.lexically_normal();
}

#ifdef _WIN32
// Windows: the volume serial number and file index identify a file (stat's inode is always 0 there).
static bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    return ok;
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    const bool ea = FileIdentity(a, ia), eb = FileIdentity(b, ib);
    if (ea && eb)
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
               ia.nFileIndexLow == ib.nFileIndexLow;
    if (ea != eb) return false;
    return SamePathByName(a, b);
}
#else
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    const bool ea = ::stat(a.c_str(), &sa) == 0, eb = ::stat(b.c_str(), &sb) == 0;
    if (ea && eb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (ea != eb) return false;
    return SamePathByName(a, b);
}
#endif

}  // namespace corvanta::app

// The POSIX side of the file functions.
#ifndef _WIN32

#include "external/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace VelXmlN {
namespace platform {

namespace {

constexpr std::size_t kMaxPathLength = 4095;

// strerror_r comes in two shapes: the XSI one returns an int and fills the buffer, the GNU one
// returns the text. Overloading on the result picks whichever the C library declares.
[[maybe_unused]] const char* errorText(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* errorText(const char* result, const char*) {
    return result;
}

bool fail(FileError& error, int code, const std::string& what) {
    char buffer[256] = {};
    error.code = code;
    error.message = what + ": " + errorText(strerror_r(code, buffer, sizeof buffer), buffer);
    return false;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// Closes a descriptor on every way out of a function.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes now and reports the result: a failed close can be the first sign of a lost write.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool syncDescriptor(int fd) {
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// A rename is only durable once the folder holding the new name is on disk too. A folder that
// cannot be flushed does not undo the rename, which has already happened, so failures here are
// not reported.
void syncFolder(const std::string& folder) {
    Descriptor fd(openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (fd.valid()) {
        syncDescriptor(fd.get());
    }
}

// Six characters from a 62-letter alphabet, as mkstemp uses; the exclusive create below, not the
// randomness, is what makes the name safe.
std::string uniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::uint64_t x = static_cast<std::uint64_t>(now) ^
                      (static_cast<std::uint64_t>(::getpid()) << 40) ^
                      (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
    // splitmix64 finaliser: spreads the bits so that consecutive calls differ everywhere.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = kLetters[x % 62];
        x /= 62;
    }
    return suffix;
}

}  // namespace

bool temporaryFolder(std::string& folder, FileError& error) {
    const char* fromEnvironment = std::getenv("TMPDIR");
    const std::string chosen =
        fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "/tmp";
    if (chosen.size() > kMaxPathLength) {
        return fail(error, ENAMETOOLONG, "cannot use the temporary folder " + quoted(chosen));
    }
    folder = chosen;
    return true;
}

bool createUniqueFile(const std::string& folder, const std::string& prefix, std::string& created,
                      FileError& error) {
    int code = EEXIST;
    for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
        const std::string path = joinPath(folder, prefix + uniqueSuffix());
        Descriptor fd(openRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
        if (fd.valid()) {
            created = path;
            return true;
        }
        code = errno;
    }
    return fail(error, code, "cannot create a temporary file in " + quoted(folder));
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

bool isFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool copyFile(const std::string& from, const std::string& to, FileError& error) {
    const std::string what = "cannot copy " + quoted(from) + " to " + quoted(to);
    Descriptor in(openRetrying(from.c_str(), O_RDONLY));
    if (!in.valid()) {
        return fail(error, errno, what);
    }
    Descriptor out(openRetrying(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    if (!out.valid()) {
        return fail(error, errno, what);
    }
    std::vector<char> buffer(std::size_t{1} << 16);
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(error, errno, what);
        }
        if (got == 0) {
            break;
        }
        if (!writeAll(out.get(), buffer.data(), static_cast<std::size_t>(got))) {
            return fail(error, errno, what);
        }
    }
    if (!out.close()) {
        return fail(error, errno, what);
    }
    return true;
}

bool removeFile(const std::string& path, FileError& error) {
    if (::unlink(path.c_str()) != 0) {
        return fail(error, errno, "cannot delete " + quoted(path));
    }
    return true;
}

bool moveFile(const std::string& from, const std::string& to, FileError& error) {
    struct stat target {};
    if (::stat(to.c_str(), &target) == 0 && S_ISREG(target.st_mode)) {
        // rename needs only a writable folder, but replacing a file its owner made read-only
        // would surprise everyone who expects the write to fail as it would in place.
        if (::faccessat(AT_FDCWD, to.c_str(), W_OK, AT_EACCESS) != 0 &&
            (errno == EACCES || errno == EPERM || errno == EROFS)) {
            return fail(error, errno, "cannot replace " + quoted(to));
        }
        // Best effort: a file system without permission bits keeps its own.
        ::chmod(from.c_str(), target.st_mode & 07777);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int code = errno;
        error.crossDevice = code == EXDEV;
        return fail(error, code, "cannot move " + quoted(from) + " to " + quoted(to));
    }
    syncFolder(parentFolder(to));
    return true;
}

bool flushToDisk(const std::string& path, FileError& error) {
    const std::string what = "cannot flush " + quoted(path) + " to disk";
    // fsync works on any descriptor of the file, so a read-only one avoids needing write access.
    Descriptor fd(openRetrying(path.c_str(), O_RDONLY));
    if (!fd.valid() || !syncDescriptor(fd.get())) {
        return fail(error, errno, what);
    }
    return true;
}

bool shortPathName(const std::string&, std::string&) {
    return false;
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    std::size_t end = slash;
    while (end > 0 && path[end - 1] == '/') {
        --end;
    }
    return end == 0 ? "/" : path.substr(0, end);
}

}  // namespace platform
}  // namespace VelXmlN

#endif

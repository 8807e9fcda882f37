// The POSIX side of the file functions.
#ifndef _WIN32

#include "platform/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/PendingFiles.h"
#include "platform/UniqueSuffix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__linux__) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#define VELXMLN_HAVE_OPENAT2 1
#endif

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace VelXmlN {
namespace platform {

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the pending files are read by signals");

PendingFiles<char> pendingFiles;

// Holds off the signals this thread could be interrupted by while it creates a temporary file and
// notes its name, so that a handler calling discardUnfinishedWrites() never finds a file made but
// not yet noted (it would stay behind).
class HeldSignals {
  public:
    HeldSignals() noexcept {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &old_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t old_;
};

bool fail(FileError& error, int code, const std::string& what) {
    error.code = code;
    error.message = what + ": " + errorText(code);
    return false;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
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

// Copies what is left of `from` to `to`; false with errno set on failure.
bool copyContent(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!writeAll(to, buffer, static_cast<std::size_t>(got))) {
            return false;
        }
    }
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

// The beginning of the temporary file's name: hidden, and named after the target so that whoever
// finds one left by a killed process knows what it was. File names are limited to 255 bytes; a
// long target name is cut, never inside a UTF-8 sequence.
std::string temporaryStem(const std::string& finalName) {
    constexpr std::size_t kMaxBaseBytes = 200;
    const std::size_t slash = finalName.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t length = finalName.size() - start;
    if (length > kMaxBaseBytes) {
        length = kMaxBaseBytes;
        while (length > 0 &&
               (static_cast<unsigned char>(finalName[start + length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    const std::string folder =
        slash == std::string::npos ? std::string() : finalName.substr(0, start);
    return folder + "." + finalName.substr(start, length) + ".velxmln-";
}

// The permissions a new file gets: 0666 less the umask. /proc tells the umask without changing
// it; umask() can only read it by setting it, briefly, which other threads would notice.
mode_t newFileMode() {
    Descriptor status(openRetrying("/proc/self/status", O_RDONLY));
    if (status.valid()) {
        char text[4096];
        const ssize_t got = ::read(status.get(), text, sizeof text - 1);
        if (got > 0) {
            text[got] = '\0';
            if (const char* line = std::strstr(text, "\nUmask:")) {
                return 0666 & ~static_cast<mode_t>(std::strtoul(line + 7, nullptr, 8));
            }
        }
    }
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Whether `path` reaches its file through a link of the process file system (/dev/stdout,
// /dev/fd/N, /proc/PID/fd/N). Such a link names an open file, not a place in a folder: replacing
// what it resolves to would swap a file under another program, so such targets are written
// through. The kernel says so when it can; older kernels are asked by the name's form.
bool throughProcessLink(const std::string& path) {
#ifdef VELXMLN_HAVE_OPENAT2
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0) {
        ::close(static_cast<int>(fd));
        return false;
    }
    if (errno == ELOOP) {
        return true;
    }
#endif
    const auto startsWith = [&path](const char* prefix) {
        return path.compare(0, std::strlen(prefix), prefix) == 0;
    };
    return startsWith("/dev/fd/") || startsWith("/dev/stdout") || startsWith("/dev/stderr") ||
           (startsWith("/proc/") && path.find("/fd/") != std::string::npos);
}

// The name under which the kernel found the open file `fd` (its links resolved), checked to name
// that same file still. Empty when it cannot be told.
std::string resolvedName(int fd, const struct stat& opened) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char name[4096];
    const ssize_t length = ::readlink(link, name, sizeof name);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof name || name[0] != '/') {
        return {};
    }
    const std::string resolved(name, static_cast<std::size_t>(length));
    struct stat found {};
    if (::stat(resolved.c_str(), &found) != 0 || found.st_dev != opened.st_dev ||
        found.st_ino != opened.st_ino) {
        return {};
    }
    return resolved;
}

}  // namespace

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& target, bool append, FileError& error) {
    target_ = target;
    const std::string cannotWrite = "cannot write " + quoted(target);
    if (target.empty()) {
        return fail(error, ENOENT, cannotWrite);
    }
    // The kernel follows the links (so that protections such as protected_symlinks hold); the
    // opened file then tells what it is and where it lies.
    Descriptor found(openRetrying(target.c_str(), O_PATH));
    if (!found.valid()) {
        const int code = errno;
        struct stat link {};
        if (code == ENOENT && ::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            return fail(error, code, cannotWrite + ", a symbolic link to a missing file");
        }
        if (code != ENOENT) {
            return fail(error, code, cannotWrite);
        }
        final_ = target;
        mode_ = newFileMode();
    } else {
        struct stat status {};
        if (::fstat(found.get(), &status) != 0) {
            return fail(error, errno, cannotWrite);
        }
        if (!S_ISREG(status.st_mode) || throughProcessLink(target)) {
            // Devices, FIFOs, terminals and files named through the process file system.
            const int fd = openRetrying(target.c_str(), O_WRONLY | O_APPEND | O_NOCTTY);
            if (fd < 0) {
                return fail(error, errno, cannotWrite);
            }
            handle_ = fd;
            writeThrough_ = true;
            return true;
        }
        struct stat link {};
        final_ = resolvedName(found.get(), status);
        if (final_.empty()) {
            if (::lstat(target.c_str(), &link) != 0 || S_ISLNK(link.st_mode)) {
                return fail(error, ENOENT, cannotWrite + ": its symbolic link cannot be followed");
            }
            final_ = target;
        }
        // rename needs only a writable folder, but replacing a file its owner made read-only
        // would surprise everyone who expects the write to fail as it would in place.
        if (::faccessat(AT_FDCWD, final_.c_str(), W_OK, AT_EACCESS) != 0 &&
            (errno == EACCES || errno == EPERM || errno == EROFS)) {
            return fail(error, errno, "cannot replace " + quoted(target));
        }
        existed_ = true;
        mode_ = status.st_mode & 07777;
        owner_ = status.st_uid;
        group_ = status.st_gid;
    }

    const std::string stem = temporaryStem(final_);
    int code = EEXIST;
    for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
        std::string name = stem + uniqueSuffix<char>(static_cast<std::uint64_t>(::getpid()));
        const HeldSignals held;
        const int fd = openRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            handle_ = fd;
            temporary_ = std::move(name);
            slot_ = pendingFiles.add(temporary_.c_str(), temporary_.size());
            break;
        }
        code = errno;
    }
    if (handle_ < 0) {
        return fail(
            error, code,
            cannotWrite + ": cannot create a temporary file in " + quoted(parentFolder(final_)));
    }
    if (append && existed_) {
        Descriptor old(openRetrying(final_.c_str(), O_RDONLY));
        if (!old.valid() || !copyContent(old.get(), static_cast<int>(handle_))) {
            const int copyError = errno;
            discard();
            return fail(error, copyError, "cannot copy " + quoted(target) + " to append to it");
        }
    }
    return true;
}

bool OutputFile::write(const char* data, std::size_t size, FileError& error) {
    if (handle_ < 0) {
        return fail(error, EBADF, "cannot write " + quoted(target_));
    }
    if (!writeAll(static_cast<int>(handle_), data, size)) {
        return fail(error, errno,
                    writeThrough_
                        ? "cannot write " + quoted(target_)
                        : "cannot write " + quoted(target_) + " by way of " + quoted(temporary_));
    }
    return true;
}

bool OutputFile::commit(FileError& error) {
    if (handle_ < 0) {
        return fail(error, EBADF, "cannot write " + quoted(target_));
    }
    const int fd = static_cast<int>(handle_);
    if (writeThrough_) {
        // Devices, pipes and terminals have nothing to flush to a disk.
        const bool synced = syncDescriptor(fd) || errno == EINVAL || errno == ENOTSUP ||
                            errno == EOPNOTSUPP || errno == EROFS;
        const int syncError = errno;
        handle_ = -1;
        if (!synced) {
            ::close(fd);
            return fail(error, syncError, "cannot flush " + quoted(target_));
        }
        if (::close(fd) != 0) {
            return fail(error, errno, "cannot write " + quoted(target_));
        }
        return true;
    }

    mode_t mode = mode_;
    if (existed_) {
        struct stat now {};
        if (::fstat(fd, &now) == 0 && (now.st_uid != owner_ || now.st_gid != group_)) {
            // Only a privileged process can give a file away; an owner can still give it the
            // target's group when it belongs to that group. Whatever is refused stays the writer's.
            if (::fchown(fd, owner_, group_) != 0) {
                [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), group_);
            }
            ::fstat(fd, &now);
        }
        if (now.st_uid != owner_) {
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        }
        if (now.st_gid != group_) {
            mode &= ~static_cast<mode_t>(S_ISGID);
        }
    }
    // Best effort: a file system without permission bits keeps its own, and the file then stays
    // private, never more open than asked.
    ::fchmod(fd, mode);

    const auto giveUp = [&](int code, const std::string& what) {
        fail(error, code, what);
        discard();
        return false;
    };
    if (!syncDescriptor(fd)) {
        const int code = errno;
        return giveUp(
            code, "cannot flush " + quoted(target_) + " to disk by way of " + quoted(temporary_));
    }
    handle_ = -1;
    if (::close(fd) != 0) {
        const int code = errno;
        return giveUp(code, "cannot write " + quoted(target_) + " by way of " + quoted(temporary_));
    }
    if (::rename(temporary_.c_str(), final_.c_str()) != 0) {
        const int code = errno;
        return giveUp(code, "cannot replace " + quoted(target_));
    }
    pendingFiles.remove(slot_);
    slot_ = -1;
    temporary_.clear();
    syncFolder(parentFolder(final_));
    return true;
}

void OutputFile::discard() noexcept {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        pendingFiles.remove(slot_);
        slot_ = -1;
        temporary_.clear();
    }
}

void discardUnfinishedWrites() noexcept {
    pendingFiles.removeAll([](const char* name) { ::unlink(name); });
}

std::unique_ptr<std::ifstream> openTextForReading(const std::string& path) {
    return std::make_unique<std::ifstream>(path, std::ios_base::in);
}

bool isFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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

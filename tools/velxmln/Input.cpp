#include "Input.h"

#include "Output.h"

#include <VelXmlN/kasxmln.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <istream>
#include <new>
#include <random>
#include <streambuf>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velxmlncli {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

std::string systemReason(int code) {
    return std::generic_category().message(code);
}

std::string systemReason(const std::error_code& code) {
    return code.default_error_condition().message();
}

/// Closes a C stream when its owner goes; standard input stays open.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file != stdin) {
            std::fclose(file);
        }
    }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

/// Opens `file` once; a FIFO is not looked into before (that would be a second open, and its
/// writer may write only once).
FilePointer openForReading(const std::string& file) {
    if (file == kStandardStream) {
        return FilePointer(stdin);
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        throw CommandError(file + ": is a directory");
    }
    errno = 0;
    FilePointer handle(std::fopen(file.c_str(), "rb"));
    if (!handle) {
        const int code = errno;
        throw CommandError(file + ": cannot open: " +
                           (code != 0 ? systemReason(code) : std::string("unknown reason")));
    }
    return handle;
}

/// Feeds a file to the reader in large blocks, remembers a read error instead of passing it off
/// as the end of the file, and keeps a progress line up to date when asked to.
class FileBuffer : public std::streambuf {
  public:
    FileBuffer(std::FILE* file, std::string name, std::uintmax_t size, bool progress)
        : file_(file),
          name_(std::move(name)),
          size_(size),
          progress_(progress),
          block_(kBlockSize) {}

    /// The system's error number of a failed read; 0 when every read succeeded.
    int readError() const noexcept { return readError_; }

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        errno = 0;
        const std::size_t count = std::fread(block_.data(), 1, block_.size(), file_);
        if (count == 0) {
            if (std::ferror(file_) != 0) {
                readError_ = errno != 0 ? errno : EIO;
            }
            finishProgress();
            return traits_type::eof();
        }
        done_ += count;
        reportProgress();
        setg(block_.data(), block_.data(), block_.data() + count);
        return traits_type::to_int_type(*gptr());
    }

  private:
    void reportProgress() {
        if (!progress_ || size_ == 0) {
            return;
        }
        const unsigned percent = static_cast<unsigned>(done_ * 100 / size_);
        if (percent == lastPercent_) {
            return;
        }
        lastPercent_ = percent;
        std::cerr << "\rvelxmln: reading " << name_ << ": " << percent << "% (" << (done_ >> 20)
                  << " of " << (size_ >> 20) << " MiB)" << std::flush;
    }

    void finishProgress() {
        if (progress_ && !finished_) {
            finished_ = true;
            std::cerr << "\rvelxmln: read " << name_ << " (" << (done_ >> 20)
                      << " MiB), building the tree\n"
                      << std::flush;
        }
    }

    std::FILE* file_;
    std::string name_;
    std::uintmax_t size_;
    std::uintmax_t done_ = 0;
    bool progress_;
    bool finished_ = false;
    unsigned lastPercent_ = 101;
    int readError_ = 0;
    std::vector<char> block_;
};

/// Builds the document that `buffer` reads from `file`; `readError` tells whether reading failed
/// (a document cut short by a failed read is reported as the read error it is).
template <typename ReadError>
std::unique_ptr<VelXmlN::Tree> buildDocument(std::streambuf& buffer, const std::string& file,
                                             ReadError readError) {
    std::istream in(&buffer);
    auto tree = std::make_unique<VelXmlN::Tree>();
    try {
        tree->buildOfStream(in);
    } catch (const kasxmln::CXMLException& error) {
        if (readError() == 0) {
            throw CommandError(inputName(file) + ": " + error.what());
        }
    }
    if (readError() != 0) {
        throw CommandError(inputName(file) + ": cannot read: " + systemReason(readError()));
    }
    if (tree->getRoot() == nullptr) {
        throw CommandError(inputName(file) + ": the file holds no document");
    }
    return tree;
}

// The name of the scan copy in progress, for the signal handler, which may only read it.
char scanCopyName[4096];
volatile std::sig_atomic_t scanCopyExists = 0;

void removeFile(const char* name) noexcept {
#ifdef _WIN32
    _unlink(name);
#else
    unlink(name);
#endif
}

/// Creates a new file of a random name in the temporary folder that only this user may read,
/// failing rather than opening a file (or link) that exists; sets `name` once the file is made
/// (its owner then removes it) and registers it for discardScanCopy.
FilePointer createPrivateFile(std::string& name) {
    std::error_code failed;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(failed);
    if (failed) {
        throw CommandError("cannot find the temporary folder: " + systemReason(failed));
    }
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^
                           static_cast<std::uint64_t>(seed()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        const std::string candidate =
            (folder / ("velxmln-scan-" + std::string(suffix) + ".xml")).string();
#ifdef _WIN32
        const int descriptor = _open(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                     _S_IREAD | _S_IWRITE);
#else
        const int descriptor = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
#endif
        if (descriptor < 0) {
            if (errno == EEXIST) {
                continue;
            }
            throw CommandError("cannot create a temporary file in " + folder.string() + ": " +
                               systemReason(errno));
        }
        // From here on the file is ours, and goes with its owner.
        name = candidate;
        if (name.size() < sizeof scanCopyName) {
            std::memcpy(scanCopyName, name.c_str(), name.size() + 1);
            // The handler must see the whole name once it sees the flag.
            std::atomic_signal_fence(std::memory_order_seq_cst);
            scanCopyExists = 1;
        }
#ifdef _WIN32
        FilePointer file(_fdopen(descriptor, "wb"));
#else
        FilePointer file(fdopen(descriptor, "wb"));
#endif
        if (!file) {
            const int code = errno;
#ifdef _WIN32
            _close(descriptor);
#else
            close(descriptor);
#endif
            throw CommandError("cannot write " + name + ": " + systemReason(code));
        }
        return file;
    }
    throw CommandError("cannot create a temporary file in " + folder.string() +
                       ": every name tried exists");
}

}  // namespace

std::string inputName(const std::string& file) {
    return file == kStandardStream ? std::string("standard input") : file;
}

std::uintmax_t inputSize(const std::string& file) {
    if (file == kStandardStream) {
        return 0;
    }
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(file, failed);
    return failed ? 0 : size;
}

bool showsProgress(std::uintmax_t size) {
#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stderr)) != 0;
#else
    const bool terminal = isatty(STDERR_FILENO) != 0;
#endif
    return size > kProgressThreshold && terminal;
}

std::unique_ptr<VelXmlN::Tree> readDocument(const std::string& file) {
    FilePointer handle = openForReading(file);
    const std::uintmax_t size = inputSize(file);
    FileBuffer buffer(handle.get(), inputName(file), size, showsProgress(size));
    return buildDocument(buffer, file, [&buffer] { return buffer.readError(); });
}

std::string readInput(const std::string& file) {
    FilePointer handle = openForReading(file);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(inputSize(file)));
    std::size_t length = 0;
    for (;;) {
        if (bytes.size() - length < kBlockSize) {
            bytes.resize(length + kBlockSize);
        }
        errno = 0;
        const std::size_t count =
            std::fread(&bytes[length], 1, bytes.size() - length, handle.get());
        length += count;
        if (count == 0) {
            break;
        }
    }
    if (std::ferror(handle.get()) != 0) {
        throw CommandError(inputName(file) +
                           ": cannot read: " + systemReason(errno != 0 ? errno : EIO));
    }
    bytes.resize(length);
    return bytes;
}

MemoryBuffer::MemoryBuffer(std::string_view bytes) {
    // The get area is only ever read; the stream buffer interface merely lacks a const form.
    char* begin = const_cast<char*>(bytes.data());
    setg(begin, begin, begin + bytes.size());
}

MemoryBuffer::pos_type MemoryBuffer::seekoff(off_type offset, std::ios_base::seekdir from,
                                             std::ios_base::openmode which) {
    if ((which & std::ios_base::in) == 0) {
        return pos_type(off_type(-1));
    }
    const off_type base = from == std::ios_base::beg   ? 0
                          : from == std::ios_base::cur ? gptr() - eback()
                                                       : egptr() - eback();
    const off_type target = base + offset;
    if (target < 0 || target > egptr() - eback()) {
        return pos_type(off_type(-1));
    }
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
}

MemoryBuffer::pos_type MemoryBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}

std::unique_ptr<VelXmlN::Tree> parseDocument(std::string_view bytes, const std::string& file) {
    MemoryBuffer buffer(bytes);
    return buildDocument(buffer, file, [] { return 0; });
}

ScanInput::ScanInput(const std::string& file) : input_(file) {
    if (file != kStandardStream) {
        std::error_code failed;
        const std::filesystem::file_status status = std::filesystem::status(file, failed);
        if (status.type() == std::filesystem::file_type::not_found) {
            throw CommandError(file + ": cannot open: " + systemReason(ENOENT));
        }
        if (failed) {
            throw CommandError(file + ": cannot open: " + systemReason(failed));
        }
        if (std::filesystem::is_directory(status)) {
            throw CommandError(file + ": is a directory");
        }
        if (std::filesystem::is_regular_file(status)) {
            // Asked, not opened: the scanners open the file themselves.
#ifdef _WIN32
            const bool readable = _access(file.c_str(), 4) == 0;
#else
            const bool readable = access(file.c_str(), R_OK) == 0;
#endif
            if (!readable) {
                throw CommandError(file + ": cannot open: " + systemReason(errno));
            }
            path_ = file;
            size_ = inputSize(file);
            return;
        }
    }
    copyOnce(file);
}

ScanInput::Copy::~Copy() {
    if (!name.empty()) {
        scanCopyExists = 0;
        removeFile(name.c_str());
    }
}

void ScanInput::copyOnce(const std::string& file) {
    FilePointer source = openForReading(file);
    FilePointer copy = createPrivateFile(copy_.name);
    const std::string& name = copy_.name;
    path_ = name;
    std::vector<char> block(kBlockSize);
    for (;;) {
        errno = 0;
        const std::size_t count = std::fread(block.data(), 1, block.size(), source.get());
        if (count == 0) {
            if (std::ferror(source.get()) != 0) {
                throw CommandError(inputName(file) +
                                   ": cannot read: " + systemReason(errno != 0 ? errno : EIO));
            }
            break;
        }
        errno = 0;
        if (std::fwrite(block.data(), 1, count, copy.get()) != count) {
            throw CommandError(inputName(file) + ": cannot copy it to " + name + ": " +
                               systemReason(errno != 0 ? errno : EIO));
        }
        size_ += count;
    }
    errno = 0;
    if (std::fclose(copy.release()) != 0) {
        throw CommandError(inputName(file) + ": cannot copy it to " + name + ": " +
                           systemReason(errno != 0 ? errno : EIO));
    }
}

std::string ScanInput::message(const std::string& message) const {
    if (copy_.name.empty()) {
        return message;
    }
    const std::string quoted = "'" + copy_.name + "'";
    const std::size_t at = message.find(quoted);
    if (at == std::string::npos) {
        return message;
    }
    std::string result = message;
    if (input_ != kStandardStream) {
        return result.replace(at, quoted.size(), "'" + input_ + "'");
    }
    const std::string ofFile = " of file " + quoted;
    const std::size_t from = message.find(ofFile);
    return from != std::string::npos ? result.erase(from, ofFile.size())
                                     : result.replace(at, quoted.size(), "standard input");
}

void discardScanCopy() noexcept {
    if (scanCopyExists != 0) {
        removeFile(scanCopyName);
    }
}

}  // namespace velxmlncli

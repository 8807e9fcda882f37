#include "Input.h"

#include <VelXmlN/kasxmln.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <istream>
#include <new>
#include <streambuf>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velxmlncli {
namespace {

std::string systemReason(int code) {
    return std::generic_category().message(code);
}

/// Closes a C stream when its owner goes.
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

FilePointer openForReading(const std::string& file) {
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
        : file_(file), name_(std::move(name)), size_(size), progress_(progress), block_(1u << 20) {}

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

}  // namespace

void checkInputFile(const std::string& file) {
    openForReading(file);
}

std::uintmax_t inputSize(const std::string& file) {
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
    FileBuffer buffer(handle.get(), file, size, showsProgress(size));
    std::istream in(&buffer);
    auto tree = std::make_unique<VelXmlN::Tree>();
    try {
        tree->buildOfStream(in);
    } catch (const kasxmln::CXMLException& error) {
        // A document cut short by a failed read is reported as the read error it is.
        if (buffer.readError() == 0) {
            throw CommandError(file + ": " + error.what());
        }
    }
    if (buffer.readError() != 0) {
        throw CommandError(file + ": cannot read: " + systemReason(buffer.readError()));
    }
    if (tree->getRoot() == nullptr) {
        throw CommandError(file + ": the file holds no document");
    }
    return tree;
}

}  // namespace velxmlncli

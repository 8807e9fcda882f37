// The part of the input files that both sides share: the C library's buffered reading.
#include "platform/InputFile.h"

#include <cerrno>

namespace VelXmlN {
namespace platform {

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

InputFile::~InputFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

int InputFile::open(const std::string& path) {
    *this = InputFile();
    int error = 0;
    file_ = openBinary(path, error);
    if (file_ == nullptr) {
        return error != 0 ? error : ENOENT;
    }
    // A folder opens on POSIX and fails at its first read. The first byte is read here, so that
    // the failure comes from the open: the parser's reader loses memory when an exception leaves
    // its constructor, which is where it reads first.
    errno = 0;
    const int first = std::getc(file_);
    if (first == EOF && std::ferror(file_) != 0) {
        error = errno != 0 ? errno : EIO;
        *this = InputFile();
        return error;
    }
    if (first != EOF) {
        std::ungetc(first, file_);
    }
    return 0;
}

std::size_t InputFile::read(void* buffer, std::size_t size, int& error) noexcept {
    error = 0;
    if (file_ == nullptr || size == 0) {
        return 0;
    }
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got == 0 && std::ferror(file_) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    return got;
}

}  // namespace platform
}  // namespace VelXmlN

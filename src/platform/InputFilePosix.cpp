// The POSIX side of the input files.
#ifndef _WIN32

#include <cerrno>

#include <sys/stat.h>

#include "platform/InputFile.h"

namespace VelXmlN {
namespace platform {

std::FILE* InputFile::openBinary(const std::string& path, int& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    error = file == nullptr ? errno : 0;
    return file;
}

bool InputFile::isRegular() const noexcept {
    struct stat status {};
    return file_ != nullptr && fstat(fileno(file_), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace platform
}  // namespace VelXmlN

#endif

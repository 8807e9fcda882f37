// The POSIX side of the input files.
#ifndef _WIN32

#include <cerrno>

#include "platform/InputFile.h"

namespace VelXmlN {
namespace platform {

std::FILE* InputFile::openBinary(const std::string& path, int& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    error = file == nullptr ? errno : 0;
    return file;
}

}  // namespace platform
}  // namespace VelXmlN

#endif

// The POSIX side of the input files.
#ifndef _WIN32

#include <cerrno>
#include <cstring>

#include "platform/InputFile.h"

namespace VelXmlN {
namespace platform {

namespace {

// strerror_r comes in two shapes: the XSI one returns an int and fills the buffer, the GNU one
// returns the text. Overloading on the result picks whichever the C library declares.
[[maybe_unused]] const char* pickText(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* pickText(const char* result, const char*) {
    return result != nullptr ? result : "Unknown error";
}

}  // namespace

std::string errorText(int code) {
    char buffer[256] = {0};
    return pickText(strerror_r(code, buffer, sizeof buffer), buffer);
}

std::FILE* InputFile::openBinary(const std::string& path, int& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    error = file == nullptr ? errno : 0;
    return file;
}

}  // namespace platform
}  // namespace VelXmlN

#endif

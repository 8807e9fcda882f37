#include "platform/ErrorText.h"

#include <cstring>

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
#ifdef _WIN32
    return strerror_s(buffer, sizeof buffer, code) == 0 ? buffer : "Unknown error";
#else
    return pickText(strerror_r(code, buffer, sizeof buffer), buffer);
#endif
}

}  // namespace platform
}  // namespace VelXmlN

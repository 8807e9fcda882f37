// The Win32 side of the input files: names are opened by their UTF-16 form, so that every name
// the narrow code page can hold is found.
#ifdef _WIN32

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/CodePageConvert.h"
#include "platform/InputFile.h"

namespace VelXmlN {
namespace platform {

std::string errorText(int code) {
    char buffer[256] = {0};
    if (strerror_s(buffer, sizeof buffer, code) != 0) {
        return "Unknown error";
    }
    return buffer;
}

std::FILE* InputFile::openBinary(const std::string& path, int& error) {
    const std::u16string wide = detail::toUtf16(path);
    std::FILE* file = nullptr;
    error = _wfopen_s(&file, reinterpret_cast<const wchar_t*>(wide.c_str()), L"rb");
    return error == 0 ? file : nullptr;
}

}  // namespace platform
}  // namespace VelXmlN

#endif

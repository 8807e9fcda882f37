// The Win32 side of the input files: names are opened by their UTF-16 form, so that every name
// the narrow code page can hold is found.
#ifdef _WIN32

#include <cerrno>
#include <cstdint>
#include <string>

#include <io.h>
#include <windows.h>

#include "platform/CodePageConvert.h"
#include "platform/InputFile.h"

namespace VelXmlN {
namespace platform {

std::FILE* InputFile::openBinary(const std::string& path, int& error) {
    const std::u16string wide = detail::toUtf16(path);
    std::FILE* file = nullptr;
    error = _wfopen_s(&file, reinterpret_cast<const wchar_t*>(wide.c_str()), L"rb");
    return error == 0 ? file : nullptr;
}

bool InputFile::isRegular() const noexcept {
    if (file_ == nullptr) {
        return false;
    }
    const std::intptr_t handle = _get_osfhandle(_fileno(file_));
    return handle != -1 && GetFileType(reinterpret_cast<HANDLE>(handle)) == FILE_TYPE_DISK;
}

}  // namespace platform
}  // namespace VelXmlN

#endif

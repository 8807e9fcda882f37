// The Win32 side of the file functions, on the narrow (ANSI) forms of the calls: the library's
// file names are narrow strings in the process's code page.
#ifdef _WIN32

#include "external/FileSystem.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace VelXmlN {
namespace platform {

namespace {

constexpr DWORD kPathBufferSize = 4096;

std::string systemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
        nullptr);
    if (length == 0 || text == nullptr) {
        return "Windows error " + std::to_string(code);
    }
    std::string message(text, length);
    LocalFree(text);
    // System messages end in ".\r\n"; the caller's sentence goes on after them.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

bool fail(FileError& error, DWORD code, const std::string& what) {
    error.code = static_cast<int>(code);
    error.message = what + ": " + systemMessage(code);
    return false;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Closes a handle on every way out of a function.
class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

}  // namespace

bool temporaryFolder(std::string& folder, FileError& error) {
    std::vector<char> buffer(kPathBufferSize, '\0');
    const DWORD length = GetTempPathA(kPathBufferSize, buffer.data());
    if (length == 0) {
        return fail(error, GetLastError(), "cannot get the temporary folder");
    }
    if (length > kPathBufferSize - 1) {
        return fail(error, ERROR_BUFFER_OVERFLOW, "cannot get the temporary folder");
    }
    folder.assign(buffer.data(), length);
    return true;
}

bool createUniqueFile(const std::string& folder, const std::string& prefix, std::string& created,
                      FileError& error) {
    // GetTempFileNameA wants MAX_PATH bytes; with a unique number of 0 it picks a free name and
    // creates the file exclusively, trying further numbers while names are taken.
    std::vector<char> buffer(MAX_PATH + 1, '\0');
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer.data()) == 0) {
        return fail(error, GetLastError(), "cannot create a temporary file in " + quoted(folder));
    }
    created = buffer.data();
    return true;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool copyFile(const std::string& from, const std::string& to, FileError& error) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        return fail(error, GetLastError(), "cannot copy " + quoted(from) + " to " + quoted(to));
    }
    return true;
}

bool removeFile(const std::string& path, FileError& error) {
    if (!DeleteFileA(path.c_str())) {
        return fail(error, GetLastError(), "cannot delete " + quoted(path));
    }
    return true;
}

bool moveFile(const std::string& from, const std::string& to, FileError& error) {
    // One call replaces the target (refused for a read-only one) and, with write-through, returns
    // only when the move is on disk. Without MOVEFILE_COPY_ALLOWED a move to another volume fails
    // with ERROR_NOT_SAME_DEVICE instead of turning into a copy that could be cut half-way.
    if (!MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        error.crossDevice = code == ERROR_NOT_SAME_DEVICE;
        return fail(error, code, "cannot move " + quoted(from) + " to " + quoted(to));
    }
    return true;
}

bool flushToDisk(const std::string& path, FileError& error) {
    const std::string what = "cannot flush " + quoted(path) + " to disk";
    // FlushFileBuffers needs a handle with write access.
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return fail(error, GetLastError(), what);
    }
    if (!FlushFileBuffers(file.get())) {
        return fail(error, GetLastError(), what);
    }
    return true;
}

bool shortPathName(const std::string& path, std::string& shortPath) {
    std::vector<char> buffer(kPathBufferSize, '\0');
    const DWORD length = GetShortPathNameA(path.c_str(), buffer.data(), kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) {
        return false;
    }
    shortPath.assign(buffer.data(), length);
    return true;
}

std::string parentFolder(const std::string& path) {
    // The drive part ("C:") stays with the folder: "C:a.xml" lies in "C:", "C:\a.xml" in "C:\".
    const std::size_t driveEnd = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    std::size_t slash = std::string::npos;
    for (std::size_t i = path.size(); i > driveEnd; --i) {
        if (isSeparator(path[i - 1])) {
            slash = i - 1;
            break;
        }
    }
    if (slash == std::string::npos) {
        return driveEnd == 0 ? "." : path.substr(0, driveEnd);
    }
    std::size_t end = slash;
    while (end > driveEnd && isSeparator(path[end - 1])) {
        --end;
    }
    if (end == driveEnd) {
        return path.substr(0, driveEnd + 1);
    }
    return path.substr(0, end);
}

}  // namespace platform
}  // namespace VelXmlN

#endif

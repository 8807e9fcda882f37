// The Win32 side of the file functions. The library's file names are narrow strings in its code
// page; they become UTF-16 through the code-page layer for the system's wide calls, so that every
// name the code page can hold works, whatever the ANSI code page of the machine.
#ifdef _WIN32

#include "platform/CodePageConvert.h"
#include "platform/FileSystem.h"
#include "platform/PendingFiles.h"
#include "platform/UniqueSuffix.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace VelXmlN {
namespace platform {

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the pending files are read by signals");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are UTF-16");

PendingFiles<wchar_t> pendingFiles;

constexpr DWORD kPathBufferSize = 4096;

std::wstring toWide(const std::string& narrow) {
    const std::u16string utf16 = detail::toUtf16(narrow);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string toNarrow(const std::wstring& wide) {
    return detail::toNarrow(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text),
        0, nullptr);
    if (length == 0 || text == nullptr) {
        return "Windows error " + std::to_string(code);
    }
    std::wstring message(text, length);
    LocalFree(text);
    // System messages end in ".\r\n"; the caller's sentence goes on after them.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L'.' || message.back() == L' ')) {
        message.pop_back();
    }
    return toNarrow(message);
}

bool fail(FileError& error, DWORD code, const std::string& what) {
    error.code = static_cast<int>(code);
    error.message = what + ": " + systemMessage(code);
    return false;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
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

HANDLE toHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool writeAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr)) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool copyContent(HANDLE from, HANDLE to) {
    std::vector<char> buffer(std::size_t{1} << 16);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!writeAll(to, buffer.data(), got)) {
            return false;
        }
    }
}

// ".<name>.velxmln-" beside the file, its name cut to stay far below the 255-unit limit (never
// between the two halves of a surrogate pair).
std::wstring temporaryStem(const std::wstring& finalName) {
    constexpr std::size_t kMaxBaseUnits = 200;
    std::size_t start = finalName.size();
    while (start > 0 && !isSeparator(finalName[start - 1])) {
        --start;
    }
    std::size_t length = finalName.size() - start;
    if (length > kMaxBaseUnits) {
        length = kMaxBaseUnits;
        if (finalName[start + length] >= 0xDC00 && finalName[start + length] <= 0xDFFF) {
            --length;
        }
    }
    return finalName.substr(0, start) + L"." + finalName.substr(start, length) + L".velxmln-";
}

// The name of the file an open handle reaches, its links resolved by the system.
std::wstring finalName(HANDLE file) {
    std::vector<wchar_t> buffer(kPathBufferSize);
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

}  // namespace

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& target, bool append, FileError& error) {
    target_ = target;
    const std::string cannotWrite = "cannot write " + quoted(target);
    if (target.empty()) {
        return fail(error, ERROR_PATH_NOT_FOUND, cannotWrite);
    }
    const std::wstring wide = toWide(target);
    // Opening with no access follows links the way the system does and tells what the name is.
    Handle found(CreateFileW(wide.c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!found.valid()) {
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (code == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return fail(error, code, cannotWrite + ", a symbolic link to a missing file");
        }
        // A missing folder is reported when the temporary file cannot be made in it, as on POSIX.
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            return fail(error, code, cannotWrite);
        }
        wideFinal_ = wide;
    } else {
        if (GetFileType(found.get()) != FILE_TYPE_DISK) {
            // Devices (NUL, CON), pipes and consoles are written through.
            const HANDLE through =
                CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (through == INVALID_HANDLE_VALUE) {
                return fail(error, GetLastError(), cannotWrite);
            }
            handle_ = reinterpret_cast<std::intptr_t>(through);
            writeThrough_ = true;
            return true;
        }
        BY_HANDLE_FILE_INFORMATION information{};
        if (!GetFileInformationByHandle(found.get(), &information)) {
            return fail(error, GetLastError(), cannotWrite);
        }
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return fail(error, ERROR_ACCESS_DENIED, cannotWrite + ", a folder");
        }
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return fail(error, ERROR_ACCESS_DENIED, "cannot replace " + quoted(target));
        }
        wideFinal_ = finalName(found.get());
        if (wideFinal_.empty()) {
            return fail(error, GetLastError(), cannotWrite);
        }
        existed_ = true;
        attributes_ = information.dwFileAttributes &
                      (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    }
    final_ = toNarrow(wideFinal_);

    const std::wstring stem = temporaryStem(wideFinal_);
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && handle_ == -1 &&
                          (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS);
         ++attempt) {
        std::wstring name = stem + uniqueSuffix<wchar_t>(GetCurrentProcessId());
        const HANDLE created = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(created);
            wideTemporary_ = std::move(name);
            temporary_ = toNarrow(wideTemporary_);
            slot_ = pendingFiles.add(wideTemporary_.c_str(), wideTemporary_.size());
        } else {
            code = GetLastError();
        }
    }
    if (handle_ == -1) {
        return fail(
            error, code,
            cannotWrite + ": cannot create a temporary file in " + quoted(parentFolder(final_)));
    }
    if (append && existed_) {
        Handle old(CreateFileW(wideFinal_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!old.valid() || !copyContent(old.get(), toHandle(handle_))) {
            const DWORD copyError = GetLastError();
            discard();
            return fail(error, copyError, "cannot copy " + quoted(target) + " to append to it");
        }
    }
    return true;
}

bool OutputFile::write(const char* data, std::size_t size, FileError& error) {
    if (handle_ == -1) {
        return fail(error, ERROR_INVALID_HANDLE, "cannot write " + quoted(target_));
    }
    if (!writeAll(toHandle(handle_), data, size)) {
        return fail(error, GetLastError(),
                    writeThrough_
                        ? "cannot write " + quoted(target_)
                        : "cannot write " + quoted(target_) + " by way of " + quoted(temporary_));
    }
    return true;
}

bool OutputFile::commit(FileError& error) {
    if (handle_ == -1) {
        return fail(error, ERROR_INVALID_HANDLE, "cannot write " + quoted(target_));
    }
    const HANDLE file = toHandle(handle_);
    handle_ = -1;
    if (writeThrough_) {
        // Devices, pipes and consoles have nothing to flush to a disk (flushing a pipe would wait
        // for its reader, and Wine refuses it for NUL).
        return CloseHandle(file) || fail(error, GetLastError(), "cannot write " + quoted(target_));
    }
    const auto giveUp = [&](DWORD code, const std::string& what) {
        fail(error, code, what);
        discard();
        return false;
    };
    if (!FlushFileBuffers(file)) {
        const DWORD code = GetLastError();
        CloseHandle(file);
        return giveUp(
            code, "cannot flush " + quoted(target_) + " to disk by way of " + quoted(temporary_));
    }
    if (!CloseHandle(file)) {
        const DWORD code = GetLastError();
        return giveUp(code, "cannot write " + quoted(target_) + " by way of " + quoted(temporary_));
    }
    // ReplaceFileW gives the new file the old one's attributes and security descriptor. Where it
    // cannot (another volume's quirks, a file system without those), one write-through move
    // replaces the target all the same. The attributes are set beforehand too, so that the move
    // keeps them and so does a ReplaceFileW that leaves them out (Wine's).
    if ((attributes_ & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)) != 0) {
        SetFileAttributesW(wideTemporary_.c_str(), attributes_);
    }
    const bool replaced =
        (existed_ && ReplaceFileW(wideFinal_.c_str(), wideTemporary_.c_str(), nullptr,
                                  REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                                  nullptr, nullptr)) ||
        MoveFileExW(wideTemporary_.c_str(), wideFinal_.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        const DWORD code = GetLastError();
        return giveUp(code, "cannot replace " + quoted(target_));
    }
    pendingFiles.remove(slot_);
    slot_ = -1;
    temporary_.clear();
    wideTemporary_.clear();
    return true;
}

void OutputFile::discard() noexcept {
    if (handle_ != -1) {
        CloseHandle(toHandle(handle_));
        handle_ = -1;
    }
    if (!wideTemporary_.empty()) {
        DeleteFileW(wideTemporary_.c_str());
        pendingFiles.remove(slot_);
        slot_ = -1;
        temporary_.clear();
        wideTemporary_.clear();
    }
}

void discardUnfinishedWrites() noexcept {
    pendingFiles.removeAll([](const wchar_t* name) { DeleteFileW(name); });
}

std::unique_ptr<std::ifstream> openTextForReading(const std::string& path) {
    // The wide name (a libstdc++ and Microsoft extension); a narrow one would go through the ANSI
    // code page, whatever the library's narrow code page is.
    return std::make_unique<std::ifstream>(toWide(path).c_str(), std::ios_base::in);
}

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool shortPathName(const std::string& path, std::string& shortPath) {
    std::vector<wchar_t> buffer(kPathBufferSize, L'\0');
    const DWORD length = GetShortPathNameW(toWide(path).c_str(), buffer.data(), kPathBufferSize);
    if (length == 0 || length >= kPathBufferSize) {
        return false;
    }
    shortPath = toNarrow(std::wstring(buffer.data(), length));
    return true;
}

std::string parentFolder(const std::string& path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    // The drive part ("C:") stays with the folder: "C:a.xml" lies in "C:", "C:\a.xml" in "C:\".
    const std::size_t driveEnd = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    std::size_t slash = std::string::npos;
    for (std::size_t i = path.size(); i > driveEnd; --i) {
        if (separator(path[i - 1])) {
            slash = i - 1;
            break;
        }
    }
    if (slash == std::string::npos) {
        return driveEnd == 0 ? "." : path.substr(0, driveEnd);
    }
    std::size_t end = slash;
    while (end > driveEnd && separator(path[end - 1])) {
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

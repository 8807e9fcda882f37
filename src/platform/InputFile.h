// Files opened for reading: the operating-system calls behind every file that the library reads,
// with one POSIX and one Win32 side.
#ifndef VELXMLN_SRC_PLATFORM_INPUTFILE_H
#define VELXMLN_SRC_PLATFORM_INPUTFILE_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace VelXmlN {
namespace platform {

/// A file open for reading in binary mode; closed when the object goes. Move-only.
class InputFile {
  public:
    InputFile() noexcept = default;
    InputFile(InputFile&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    /// Opens `path` (a narrow path in the code page of <VelXmlN/CodePage.h>; on Windows it is
    /// opened by its UTF-16 form). A name that opens but cannot be read (a folder) fails here
    /// rather than at the first read. Returns 0, or the system's error number with the file left
    /// closed.
    int open(const std::string& path);

    bool isOpen() const noexcept { return file_ != nullptr; }

    /// Whether the open file is a regular file, which can be opened and read again (not a pipe,
    /// FIFO or device, whose bytes are gone once read). False when no file is open.
    bool isRegular() const noexcept;

    /// Reads up to `size` bytes into `buffer` and returns how many were read, 0 at the end. On a
    /// read error returns 0 and sets `error` to the system's error number (else it is set to 0).
    std::size_t read(void* buffer, std::size_t size, int& error) noexcept;

  private:
    // Each side's fopen: the file, or null with `error` set.
    static std::FILE* openBinary(const std::string& path, int& error);

    std::FILE* file_ = nullptr;
};

}  // namespace platform
}  // namespace VelXmlN

#endif

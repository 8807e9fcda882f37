// The file functions the library needs from the operating system: one POSIX and one Win32 side
// behind the same small interface.
#ifndef VELXMLN_SRC_PLATFORM_FILESYSTEM_H
#define VELXMLN_SRC_PLATFORM_FILESYSTEM_H

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace VelXmlN {
namespace platform {

/// What a failed call reports: the system's error number (errno on POSIX, GetLastError on
/// Windows) and a message naming the operation, the file and the system's reason, such as
/// "cannot replace '/data/a.xml': Permission denied".
struct FileError {
    int code = 0;
    std::string message;
};

/// An output file written as a whole or not at all.
///
/// A target that is a regular file, or that does not exist yet, is never written in place: the
/// content goes to a new private file (mode 0600, created exclusively) beside it, named
/// ".<target>.velxmln-<random>" so that programs loading every "*.xml" of the folder pass it by.
/// commit() flushes that file to disk, gives it the old file's permissions (and owner and group
/// where the process may set them; set-user-ID and set-group-ID bits are dropped when they cannot
/// be kept), renames it over the target and flushes the folder, so that a process killed at any
/// moment leaves the old file or the whole new one. A new file gets 0666 less the umask. A killed
/// process may leave its temporary file behind; an interrupted one can remove it with
/// discardUnfinishedWrites().
///
/// A symbolic link is followed by the system, and the file it finally names is replaced; a
/// dangling link or a loop is an error. A hard-linked file is replaced like any other: its other
/// names keep the old content. A target that exists and is not a regular file (a character device
/// such as /dev/null, a FIFO, a terminal) and any file reached through a link of the process file
/// system such as /dev/stdout or /proc/self/fd/1 is written through: opened for appending and
/// written directly, never replaced or removed. A folder, or anything else that cannot be opened
/// for writing, is an error naming the file.
class OutputFile {
  public:
    OutputFile() = default;

    /// Discards the write unless commit() succeeded.
    ~OutputFile();

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Prepares writing `target`; with `append` the new content starts as a copy of an existing
    /// target. Returns false, filling `error` and leaving the target untouched, when the target
    /// cannot be written (a regular file the caller may not write is refused too) or no temporary
    /// file can be made beside it. Call once.
    bool open(const std::string& target, bool append, FileError& error);

    /// Appends `size` bytes. Returns false, filling `error`, when the system refuses them.
    bool write(const char* data, std::size_t size, FileError& error);

    /// Makes the written content the target's, as described above. Returns false, filling
    /// `error`, when that fails; the target is then left as it was (a file written through keeps
    /// what was written) and the temporary file is gone.
    bool commit(FileError& error);

    /// Removes the temporary file and leaves the target as it was. Safe to call at any time.
    void discard() noexcept;

    /// The temporary file being written; empty when writing through or not open.
    const std::string& temporaryName() const { return temporary_; }

    /// Whether the target is written through (not a regular file) rather than replaced.
    bool writesThrough() const { return writeThrough_; }

  private:
    std::string target_;     // as the caller named it, for messages
    std::string final_;      // the file that is replaced: the target with its links resolved
    std::string temporary_;  // empty when writing through
#ifdef _WIN32
    std::wstring wideFinal_;  // the names as the system's wide calls take them
    std::wstring wideTemporary_;
    std::uint32_t attributes_ = 0;  // the target's attributes that pass to its replacement
#endif
    std::intptr_t handle_ = -1;
    int slot_ = -1;  // where the temporary name is kept for discardUnfinishedWrites
    bool writeThrough_ = false;
    bool existed_ = false;     // the target was a regular file: its permissions pass on
    std::uint32_t mode_ = 0;   // the target's permission bits, or those of a new file
    std::uint32_t owner_ = 0;  // the target's owner and group (POSIX)
    std::uint32_t group_ = 0;
};

/// Removes the temporary file of every OutputFile of this process that is neither committed nor
/// discarded, and nothing else. Async-signal-safe: meant for a signal handler of a program that
/// ends on SIGINT or SIGTERM. The targets stay as they were.
void discardUnfinishedWrites() noexcept;

/// Opens the file `path` for reading in text mode (std::ios_base::in: on Windows "\r\n" reads as
/// "\n"), the name given to the system as it takes names: on Windows as UTF-16 through the
/// code-page layer. The stream's state tells whether it opened.
std::unique_ptr<std::ifstream> openTextForReading(const std::string& path);

/// Tells whether `path` names a folder.
bool isFolder(const std::string& path);

/// Gets the short (8.3) form of `path` on Windows. POSIX has no short form: there it returns
/// false and leaves `shortPath` untouched.
bool shortPathName(const std::string& path, std::string& shortPath);

/// The folder part of `path` without its last separator: "." for a bare file name, the root for a
/// name directly below it ("/" on POSIX, "C:\" on Windows).
std::string parentFolder(const std::string& path);

}  // namespace platform
}  // namespace VelXmlN

#endif

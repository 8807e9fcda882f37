// The file functions the library needs from the operating system: one POSIX and one Win32 side
// behind the same small interface.
#ifndef VELXMLN_SRC_EXTERNAL_FILESYSTEM_H
#define VELXMLN_SRC_EXTERNAL_FILESYSTEM_H

#include <string>

namespace VelXmlN {
namespace platform {

/// What a failed call reports: the system's error number (errno on POSIX, GetLastError on
/// Windows), whether a move failed only because the two names lie on different file systems, and
/// a message naming the operation and the paths, such as
/// "cannot delete '/data/a.xml': Permission denied".
struct FileError {
    int code = 0;
    bool crossDevice = false;
    std::string message;
};

/// Gets the folder for temporary files: TMPDIR (or "/tmp" when it is unset or empty) on POSIX,
/// GetTempPathA on Windows. The folder is not checked for existence. Returns false, filling
/// `error`, when the system cannot name one.
bool temporaryFolder(std::string& folder, FileError& error);

/// Creates a new, empty file whose name starts with `prefix` in `folder`, exclusively, so that it
/// never takes over an existing file, and stores its path in `created`. The file gets the
/// permissions a plain new file would get (0666 less the umask on POSIX). Windows keeps only the
/// first three characters of the prefix, as GetTempFileNameA does. Returns false on failure.
bool createUniqueFile(const std::string& folder, const std::string& prefix, std::string& created,
                      FileError& error);

/// Tells whether anything (file, folder, device) exists under `path`.
bool fileExists(const std::string& path);

/// Tells whether `path` names a folder.
bool isFolder(const std::string& path);

/// Copies the contents of the file `from` to `to`, creating `to` or overwriting it. A failed copy
/// may leave `to` partly written. Returns false on failure.
bool copyFile(const std::string& from, const std::string& to, FileError& error);

/// Deletes the file `path`. Returns false on failure, also when there was no such file.
bool removeFile(const std::string& path, FileError& error);

/// Moves the file `from` to `to` in one atomic step, replacing an existing `to`, and makes the
/// new name durable (on POSIX the target's folder is flushed after the rename). An existing
/// target that the caller may not write is refused, as a direct write would be, and its
/// permissions pass to the file that replaces it. Returns false on failure, with
/// `error.crossDevice` set when the two names lie on different file systems.
bool moveFile(const std::string& from, const std::string& to, FileError& error);

/// Flushes the contents of the written file `path` from the system's caches to the disk (fsync,
/// FlushFileBuffers). Returns false on failure.
bool flushToDisk(const std::string& path, FileError& error);

/// Gets the short (8.3) form of `path` on Windows. POSIX has no short form: there it returns
/// false and leaves `shortPath` untouched.
bool shortPathName(const std::string& path, std::string& shortPath);

/// The folder part of `path` without its last separator: "." for a bare file name, the root for a
/// name directly below it ("/" on POSIX, "C:\" on Windows).
std::string parentFolder(const std::string& path);

}  // namespace platform
}  // namespace VelXmlN

#endif

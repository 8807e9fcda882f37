#ifndef VELXMLN_ATOMICFILE_H
#define VELXMLN_ATOMICFILE_H

#include <functional>
#include <iosfwd>
#include <string>

#include <VelXmlN/Export.h>

namespace VelXmlN {

/// Writes the file `fileName` as a whole or not at all, the way the flat interface writes
/// documents. `write` fills a binary output stream to a new private temporary file (mode 0600)
/// created beside the target, named ".<name>.velxmln-<random>"; once it has returned, that file is
/// flushed to disk, given the old file's permissions (and its owner and group where the process
/// may set them; set-user-ID and set-group-ID bits are dropped when they cannot be kept), and
/// renamed over `fileName` in one step. A new file gets 0666 less the umask. A process killed at
/// any moment leaves either the old file or the whole new one (and possibly its temporary file).
///
/// A symbolic link is followed, and the file it finally names is replaced; a dangling link or a
/// loop is an error. A hard-linked file is replaced like any other: its other names keep the old
/// content. A target that is not a regular file (a device such as /dev/null, a FIFO, a terminal)
/// or that is named through /dev/stdout, /dev/fd/N or /proc/PID/fd/N is written through directly
/// (appending), never replaced or removed. A folder is an error.
///
/// When `write` throws, the temporary file is removed, `fileName` is left exactly as it was and
/// the exception passes on. When the target cannot be written, or the temporary file cannot be
/// made, written, flushed or renamed (a write that left the stream failed included), the same
/// clean-up happens and std::runtime_error is thrown with a message naming the file and the
/// system's reason. `fileName` may name the file the caller has just read.
VELXMLN_API void writeFileAtomically(const std::string& fileName,
                                     const std::function<void(std::ostream&)>& write);

/// Removes the temporary files of every write of this process that is still in progress and does
/// nothing else: the interrupted writes leave their targets as they were. Async-signal-safe, for a
/// program's SIGINT and SIGTERM handlers, so that an interrupted program leaves nothing behind.
VELXMLN_API void discardUnfinishedWrites() noexcept;

}  // namespace VelXmlN

#endif

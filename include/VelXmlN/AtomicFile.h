#ifndef VELXMLN_ATOMICFILE_H
#define VELXMLN_ATOMICFILE_H

#include <functional>
#include <iosfwd>
#include <string>

#include <VelXmlN/Export.h>

namespace VelXmlN {

/// Writes the file `fileName` as a whole or not at all, the way the flat interface writes
/// documents. `write` fills a binary output stream to a new temporary file; once it has returned,
/// the temporary file is flushed and synced to disk and then renamed over `fileName` in one step
/// (by way of a copy in the target's folder when the temporary folder is on another file system).
/// A process killed at any moment leaves either the old file or the whole new one.
///
/// When `write` throws, the temporary file is removed, `fileName` is left exactly as it was and
/// the exception passes on. When the temporary file cannot be made, written, flushed or moved
/// (a write that left the stream failed included), the same clean-up happens and
/// std::runtime_error is thrown with a message naming the file and the system's reason.
/// `fileName` may name the file the caller has just read.
VELXMLN_API void writeFileAtomically(const std::string& fileName,
                                     const std::function<void(std::ostream&)>& write);

}  // namespace VelXmlN

#endif

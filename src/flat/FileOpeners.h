// The two file openers of the flat interface: input streams with one retry, and output that
// replaces its target as a whole or not at all.
#ifndef VELXMLN_SRC_FLAT_FILEOPENERS_H
#define VELXMLN_SRC_FLAT_FILEOPENERS_H

#include "platform/FileSystem.h"

#include <fstream>
#include <functional>
#include <ios>
#include <memory>
#include <ostream>
#include <string>

namespace VelXmlN {
namespace detail {

/// How openInputFile asks for the short form of a path (platform::shortPathName unless a test
/// stands in for it): true and the short path on success.
using ShortPathFunction = bool (*)(const std::string& path, std::string& shortPath);

/// Opens `fileName` for reading in text mode, sharing the file with other readers and writers.
/// When that stream is not good, opens once more under the short form of the path, or under the
/// same name where there is none, and returns that second stream whether or not it is good. Never
/// returns null; the caller owns the stream. (POSIX text mode leaves CR LF line ends as they are.)
std::unique_ptr<std::ifstream> openInputFile(const std::string& fileName,
                                             ShortPathFunction shortPath = platform::shortPathName);

/// Writes a file as a whole or not at all, through platform::OutputFile: a regular file (or a new
/// one) is replaced by a private temporary file beside it only when the whole write succeeded; a
/// device, FIFO or a file named through /dev/stdout and the like is written through. Use:
/// construct, check stream(), write, call abandon() if writing throws (and let the exception go
/// on), then finish(). Output is written as given, with no line-end translation. Not copyable or
/// movable.
class TempFileWriter {
  public:
    /// Opens the output for `fileName`; with `std::ios_base::app` in `mode` the new content starts
    /// as a copy of an existing target. On any failure stream() is null, both names are empty,
    /// error() says why, and the target is never touched.
    TempFileWriter(const std::string& fileName, std::ios_base::openmode mode);

    /// Finishes the writer if finish() was not called. When the destructor runs because an
    /// exception is passing, the write counts as abandoned.
    ~TempFileWriter();

    TempFileWriter(const TempFileWriter&) = delete;
    TempFileWriter& operator=(const TempFileWriter&) = delete;

    /// The stream to write to, owned by the writer; null when opening failed and after finish().
    std::ostream* stream() const { return stream_.get(); }

    /// The file to be produced; empty when opening failed.
    const std::string& targetName() const { return targetName_; }

    /// The temporary file being written; empty when opening failed, when the target is written
    /// through and after finish().
    const std::string& temporaryName() const { return file_.temporaryName(); }

    /// Marks the write as failed: finish() then removes the temporary file and leaves the target
    /// exactly as it was.
    void abandon() { abandoned_ = true; }

    /// Flushes the stream and, only if every write succeeded and the write was not abandoned,
    /// makes it the target's content (platform::OutputFile::commit). Otherwise removes the
    /// temporary file and leaves the target as it was. Returns whether the target was written;
    /// further calls return the same answer and do nothing.
    bool finish();

    /// The first failure met, naming the file and the system's reason; empty while none.
    const std::string& error() const { return error_; }

  private:
    class Buffer;

    void noteError(const std::string& message);

    std::string targetName_;
    platform::OutputFile file_;
    std::unique_ptr<Buffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
    std::string error_;
    int uncaughtAtStart_;
    bool abandoned_ = false;
    bool finished_ = false;
    bool replaced_ = false;
};

/// Writes `fileName` as a whole or not at all through a TempFileWriter opened with `mode`:
/// `write` fills the stream, and only a complete, flushed write replaces the target. When the
/// output cannot be opened, `write` is not called. When `write` throws, the temporary file is
/// removed, the target is left as it was, and the exception passes on. Returns whether the target
/// was written; `error` then says why not (naming the file and the system's reason).
bool writeWhole(const std::string& fileName, std::ios_base::openmode mode,
                const std::function<void(std::ostream&)>& write, std::string& error);

}  // namespace detail
}  // namespace VelXmlN

#endif

// The two file openers of the flat interface: input streams with one retry, and output that goes
// through a temporary file and replaces its target as a whole or not at all.
#ifndef VELXMLN_SRC_FLAT_FILEOPENERS_H
#define VELXMLN_SRC_FLAT_FILEOPENERS_H

#include "external/FileSystem.h"

#include <fstream>
#include <ios>
#include <memory>
#include <string>

namespace VelXmlN {
namespace detail {

/// The beginning of the name of every temporary file the writer makes.
constexpr const char* kTemporaryPrefix = "velofstream";

/// How openInputFile asks for the short form of a path (platform::shortPathName unless a test
/// stands in for it): true and the short path on success.
using ShortPathFunction = bool (*)(const std::string& path, std::string& shortPath);

/// How TempFileWriter moves a file over its target (platform::moveFile unless a test stands in
/// for it).
using MoveFunction = bool (*)(const std::string& from, const std::string& to,
                              platform::FileError& error);

/// Opens `fileName` for reading in text mode, sharing the file with other readers and writers.
/// When that stream is not good, opens once more under the short form of the path, or under the
/// same name where there is none, and returns that second stream whether or not it is good. Never
/// returns null; the caller owns the stream. (POSIX text mode leaves CR LF line ends as they are.)
std::unique_ptr<std::ifstream> openInputFile(const std::string& fileName,
                                             ShortPathFunction shortPath = platform::shortPathName);

/// Writes a file by way of a temporary file that replaces the target only when the whole write
/// succeeded. Use: construct, check stream(), write, call abandon() if writing throws (and let the
/// exception go on), then finish(). Not copyable or movable.
class TempFileWriter {
  public:
    /// Creates a unique temporary file named "velofstream..." in the temporary folder and opens it
    /// with `mode | std::ios_base::out`; with `std::ios_base::app` in `mode` it starts as a copy of
    /// an existing target. On any failure the temporary file is removed, stream() is null, both
    /// names are empty, error() says why, and the target is never touched.
    TempFileWriter(const std::string& fileName, std::ios_base::openmode mode,
                   MoveFunction move = platform::moveFile);

    /// Finishes the writer if finish() was not called. When the destructor runs because an
    /// exception is passing, the write counts as abandoned.
    ~TempFileWriter();

    TempFileWriter(const TempFileWriter&) = delete;
    TempFileWriter& operator=(const TempFileWriter&) = delete;

    /// The open stream to the temporary file, owned by the writer; null when opening failed and
    /// after finish().
    std::ofstream* stream() const { return stream_.get(); }

    /// The file to be produced; empty when opening failed.
    const std::string& targetName() const { return targetName_; }

    /// The temporary file actually written; empty when opening failed.
    const std::string& temporaryName() const { return temporaryName_; }

    /// Marks the write as failed: finish() then removes the temporary file and leaves the target
    /// exactly as it was.
    void abandon() { abandoned_ = true; }

    /// Flushes, closes and syncs the temporary file to disk and, only if all of that succeeded
    /// and the write was not abandoned, replaces the target with it in one atomic step (by way of
    /// a copy next to the target when the temporary folder is on another file system). Otherwise
    /// removes the temporary file and leaves the target as it was. Returns whether the target was
    /// replaced; further calls return the same answer and do nothing.
    bool finish();

    /// The first failure met, with the names and the system's reason; empty while none.
    const std::string& error() const { return error_; }

  private:
    bool replaceTarget();
    void giveUp(const std::string& message);
    void noteError(const std::string& message);

    std::string targetName_;
    std::string temporaryName_;
    std::unique_ptr<std::ofstream> stream_;
    MoveFunction move_;
    std::string error_;
    int uncaughtAtStart_;
    bool abandoned_ = false;
    bool finished_ = false;
    bool replaced_ = false;
};

}  // namespace detail
}  // namespace VelXmlN

#endif

// Opening and reading the command's inputs, each exactly once, so that pipes and FIFOs work as
// well as files: "-" is standard input. Errors name the input, and large inputs show progress.
#ifndef VELXMLN_TOOLS_INPUT_H
#define VELXMLN_TOOLS_INPUT_H

#include <VelXmlN/Tree.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>

namespace velxmlncli {

/// A failure the command reports as one line on standard error, ending with exit status 2. The
/// message names the file and says what went wrong and where.
class CommandError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Inputs larger than this show a progress line on standard error when it is a terminal.
constexpr std::uintmax_t kProgressThreshold = 16u * 1024u * 1024u;

/// How messages name the input `file`: "standard input" for "-", otherwise the name as given.
std::string inputName(const std::string& file);

/// The size of `file` in bytes; 0 when it cannot be found out (standard input, a pipe).
std::uintmax_t inputSize(const std::string& file);

/// True when a progress line should be shown for an input of `size` bytes: it is larger than
/// kProgressThreshold and standard error is a terminal.
bool showsProgress(std::uintmax_t size);

/// Reads the document in `file` ("-": standard input). Throws CommandError for a file that cannot
/// be opened or read, holds no document or is not well-formed (with the parser's line and column).
std::unique_ptr<VelXmlN::Tree> readDocument(const std::string& file);

/// Every byte of `file` ("-": standard input), read once. Throws CommandError naming the input
/// when it is missing, a directory, or cannot be opened or read.
std::string readInput(const std::string& file);

/// A document held in memory as a stream buffer that can seek, so that the library's reader
/// parses the bytes where they lie instead of copying them first. `bytes` must outlive it.
class MemoryBuffer : public std::streambuf {
  public:
    explicit MemoryBuffer(std::string_view bytes);

  protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir from,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
};

/// Builds the document in `bytes`, read from `file` (which only names it in messages), without
/// copying them. Throws CommandError as readDocument does.
std::unique_ptr<VelXmlN::Tree> parseDocument(std::string_view bytes, const std::string& file);

/// The input of a scan as a file that the scanners, which take a file name and may open it more
/// than once, can read: a regular file is given to them as it is (checked here without being
/// opened); standard input, a pipe, a FIFO or a device is read here once, into a private
/// temporary file (mode 0600) that goes when the object goes, or when the program is interrupted
/// (discardScanCopy).
class ScanInput {
  public:
    /// Throws CommandError naming `file` when it is missing, is a directory, cannot be opened or
    /// read, or cannot be copied (with the name of the copy and the system's reason).
    explicit ScanInput(const std::string& file);
    ScanInput(const ScanInput&) = delete;
    ScanInput& operator=(const ScanInput&) = delete;

    /// The file the scanners read.
    const std::string& path() const noexcept { return path_; }

    /// The size of that file in bytes; 0 when unknown.
    std::uintmax_t size() const noexcept { return size_; }

    /// A scanner's `message` about path(), speaking of the input instead of its copy: a copy of a
    /// named input takes its name, and that of standard input is not mentioned (the message
    /// already starts with "standard input: ").
    std::string message(const std::string& message) const;

  private:
    /// Removes the copy, when there is one, as soon as the object or its half-made copy goes.
    struct Copy {
        std::string name;
        Copy() = default;
        Copy(const Copy&) = delete;
        Copy& operator=(const Copy&) = delete;
        ~Copy();
    };

    void copyOnce(const std::string& file);

    Copy copy_;
    std::string input_;
    std::string path_;
    std::uintmax_t size_ = 0;
};

/// Removes the copy that a ScanInput is making or scanning, if any, and does nothing else.
/// Async-signal-safe, for the program's SIGINT and SIGTERM handlers.
void discardScanCopy() noexcept;

}  // namespace velxmlncli

#endif

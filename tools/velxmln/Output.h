// Where the command writes: standard output, checked to the end, or a file replaced as a whole.
#ifndef VELXMLN_TOOLS_OUTPUT_H
#define VELXMLN_TOOLS_OUTPUT_H

#include <functional>
#include <iosfwd>
#include <streambuf>
#include <string>
#include <vector>

namespace velxmlncli {

/// The exit status when standard output is a pipe whose reader has gone: the status a shell
/// reports for a program ended by SIGPIPE (128 + 13), also when SIGPIPE is ignored and the write
/// fails with EPIPE instead, so that scripts see the same status either way. Nothing is printed.
constexpr int kExitBrokenPipe = 141;

/// The name that stands for standard input (as an input) or standard output (as `-o`).
constexpr const char* kStandardStream = "-";

/// Writes standard output in large blocks and remembers the first failure instead of losing it in
/// a stream state: once a write has failed, everything after it is dropped and the stream goes
/// bad, so that a command neither goes on writing into a full disk nor reports success.
class StandardOutputBuffer : public std::streambuf {
  public:
    StandardOutputBuffer();
    StandardOutputBuffer(const StandardOutputBuffer&) = delete;
    StandardOutputBuffer& operator=(const StandardOutputBuffer&) = delete;

    /// The system's error number of the first failed write; 0 while every write succeeded.
    int error() const noexcept { return error_; }

    /// True when the first failed write found the reader of a pipe gone.
    bool brokenPipe() const noexcept { return brokenPipe_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    bool drain();
    bool writeThrough(const char* bytes, std::size_t count);

    std::vector<char> block_;
    int error_ = 0;
    bool brokenPipe_ = false;
};

/// Makes std::cout write through a StandardOutputBuffer while it lives, and puts the former
/// buffer back when it goes.
class CheckedStandardOutput {
  public:
    CheckedStandardOutput();
    ~CheckedStandardOutput();
    CheckedStandardOutput(const CheckedStandardOutput&) = delete;
    CheckedStandardOutput& operator=(const CheckedStandardOutput&) = delete;

    /// Flushes standard output and turns a failed write into the exit status: `status` when every
    /// write succeeded; kExitBrokenPipe, silently, when the reader has gone; otherwise 2 after one
    /// line on standard error naming the system's reason.
    int finish(int status);

  private:
    StandardOutputBuffer buffer_;
    std::streambuf* former_;
};

/// Writes what `write` puts into its stream to `target`: standard output for "-", otherwise the
/// file, replaced as a whole through a private temporary file beside it (see
/// VelXmlN::writeFileAtomically). Throws CommandError naming the target when the file cannot be
/// written; a failure of standard output is left to CheckedStandardOutput::finish.
void writeOutput(const std::string& target, const std::function<void(std::ostream&)>& write);

/// Where an edit of `input` writes its result: `output` when it was given (may be "-"), else the
/// input itself. Throws CommandError when the input is standard input and no output was given,
/// since there is then no file to write back to; `command` names the subcommand in the message.
std::string editTarget(const std::string& command, const std::string& input,
                       const std::string& output);

}  // namespace velxmlncli

#endif

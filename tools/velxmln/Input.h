// Opening and reading the command's input files, with errors that name the file and a progress
// line for large inputs.
#ifndef VELXMLN_TOOLS_INPUT_H
#define VELXMLN_TOOLS_INPUT_H

#include <VelXmlN/Tree.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace velxmlncli {

/// A failure the command reports as one line on standard error, ending with exit status 2. The
/// message names the file and says what went wrong and where.
class CommandError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Inputs larger than this show a progress line on standard error when it is a terminal.
constexpr std::uintmax_t kProgressThreshold = 16u * 1024u * 1024u;

/// Throws CommandError when `file` is missing, is a directory or cannot be opened for reading.
void checkInputFile(const std::string& file);

/// The size of `file` in bytes; 0 when it cannot be found out.
std::uintmax_t inputSize(const std::string& file);

/// True when a progress line should be shown for an input of `size` bytes: it is larger than
/// kProgressThreshold and standard error is a terminal.
bool showsProgress(std::uintmax_t size);

/// Reads the document in `file`. Throws CommandError for a file that cannot be opened or read,
/// holds no document or is not well-formed (with the parser's line and column).
std::unique_ptr<VelXmlN::Tree> readDocument(const std::string& file);

}  // namespace velxmlncli

#endif

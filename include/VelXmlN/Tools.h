#ifndef VELXMLN_TOOLS_H
#define VELXMLN_TOOLS_H

#include <string>
#include <vector>

#include <VelXmlN/Export.h>

namespace Tools {

/// Splits `text` at every character that occurs in `separators` and returns the non-empty pieces
/// in order: "/a/b" and "//a//b" both give {"a", "b"}. An empty `separators` gives the whole
/// text as one piece (none for an empty text).
VELXMLN_API std::vector<std::string> tokenize(std::string const& text,
                                              std::string const& separators);

/// True when `text` begins with `prefix`. With `caseSensitive` false, ASCII letters are compared
/// without regard to case; other bytes are always compared exactly.
VELXMLN_API bool startsWith(std::string const& text, std::string const& prefix, bool caseSensitive);

/// Given a number text, returns it with a negative zero written without its sign: "-0" gives "0",
/// "-0.000" gives "0.000", "-0e+00" gives "0e+00". Every other text comes back unchanged.
VELXMLN_API std::string toPositiveZero(std::string const& text);

}  // namespace Tools

#endif

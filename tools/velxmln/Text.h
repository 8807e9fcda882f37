// How the command prints texts: one record a line, so texts are escaped where they could break
// a line or a field.
#ifndef VELXMLN_TOOLS_TEXT_H
#define VELXMLN_TOOLS_TEXT_H

#include <string>

namespace velxmlncli {

/// `text` as one tab-separated field: backslash, tab, line feed and carriage return become
/// "\\", "\t", "\n" and "\r"; everything else is kept byte for byte.
std::string escapeField(const std::string& text);

/// `text` as a JSON string with its quotes: '"' and '\' escaped, control characters as \n, \t,
/// \r, \b, \f or \u00XX; other bytes (UTF-8) kept as they are.
std::string jsonString(const std::string& text);

/// `text` with every line break replaced by a space, so that a message stays on one line.
std::string oneLine(std::string text);

}  // namespace velxmlncli

#endif

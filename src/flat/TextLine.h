// How the line appenders of the flat interface grow a text by one line.
#ifndef VELXMLN_SRC_FLAT_TEXTLINE_H
#define VELXMLN_SRC_FLAT_TEXTLINE_H

#include <string>
#include <string_view>

namespace VelXmlN {
namespace detail {

/// `oldText`, then a line feed (the single byte 0x0A) unless `oldText` is empty, then `line`.
inline std::string appendTextLine(std::string_view oldText, std::string_view line) {
    std::string result;
    result.reserve(oldText.size() + 1 + line.size());
    result.append(oldText);
    if (!oldText.empty()) {
        result += '\n';
    }
    result.append(line);
    return result;
}

}  // namespace detail
}  // namespace VelXmlN

#endif

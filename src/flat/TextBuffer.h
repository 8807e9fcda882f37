// How the flat functions hand texts back: into a caller's buffer, whole or not at all.
#ifndef VELXMLN_SRC_FLAT_TEXTBUFFER_H
#define VELXMLN_SRC_FLAT_TEXTBUFFER_H

#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

namespace VelXmlN {
namespace detail {

/// The length of `text` as a C caller sees it: up to its first zero byte.
inline std::size_t cTextLength(const std::string& text) noexcept {
    return std::strlen(text.c_str());
}

/// Copies `text` up to its first zero byte, with a terminating zero, into `buffer` when that fits
/// into `bufferSize` bytes; otherwise stores the empty string (when `bufferSize` is at least 1), so
/// that a caller never reads a cut text. Returns the length of the text now in the buffer.
inline std::size_t copyToBuffer(const std::string& text, char* buffer,
                                std::size_t bufferSize) noexcept {
    const std::size_t length = cTextLength(text);
    if (length < bufferSize) {
        std::memcpy(buffer, text.c_str(), length + 1);
        return length;
    }
    if (bufferSize > 0) {
        buffer[0] = '\0';
    }
    return 0;
}

/// A length for an int result, saturated at INT_MAX for texts beyond 2 GiB.
inline int lengthResult(std::size_t length) noexcept {
    return length > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

}  // namespace detail
}  // namespace VelXmlN

#endif

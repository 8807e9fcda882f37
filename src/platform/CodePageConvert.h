// Conversions between the narrow code page of <VelXmlN/CodePage.h> and UTF-16, shared by the node
// library, the writer's converter and the SAX scanners. Every narrow <-> UTF-16 conversion of the
// library goes through these functions, so all of them follow the same two replacement rules.
#ifndef VELXMLN_SRC_PLATFORM_CODEPAGECONVERT_H
#define VELXMLN_SRC_PLATFORM_CODEPAGECONVERT_H

#include <cstddef>
#include <string>

#include <VelXmlN/CodePage.h>

namespace VelXmlN {
namespace detail {

/// At most this many UTF-16 units come out of one narrow byte (so `length` units always suffice).
constexpr std::size_t kUtf16UnitsPerNarrowByte = 1;

/// At most this many narrow bytes come out of one UTF-16 unit (a pair needs 4 bytes for 2 units).
constexpr std::size_t kNarrowBytesPerUtf16Unit = 3;

/// True when every byte is below 0x80. ASCII reads the same in every supported code page, so
/// callers use this to skip conversion work.
bool isAscii(const char* text, std::size_t length) noexcept;

/// True when narrow text in the current code page is UTF-8, so that valid UTF-8 bytes may be
/// copied to and from UTF-8 documents unchanged.
bool narrowIsUtf8() noexcept;

/// Converts `length` narrow bytes to UTF-16 into `out`, which has room for `length` units, and
/// returns the number of units written. Invalid sequences become U+FFFD.
std::size_t narrowToUtf16(const char* text, std::size_t length, char16_t* out);

/// Copies the leading ASCII run of `text` (units below 0x80) to `out`, which has room for `length`
/// bytes, one byte per unit, and returns its length. ASCII reads the same in every code page.
std::size_t narrowAscii(const char16_t* text, std::size_t length, char* out) noexcept;

/// Converts `length` UTF-16 units to narrow text into `out`, which has room for 3 * `length`
/// bytes, and returns the number of bytes written. Characters the code page cannot hold (an
/// unpaired surrogate included) become one "?" each.
std::size_t utf16ToNarrow(const char16_t* text, std::size_t length, char* out);

/// Appends the UTF-16 form of narrow text to `out`.
void appendUtf16(std::u16string& out, const char* text, std::size_t length);

/// Appends the narrow form of UTF-16 text to `out`.
void appendNarrow(std::string& out, const char16_t* text, std::size_t length);

/// The UTF-16 form of narrow text.
std::u16string toUtf16(const std::string& text);

/// The narrow form of UTF-16 text.
std::string toNarrow(const char16_t* text, std::size_t length);

/// The narrow form of a zero-terminated UTF-16 text; an empty string for null.
std::string toNarrow(const char16_t* text);

}  // namespace detail
}  // namespace VelXmlN

#endif

// Number <-> text conversions shared by the element records and the modules above them.
#ifndef VELXMLN_SRC_ELEMENTS_NUMBERTEXT_H
#define VELXMLN_SRC_ELEMENTS_NUMBERTEXT_H

#include <cstddef>
#include <string>

namespace VelXmlN {
namespace detail {

/// Reads an integer as atoi does (white space skipped, longest prefix, 0 when none), but saturates
/// at the int limits instead of leaving out-of-range texts undefined.
int readInt(const char* text) noexcept;

/// Reads a double as atof does: the longest prefix strtod accepts, 0.0 when none.
double readDouble(const char* text) noexcept;

/// Reads a number truncated toward zero into a long. Integer texts are read exactly over the whole
/// range of long (saturating beyond it); other numbers go through strtod, saturating at the long
/// limits, with NaN read as 0.
long readLong(const char* text) noexcept;

/// Writes the decimal text of `value` into `out` (at least 21 bytes) and returns its length.
std::size_t writeInteger(long long value, char* out) noexcept;
std::size_t writeUnsigned(unsigned long long value, char* out) noexcept;

/// The decimal text of an integer.
std::string integerText(long long value);
std::string unsignedText(unsigned long long value);

/// The `%.20g` text of a double.
std::string doubleText(double value);

/// Throws std::invalid_argument unless `format` is a printf format with exactly one conversion
/// that takes a double; throws std::length_error when its width or precision alone cannot fit
/// into `capacity - 1` characters.
void checkDoubleFormat(const char* format, std::size_t capacity);

/// Formats `value` with a format that checkDoubleFormat accepts into `buffer` of `capacity` bytes.
/// Throws std::length_error when the result does not fit (nothing is cut).
void formatDouble(const char* format, double value, char* buffer, std::size_t capacity);

}  // namespace detail
}  // namespace VelXmlN

#endif

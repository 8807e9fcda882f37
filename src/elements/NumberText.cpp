#include "elements/NumberText.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace VelXmlN {
namespace detail {

int readInt(const char* text) noexcept {
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

double readDouble(const char* text) noexcept {
    return std::strtod(text, nullptr);
}

long readLong(const char* text) noexcept {
    char* doubleEnd = nullptr;
    const double asDouble = std::strtod(text, &doubleEnd);
    char* integerEnd = nullptr;
    errno = 0;
    const long asInteger = std::strtol(text, &integerEnd, 10);
    // A text that is a plain integer (strtol reads as far as strtod) is taken exactly, so values
    // beyond the 53 bits of a double keep all their digits.
    if (integerEnd == doubleEnd) {
        return asInteger;  // saturated by strtol when out of range
    }
    if (std::isnan(asDouble)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (asDouble >= kLimit) {
        return LONG_MAX;
    }
    if (asDouble <= -kLimit) {
        return LONG_MIN;
    }
    return static_cast<long>(asDouble);  // truncates toward zero
}

std::size_t writeInteger(long long value, char* out) noexcept {
    const auto result = std::to_chars(out, out + 21, value);
    return static_cast<std::size_t>(result.ptr - out);
}

std::size_t writeUnsigned(unsigned long long value, char* out) noexcept {
    const auto result = std::to_chars(out, out + 21, value);
    return static_cast<std::size_t>(result.ptr - out);
}

std::string integerText(long long value) {
    char buffer[24];
    return std::string(buffer, writeInteger(value, buffer));
}

std::string unsignedText(unsigned long long value) {
    char buffer[24];
    return std::string(buffer, writeUnsigned(value, buffer));
}

std::string doubleText(double value) {
    // Whole numbers below 2^63 have at most 19 digits, so %.20g writes them exactly as integers;
    // they are common in documents and much cheaper to print that way.
    constexpr double kIntegerLimit = 9223372036854775808.0;
    if (std::trunc(value) == value && std::fabs(value) < kIntegerLimit) {
        if (value == 0.0) {
            return std::signbit(value) ? "-0" : "0";
        }
        return integerText(static_cast<long long>(value));
    }
    // %.20g needs at most a sign, 20 digits, a point and "e-308", or "0.000" before 20 digits.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 20);
    return std::string(buffer, result.ptr);
}

namespace {

[[noreturn]] void refuseFormat(const char* format, const char* why) {
    throw std::invalid_argument(std::string("invalid number format \"") + format + "\": " + why);
}

// Reads a run of decimal digits at `p`, advancing it; returns the value, capped to avoid overflow.
std::size_t readDigits(const char*& p) {
    std::size_t value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < 100000) {
            value = value * 10 + static_cast<std::size_t>(*p - '0');
        }
        ++p;
    }
    return value;
}

}  // namespace

void checkDoubleFormat(const char* format, std::size_t capacity) {
    if (format == nullptr) {
        throw std::invalid_argument("invalid number format: the format is null");
    }
    int conversions = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        if (*p == '%') {
            continue;
        }
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
            ++p;
        }
        if (*p == '*') {
            refuseFormat(format, "a width taken from the arguments ('*') is not supported");
        }
        const std::size_t width = readDigits(p);
        std::size_t precision = 0;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                refuseFormat(format, "a precision taken from the arguments ('*') is not supported");
            }
            precision = readDigits(p);
        }
        if (*p == 'l') {
            ++p;  // "%lf" means the same as "%f"
        }
        if (*p == '\0') {
            refuseFormat(format, "it ends inside a conversion");
        }
        switch (*p) {
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                break;
            default:
                refuseFormat(format, "every conversion must take a double (one of f, e, g, a)");
        }
        if (++conversions > 1) {
            refuseFormat(format, "it holds more than one conversion");
        }
        if (width >= capacity || precision >= capacity) {
            throw std::length_error(std::string("number format \"") + format +
                                    "\" asks for more than " + std::to_string(capacity - 1) +
                                    " characters");
        }
    }
    if (conversions == 0) {
        refuseFormat(format, "it holds no conversion for the number");
    }
}

void formatDouble(const char* format, double value, char* buffer, std::size_t capacity) {
    checkDoubleFormat(format, capacity);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    const int length = std::snprintf(buffer, capacity, format, value);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    if (length < 0) {
        refuseFormat(format, "the runtime could not format the number");
    }
    if (static_cast<std::size_t>(length) >= capacity) {
        throw std::length_error(std::string("number format \"") + format + "\" gives " +
                                std::to_string(length) + " characters; at most " +
                                std::to_string(capacity - 1) + " fit");
    }
}

}  // namespace detail
}  // namespace VelXmlN

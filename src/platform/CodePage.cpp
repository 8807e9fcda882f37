#include <VelXmlN/CodePage.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/CodePageConvert.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace VelXmlN {

namespace {

// How conversions run: the code page chosen, with System resolved for this host. `Platform`
// exists only on Windows, for an ANSI code page other than 1252 and 65001, which the operating
// system converts.
enum class Conversion { Utf8, Windows1252, Platform };

Conversion resolve(NarrowCodePage codePage) noexcept {
    switch (codePage) {
        case NarrowCodePage::Utf8:
            return Conversion::Utf8;
        case NarrowCodePage::Windows1252:
            return Conversion::Windows1252;
        case NarrowCodePage::System:
            break;
    }
#if defined(_WIN32)
    const UINT acp = GetACP();
    if (acp == CP_UTF8) {
        return Conversion::Utf8;
    }
    return acp == 1252 ? Conversion::Windows1252 : Conversion::Platform;
#else
    return Conversion::Utf8;
#endif
}

std::atomic<NarrowCodePage> chosen{NarrowCodePage::System};
std::atomic<Conversion> active{resolve(NarrowCodePage::System)};

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; 0 marks the five bytes the code page leaves undefined. Every
// other byte is the Unicode character of the same number.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char windows1252Byte(char16_t unit) noexcept {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    if (unit >= 0x152) {
        for (unsigned i = 0; i < 32; ++i) {
            if (kWindows1252High[i] == unit) {
                return static_cast<char>(0x80 + i);
            }
        }
    }
    return '?';
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Length of the leading ASCII run of `text`, tested eight bytes at a time.
std::size_t asciiPrefix(const char* text, std::size_t length) noexcept {
    std::size_t i = 0;
    while (i + 8 <= length) {
        std::uint64_t chunk;
        std::memcpy(&chunk, text + i, 8);
        if ((chunk & kHighBits) != 0) {
            break;
        }
        i += 8;
    }
    while (i < length && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    return i;
}

// Copies the leading ASCII run of `text` to `out` as bytes and returns its length, sixteen units
// at a time where SSE2 is there (every x86-64 processor).
std::size_t copyAsciiPrefix(const char16_t* text, std::size_t length, char* out) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= length) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
        const __m128i above = _mm_and_si128(_mm_or_si128(low, high), nonAscii);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(above, zero)) != 0xFFFF) {
            break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
        i += 16;
    }
#endif
    while (i < length && text[i] < 0x80) {
        out[i] = static_cast<char>(text[i]);
        ++i;
    }
    return i;
}

// Decodes one UTF-8 sequence starting at text[i] (a byte >= 0x80). On success stores the code
// point and returns the sequence length; on failure returns the length of the maximal ill-formed
// subpart (at least 1), which becomes one U+FFFD.
std::size_t decodeUtf8(const unsigned char* text, std::size_t i, std::size_t length,
                       char32_t& codePoint, bool& valid) noexcept {
    const unsigned char lead = text[i];
    std::size_t need;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;  // no encoded surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;  // nothing beyond U+10FFFF
        }
    } else {
        valid = false;
        return 1;
    }
    std::size_t used = 1;
    for (std::size_t k = 0; k < need; ++k) {
        if (i + used >= length) {
            valid = false;
            return used;
        }
        const unsigned char next = text[i + used];
        if (next < low || next > high) {
            valid = false;
            return used;
        }
        low = 0x80;
        high = 0xBF;
        codePoint = (codePoint << 6) | (next & 0x3F);
        ++used;
    }
    valid = true;
    return used;
}

std::size_t utf8ToUtf16(const char* text, std::size_t length, char16_t* out) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < length) {
        const std::size_t run = asciiPrefix(text + i, length - i);
        for (std::size_t k = 0; k < run; ++k) {
            out[written++] = bytes[i + k];
        }
        i += run;
        if (i == length) {
            break;
        }
        char32_t codePoint = 0;
        bool valid = false;
        i += decodeUtf8(bytes, i, length, codePoint, valid);
        if (!valid) {
            out[written++] = kReplacement;
        } else if (codePoint < 0x10000) {
            out[written++] = static_cast<char16_t>(codePoint);
        } else {
            codePoint -= 0x10000;
            out[written++] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
            out[written++] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
        }
    }
    return written;
}

std::size_t utf16ToUtf8(const char16_t* text, std::size_t length, char* out) noexcept {
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < length) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            out[written++] = static_cast<char>(unit);
            ++i;
        } else if (unit < 0x800) {
            out[written++] = static_cast<char>(0xC0 | (unit >> 6));
            out[written++] = static_cast<char>(0x80 | (unit & 0x3F));
            ++i;
        } else if (unit < 0xD800 || unit > 0xDFFF) {
            out[written++] = static_cast<char>(0xE0 | (unit >> 12));
            out[written++] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out[written++] = static_cast<char>(0x80 | (unit & 0x3F));
            ++i;
        } else if (unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            const char32_t codePoint =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            out[written++] = static_cast<char>(0xF0 | (codePoint >> 18));
            out[written++] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            out[written++] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out[written++] = static_cast<char>(0x80 | (codePoint & 0x3F));
            i += 2;
        } else {
            out[written++] = '?';  // an unpaired surrogate has no UTF-8 form
            ++i;
        }
    }
    return written;
}

std::size_t windows1252ToUtf16(const char* text, std::size_t length, char16_t* out) noexcept {
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80 && byte < 0xA0) {
            const char16_t mapped = kWindows1252High[byte - 0x80];
            out[i] = mapped != 0 ? mapped : kReplacement;
        } else {
            out[i] = byte;
        }
    }
    return length;
}

std::size_t utf16ToWindows1252(const char16_t* text, std::size_t length, char* out) noexcept {
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;  // one "?" for the whole character beyond U+FFFF
            out[written++] = '?';
        } else {
            out[written++] = windows1252Byte(unit);
        }
    }
    return written;
}

#if defined(_WIN32)
// The operating system converts the other ANSI code pages; long texts go in pieces that fit int.
constexpr std::size_t kPlatformPiece = 1u << 28;

std::size_t platformToUtf16(const char* text, std::size_t length, char16_t* out) {
    std::size_t written = 0;
    while (length > 0) {
        std::size_t piece = length < kPlatformPiece ? length : kPlatformPiece;
        while (piece < length && piece > 0 && IsDBCSLeadByte(static_cast<BYTE>(text[piece - 1]))) {
            --piece;  // never split a double-byte character
        }
        const int n =
            MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(piece),
                                reinterpret_cast<wchar_t*>(out + written), static_cast<int>(piece));
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
        text += piece;
        length -= piece;
    }
    return written;
}

std::size_t platformToNarrow(const char16_t* text, std::size_t length, char* out) {
    std::size_t written = 0;
    while (length > 0) {
        std::size_t piece = length < kPlatformPiece ? length : kPlatformPiece;
        if (piece < length && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF) {
            --piece;  // never split a surrogate pair
        }
        const int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text),
                                          static_cast<int>(piece), out + written,
                                          static_cast<int>(piece * 3), "?", nullptr);
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
        text += piece;
        length -= piece;
    }
    return written;
}
#endif

}  // namespace

void setNarrowCodePage(NarrowCodePage codePage) {
    chosen.store(codePage, std::memory_order_relaxed);
    active.store(resolve(codePage), std::memory_order_relaxed);
}

NarrowCodePage getNarrowCodePage() {
    return chosen.load(std::memory_order_relaxed);
}

namespace detail {

bool isAscii(const char* text, std::size_t length) noexcept {
    return asciiPrefix(text, length) == length;
}

std::size_t narrowAscii(const char16_t* text, std::size_t length, char* out) noexcept {
    return copyAsciiPrefix(text, length, out);
}

bool narrowIsUtf8() noexcept {
    return active.load(std::memory_order_relaxed) == Conversion::Utf8;
}

std::size_t narrowToUtf16(const char* text, std::size_t length, char16_t* out) {
    switch (active.load(std::memory_order_relaxed)) {
        case Conversion::Utf8:
            return utf8ToUtf16(text, length, out);
        case Conversion::Windows1252:
            return windows1252ToUtf16(text, length, out);
        case Conversion::Platform:
            break;
    }
#if defined(_WIN32)
    return platformToUtf16(text, length, out);
#else
    return utf8ToUtf16(text, length, out);
#endif
}

std::size_t utf16ToNarrow(const char16_t* text, std::size_t length, char* out) {
    switch (active.load(std::memory_order_relaxed)) {
        case Conversion::Utf8:
            return utf16ToUtf8(text, length, out);
        case Conversion::Windows1252:
            return utf16ToWindows1252(text, length, out);
        case Conversion::Platform:
            break;
    }
#if defined(_WIN32)
    return platformToNarrow(text, length, out);
#else
    return utf16ToUtf8(text, length, out);
#endif
}

void appendUtf16(std::u16string& out, const char* text, std::size_t length) {
    const std::size_t start = out.size();
    out.resize(start + length * kUtf16UnitsPerNarrowByte);
    out.resize(start + narrowToUtf16(text, length, &out[start]));
}

void appendNarrow(std::string& out, const char16_t* text, std::size_t length) {
    // Most names and texts are ASCII: one byte per unit, narrowed while they are tested, into room
    // for exactly that; only a text with other characters needs the room of the worst case.
    const std::size_t start = out.size();
    out.resize(start + length);
    const std::size_t ascii = copyAsciiPrefix(text, length, &out[start]);
    if (ascii == length) {
        return;
    }
    const std::size_t rest = length - ascii;
    out.resize(start + ascii + rest * kNarrowBytesPerUtf16Unit);
    out.resize(start + ascii + utf16ToNarrow(text + ascii, rest, &out[start + ascii]));
}

std::u16string toUtf16(const std::string& text) {
    std::u16string result;
    appendUtf16(result, text.data(), text.size());
    return result;
}

std::string toNarrow(const char16_t* text, std::size_t length) {
    std::string result;
    appendNarrow(result, text, length);
    return result;
}

std::string toNarrow(const char16_t* text) {
    if (text == nullptr) {
        return std::string();
    }
    return toNarrow(text, std::char_traits<char16_t>::length(text));
}

}  // namespace detail
}  // namespace VelXmlN

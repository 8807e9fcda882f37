// The XML character rules of the library in one table: which characters a text cannot carry,
// which are escaped and how, and which ASCII characters make up names. The converter, the writer
// and the messages about refused texts all read them from here, so that they cannot disagree.
#ifndef VELXMLN_SRC_NODELIB_XMLCHARACTERS_H
#define VELXMLN_SRC_NODELIB_XMLCHARACTERS_H

#include <cstddef>

namespace kasxmln {
namespace detail {

/// What is done with each ASCII character (and, as kWide, with every byte from 0x80 on).
enum ByteKind : unsigned char {
    kPlain,
    kAlways,      // "<" and ">": always escaped
    kAmpersand,   // "&": escaped unless the encode skip of a text says otherwise
    kApostrophe,  // "'": the same
    kQuote,       // '"': the same
    kControl,     // below 0x20 and not tab, line feed or carriage return: XML cannot carry it
    kWide         // 0x80 and above: not ASCII, converted through the code page
};

/// The kind of every byte value, and the ASCII members of the XML 1.0 Name production.
struct XmlCharacterTable {
    ByteKind kind[256];
    bool nameStart[128];
    bool nameChar[128];

    constexpr XmlCharacterTable() : kind(), nameStart(), nameChar() {
        for (int c = 0; c < 256; ++c) {
            kind[c] = c >= 0x80                                           ? kWide
                      : (c < 0x20 && c != '\t' && c != '\n' && c != '\r') ? kControl
                      : c == '<' || c == '>'                              ? kAlways
                      : c == '&'                                          ? kAmpersand
                      : c == '\''                                         ? kApostrophe
                      : c == '"'                                          ? kQuote
                                                                          : kPlain;
        }
        for (int c = 0; c < 128; ++c) {
            nameStart[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
            nameChar[c] = nameStart[c] || (c >= '0' && c <= '9') || c == '.' || c == '-';
        }
    }
};

inline constexpr XmlCharacterTable kXmlCharacters;

/// Every escape is this long: "&#x", two lower-case hexadecimal digits, ";".
constexpr std::size_t kEscapeLength = 6;

/// Which of the three optional characters a text is written with escaped.
struct Escapes {
    bool ampersand;
    bool apostrophe;
    bool quote;
};

constexpr Escapes kAllEscapes{true, true, true};

/// The set of kinds (one bit, 1 << kind, for each) that a text written with `escapes` escapes.
constexpr unsigned escapedKinds(Escapes escapes) noexcept {
    return (1u << kAlways) | (escapes.ampersand ? 1u << kAmpersand : 0u) |
           (escapes.apostrophe ? 1u << kApostrophe : 0u) | (escapes.quote ? 1u << kQuote : 0u);
}

/// The escape of the character `c` (a byte or a UTF-16 unit), or null when it is written as it
/// is.
constexpr const char* escapeOf(unsigned c, Escapes escapes) noexcept {
    if (c >= 0x80 || (escapedKinds(escapes) & (1u << kXmlCharacters.kind[c])) == 0) {
        return nullptr;
    }
    return c == '<'    ? "&#x3c;"
           : c == '>'  ? "&#x3e;"
           : c == '&'  ? "&#x26;"
           : c == '\'' ? "&#x27;"
                       : "&#x22;";
}

/// True for a character below U+0020 other than tab, line feed and carriage return.
constexpr bool isForbiddenControl(unsigned c) noexcept {
    return c < 0x20 && kXmlCharacters.kind[c] == kControl;
}

/// True for a character (a UTF-16 unit) that no XML text can carry: the forbidden controls and
/// U+FFFE and U+FFFF. Unpaired surrogates never reach the writer: the code page makes them
/// U+FFFD.
constexpr bool isForbiddenCharacter(unsigned c) noexcept {
    return isForbiddenControl(c) || c == 0xFFFE || c == 0xFFFF;
}

/// True for the ASCII characters that may start an XML name, and that may follow in one.
constexpr bool isAsciiNameStart(unsigned char c) noexcept {
    return c < 0x80 && kXmlCharacters.nameStart[c];
}
constexpr bool isAsciiNameChar(unsigned char c) noexcept {
    return c < 0x80 && kXmlCharacters.nameChar[c];
}

}  // namespace detail
}  // namespace kasxmln

#endif

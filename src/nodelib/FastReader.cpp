#include "nodelib/FastReader.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include <VelXmlN/kasxmln.h>

#include "nodelib/Utf8Locator.h"
#include "platform/CodePageConvert.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELXMLN_FAST_READER_SSE2 1
#endif

namespace kasxmln {
namespace detail {

namespace {

using Byte = unsigned char;

// Character classes of ASCII bytes.
enum : Byte {
    kNameStart = 1,  // may start a name
    kNameChar = 2,   // may continue a name
    kSpace = 4,      // XML white space
    kRefChar = 8,    // may appear between "&" and ";" of a reference
};

struct ClassTable {
    Byte bits[256] = {};
    constexpr ClassTable() {
        for (int c = 'a'; c <= 'z'; ++c) {
            bits[c] = kNameStart | kNameChar | kRefChar;
        }
        for (int c = 'A'; c <= 'Z'; ++c) {
            bits[c] = kNameStart | kNameChar | kRefChar;
        }
        for (int c = '0'; c <= '9'; ++c) {
            bits[c] = kNameChar | kRefChar;
        }
        bits[static_cast<int>('_')] = kNameStart | kNameChar | kRefChar;
        bits[static_cast<int>(':')] = kNameStart | kNameChar | kRefChar;
        bits[static_cast<int>('-')] = kNameChar | kRefChar;
        bits[static_cast<int>('.')] = kNameChar | kRefChar;
        bits[static_cast<int>('#')] = kRefChar;
        bits[static_cast<int>(' ')] = kSpace;
        bits[static_cast<int>('\t')] = kSpace;
        bits[static_cast<int>('\n')] = kSpace;
        bits[static_cast<int>('\r')] = kSpace;
        for (int c = 0x80; c < 0x100; ++c) {
            bits[c] = kRefChar;
        }
    }
};

constexpr ClassTable kClasses;

inline bool has(char c, Byte bit) {
    return (kClasses.bits[static_cast<Byte>(c)] & bit) != 0;
}

inline bool isSpace(char c) {
    return has(c, kSpace);
}

#ifdef VELXMLN_FAST_READER_SSE2
// How many of the blocks of 16 bytes from `p` on match, by `match` (a mask of 0xFF bytes), while
// at least `reach` bytes are left; `p` ends after the last block counted. The counts add up in
// byte lanes and are summed every 255 blocks, so that no population count is needed (which
// without the POPCNT instruction is a library call).
template <typename Match>
std::size_t countBlocks(const char*& p, const char* end, std::ptrdiff_t reach, Match match) {
    std::size_t count = 0;
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= reach) {
        __m128i lanes = zero;
        for (int i = 0; i < 255 && end - p >= reach; ++i, p += 16) {
            lanes = _mm_sub_epi8(lanes, match(p));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
    }
    return count;
}

inline __m128i load16(const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

// How many bytes from `p` to `end` are `c`.
std::size_t countEqual(const char* p, const char* end, char c) {
    std::size_t count = 0;
#ifdef VELXMLN_FAST_READER_SSE2
    const __m128i wanted = _mm_set1_epi8(c);
    count = countBlocks(p, end, 16,
                        [wanted](const char* at) { return _mm_cmpeq_epi8(load16(at), wanted); });
#endif
    for (; p < end; ++p) {
        count += *p == c ? 1 : 0;
    }
    return count;
}

// How many carriage returns from `p` to `end` a line feed follows (within the range).
std::size_t countCrLf(const char* p, const char* end) {
    std::size_t count = 0;
#ifdef VELXMLN_FAST_READER_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    count = countBlocks(p, end, 17, [cr, lf](const char* at) {
        return _mm_and_si128(_mm_cmpeq_epi8(load16(at), cr), _mm_cmpeq_epi8(load16(at + 1), lf));
    });
#endif
    for (; end - p >= 2; ++p) {
        count += p[0] == '\r' && p[1] == '\n' ? 1 : 0;
    }
    return count;
}

// How many bytes from `p` to `end` continue a UTF-8 sequence (0x80 to 0xBF).
std::size_t countContinuations(const char* p, const char* end) {
    std::size_t count = 0;
#ifdef VELXMLN_FAST_READER_SSE2
    // As signed bytes, 0x80 to 0xBF are exactly those below -64.
    const __m128i bound = _mm_set1_epi8(-64);
    count = countBlocks(p, end, 16,
                        [bound](const char* at) { return _mm_cmplt_epi8(load16(at), bound); });
#endif
    for (; p < end; ++p) {
        count += (static_cast<Byte>(*p) & 0xC0) == 0x80 ? 1 : 0;
    }
    return count;
}

bool isNameStartCode(std::uint32_t c) {
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameCode(std::uint32_t c) {
    return isNameStartCode(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

// Decodes one UTF-8 sequence of an XML character at `p` (a byte >= 0x80). Returns its length
// and sets `code`; 0 when the bytes are not valid UTF-8 (or not an XML character: U+FFFE and
// U+FFFF; surrogates are invalid UTF-8 already); -1 when the sequence is cut by `end`.
int decodeUtf8(const char* p, const char* end, std::uint32_t& code) {
    const auto b0 = static_cast<Byte>(p[0]);
    int need;
    Byte low = 0x80;
    Byte high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        code = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        low = b0 == 0xE0 ? 0xA0 : 0x80;
        high = b0 == 0xED ? 0x9F : 0xBF;
        code = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        low = b0 == 0xF0 ? 0x90 : 0x80;
        high = b0 == 0xF4 ? 0x8F : 0xBF;
        code = b0 & 0x07u;
    } else {
        return 0;
    }
    for (int i = 1; i <= need; ++i) {
        if (p + i >= end) {
            return -1;
        }
        const auto b = static_cast<Byte>(p[i]);
        if (b < low || b > high) {
            return 0;
        }
        low = 0x80;
        high = 0xBF;
        code = (code << 6) | (b & 0x3Fu);
    }
    if (code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return need + 1;
}

// Appends the UTF-8 form of `code` to `out`.
void appendUtf8(std::string& out, std::uint32_t code) {
    char bytes[4];
    std::size_t n;
    if (code < 0x80) {
        bytes[0] = static_cast<char>(code);
        n = 1;
    } else if (code < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (code >> 6));
        bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
        n = 2;
    } else if (code < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (code >> 12));
        bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
        n = 3;
    } else {
        bytes[0] = static_cast<char>(0xF0 | (code >> 18));
        bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
        n = 4;
    }
    out.append(bytes, n);
}

bool isXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool isBlank(std::string_view text) {
    for (const char c : text) {
        if (!isSpace(c)) {
            return false;
        }
    }
    return true;
}

std::string hexByte(Byte b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    if (b >= 0x10) {
        text += digits[b >> 4];
    }
    text += digits[b & 0xF];
    return text;
}

// The first byte in [p, end) that plain character data cannot take as it is: a control
// character other than tab and line feed (carriage return included, which is normalised; tab and
// line feed too in an attribute value, `attribute`), a byte of a multi-byte sequence (which must
// be checked), or one of `a`, `b`, `c`.
template <bool attribute = false>
inline const char* skipPlain(const char* p, const char* end, char a, char b, char c) {
#if defined(VELXMLN_FAST_READER_SSE2)
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A signed comparison: bytes of 0x80 and above are negative, so they count as below 0x20.
        __m128i special = _mm_cmplt_epi8(v, space);
        if (!attribute) {
            special = _mm_andnot_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lineFeed)), special);
        }
        special = _mm_or_si128(
            special, _mm_or_si128(_mm_cmpeq_epi8(v, va),
                                  _mm_or_si128(_mm_cmpeq_epi8(v, vb), _mm_cmpeq_epi8(v, vc))));
        const int mask = _mm_movemask_epi8(special);
        if (mask != 0) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        const char ch = *p;
        const auto u = static_cast<Byte>(ch);
        if ((u < 0x20 && (attribute || (ch != '\t' && ch != '\n'))) || u >= 0x80 || ch == a ||
            ch == b || ch == c) {
            return p;
        }
    }
    return end;
}

// Thrown inside the engine when the document is not one it takes (or fails before anything was
// delivered): the other path reads it from its first byte.
struct HandOverSignal {};

// Thrown inside the engine when a construct is cut by the end of the bytes given so far.
struct NeedMoreSignal {};

constexpr std::size_t kKeptTextBuffer = 1u << 20;
constexpr std::size_t kUsualAttributes = 8;
constexpr std::size_t kUsualDepth = 16;
constexpr std::size_t kUsualNames = 256;
constexpr std::size_t kLinearAttributeCheck = 16;

}  // namespace

class FastReader::Engine {
  public:
    Engine(NodeEvents& events, PositionEvents* positions, SaxTextEvents* sax)
        : events_(events),
          positions_(positions),
          sax_(sax),
          narrowIsUtf8_(VelXmlN::detail::narrowIsUtf8()) {
        // Room for the usual tag and nesting from the start, so that a small document is not read
        // in a series of growing allocations.
        spans_.reserve(kUsualAttributes);
        attributes_.resize(kUsualAttributes);
        narrowAttributes_.resize(2 * kUsualAttributes);
        names_.reserve(kUsualNames);
        nameStarts_.reserve(kUsualDepth);
    }

    Outcome feed(const char* bytes, std::size_t size, bool last) {
        if (outcome_ != Outcome::kMore) {
            return outcome_;
        }
        if (size == 0 && !last) {
            return outcome_;
        }
        if (bytes == nullptr) {
            bytes = "";
            size = 0;
        }
        if (bufSize_ == 0) {
            // Nothing waits: parse the caller's bytes where they are.
            const char* stop = run(bytes, bytes, bytes + size, last);
            if (outcome_ == Outcome::kHandOver) {
                keptOutside_ = std::string_view(bytes, size);
                return outcome_;
            }
            if (outcome_ == Outcome::kMore) {
                const char* from = retain_ ? bytes : stop;
                if (!retain_) {
                    advance(bytes, stop);
                }
                const std::size_t rest = static_cast<std::size_t>(bytes + size - from);
                if (rest > 0) {
                    std::memcpy(room(rest), from, rest);
                }
                bufSize_ += rest;
                bufStart_ = static_cast<std::size_t>(stop - from);
            }
            return outcome_;
        }
        if (size > 0) {
            std::memcpy(room(size), bytes, size);
        }
        return commit(size, last);
    }

    char* room(std::size_t wanted) {
        if (bufCapacity_ - bufSize_ < wanted) {
            std::size_t capacity = std::max<std::size_t>(bufCapacity_ * 2, 4096);
            if (capacity - bufSize_ < wanted) {
                capacity = bufSize_ + wanted;
            }
            std::unique_ptr<char[]> larger(new char[capacity]);
            if (bufSize_ > 0) {
                std::memcpy(larger.get(), buf_.get(), bufSize_);
            }
            buf_ = std::move(larger);
            bufCapacity_ = capacity;
        }
        return buf_.get() + bufSize_;
    }

    Outcome commit(std::size_t size, bool last) {
        if (outcome_ != Outcome::kMore) {
            return outcome_;
        }
        bufSize_ += size;
        char* begin = buf_.get();
        const char* stop = run(begin, begin + bufStart_, begin + bufSize_, last);
        if (outcome_ == Outcome::kMore) {
            if (retain_) {
                bufStart_ = static_cast<std::size_t>(stop - begin);
            } else {
                advance(begin, stop);
                const std::size_t rest = static_cast<std::size_t>(begin + bufSize_ - stop);
                if (rest > 0) {
                    std::memmove(begin, stop, rest);
                }
                bufSize_ = rest;
                bufStart_ = 0;
            }
        }
        return outcome_;
    }

    std::string_view kept() const noexcept {
        if (outcome_ != Outcome::kHandOver) {
            return std::string_view();
        }
        if (keptOutside_.data() != nullptr) {
            return keptOutside_;
        }
        return std::string_view(buf_.get(), bufSize_);
    }

  private:
    enum class State { kStart, kProlog, kContent, kEpilog, kComment, kPi, kCData };

    struct AttributeSpan {
        const char* name;
        std::size_t nameLength;
        const char* value;  // null: the value is in values_ at `offset`
        std::size_t offset;
        std::size_t length;
        ByteRange range;
    };

    // Parses [p, end) of the window that starts at `window`; returns where the next parse
    // resumes. Sets outcome_.
    const char* run(const char* window, const char* p, const char* end, bool last) {
        window_ = window;
        end_ = end;
        last_ = last;
        try {
            p = parse(p);
            outcome_ = Outcome::kDone;
        } catch (const NeedMoreSignal&) {
            p = resume_;
            if (textView_.data() != nullptr) {
                // The window moves: the text waiting in it is kept.
                pending_.assign(textView_.data(), textView_.size());
                textView_ = std::string_view();
            }
            if (last) {
                // Cannot happen: every construct reports its own end of input when `last`.
                fail("unexpected end of input", end);
            }
            outcome_ = Outcome::kMore;
        } catch (const HandOverSignal&) {
            outcome_ = Outcome::kHandOver;
        }
        return p;
    }

    // Stops the parse because the construct at `from` is cut by the end of the bytes given.
    [[noreturn]] void needMore(const char* from) {
        resume_ = from;
        throw NeedMoreSignal();
    }

    std::uint64_t offsetOf(const char* p) const noexcept {
        return windowBase_ + static_cast<std::uint64_t>(p - window_);
    }

    // Moves the line counting from the start of the window to `to`, whose bytes are dropped.
    void advance(const char* from, const char* to) {
        countLines(from, to, line_, column_, afterCarriageReturn_);
        windowBase_ += static_cast<std::uint64_t>(to - from);
    }

    // The line and column after the bytes from `from` to `to`, counted from those before them,
    // by bulk counts of line ends and of UTF-8 continuation bytes: a line ends at a line feed, a
    // carriage return, or both in this order.
    void countLines(const char* from, const char* to, std::uint64_t& line, std::uint64_t& column,
                    bool& afterCr) const {
        if (bom_ && offsetOf(from) < 3) {
            // The byte order mark's bytes are no characters.
            const auto markLeft = static_cast<std::ptrdiff_t>(3 - offsetOf(from));
            const char* markEnd = to - from < markLeft ? to : from + markLeft;
            countEachByte(from, markEnd, line, column, afterCr);
            from = markEnd;
        }
        if (from == to) {
            return;
        }
        const auto size = static_cast<std::size_t>(to - from);
        const std::size_t feeds = countEqual(from, to, '\n');
        const std::size_t returns =
            std::memchr(from, '\r', size) != nullptr ? countEqual(from, to, '\r') : 0;
        if (feeds + returns == 0) {
            column += size - countContinuations(from, to);
        } else {
            // A line feed right after a carriage return ends the same line.
            line += feeds + returns - (returns > 0 ? countCrLf(from, to) : 0) -
                    (afterCr && *from == '\n' ? 1 : 0);
            const char* lastEnd = to - 1;
            while (*lastEnd != '\n' && *lastEnd != '\r') {
                --lastEnd;
            }
            const char* rest = lastEnd + 1;
            column = 1 + static_cast<std::size_t>(to - rest) - countContinuations(rest, to);
        }
        afterCr = to[-1] == '\r';
    }

    void countEachByte(const char* from, const char* to, std::uint64_t& line, std::uint64_t& column,
                       bool& afterCr) const {
        const std::uint64_t base = offsetOf(from);
        const char* p = from;
        for (; p < to; ++p) {
            const char c = *p;
            if (c == '\n') {
                if (!afterCr) {
                    ++line;
                    column = 1;
                }
                afterCr = false;
            } else if (c == '\r') {
                ++line;
                column = 1;
                afterCr = true;
            } else {
                afterCr = false;
                const auto u = static_cast<Byte>(c);
                if ((u & 0xC0) != 0x80 &&
                    !(bom_ && base + static_cast<std::uint64_t>(p - from) < 3)) {
                    ++column;
                }
            }
        }
    }

    [[noreturn]] void fail(const std::string& what, const char* at, int code = 1) {
        if (!started_) {
            throw HandOverSignal();
        }
        std::uint64_t line = line_;
        std::uint64_t column = column_;
        bool afterCr = afterCarriageReturn_;
        countLines(window_, at, line, column, afterCr);
        throw CXMLException(
            code, static_cast<unsigned>(line),
            what + " at line " + std::to_string(line) + ", column " + std::to_string(column));
    }

    // --- the parse -------------------------------------------------------------------------

    const char* parse(const char* p) {
        for (;;) {
            switch (state_) {
                case State::kStart:
                    p = parseStart(p);
                    break;
                case State::kProlog:
                case State::kEpilog:
                    p = parseMisc(p);
                    if (p == nullptr) {
                        return end_;
                    }
                    break;
                case State::kContent:
                    p = parseContent(p);
                    break;
                case State::kComment:
                    p = parseComment(p);
                    break;
                case State::kPi:
                    p = parsePiBody(p);
                    break;
                case State::kCData:
                    p = parseCData(p);
                    break;
            }
        }
    }

    // The byte order mark, what the first bytes say of the encoding, and the XML declaration.
    const char* parseStart(const char* p) {
        if (end_ - p < 4 && !last_) {
            needMore(p);
        }
        const auto at = [&](std::ptrdiff_t i) {
            return p + i < end_ ? static_cast<Byte>(p[i]) : Byte{0x20};
        };
        if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
            bom_ = true;
            p += 3;
        } else if (at(0) == 0x00 || at(0) == 0xFE || at(0) == 0xFF || at(1) == 0x00 ||
                   (at(0) == 0x4C && at(1) == 0x6F)) {
            // UTF-16, UTF-32 or EBCDIC, with or without a mark.
            throw HandOverSignal();
        }
        if (end_ - p >= 6 && std::memcmp(p, "<?xml", 5) == 0 && isSpace(p[5])) {
            p = parseDeclaration(p);
        } else if (end_ - p < 6 && !last_) {
            needMore(bom_ ? p - 3 : p);
        }
        state_ = State::kProlog;
        return p;
    }

    // The XML declaration, taken only in its common form: version 1.0, encoding UTF-8 or
    // US-ASCII or none, standalone or not. Everything else, malformed ones included, goes to the
    // other path, which reports it in its own words.
    const char* parseDeclaration(const char* p) {
        // A declaration is short; a long one is left to the other path rather than searched again
        // with every block.
        constexpr std::ptrdiff_t kLongest = 1024;
        const char* close = nullptr;
        const char* searchEnd = end_ - p > kLongest ? p + kLongest : end_;
        for (const char* q = p + 5; q + 1 < searchEnd; ++q) {
            if (q[0] == '?' && q[1] == '>') {
                close = q;
                break;
            }
            if (q[0] == '<') {
                throw HandOverSignal();
            }
        }
        if (close == nullptr) {
            if (last_ || searchEnd != end_) {
                throw HandOverSignal();
            }
            needMore(bom_ ? p - 3 : p);
        }
        const char* q = p + 5;
        const auto spaces = [&] {
            const char* s = q;
            while (q < close && isSpace(*q)) {
                ++q;
            }
            return q > s;
        };
        const auto pseudo = [&](const char* name, std::string_view& value) {
            const std::size_t n = std::strlen(name);
            if (static_cast<std::size_t>(close - q) < n || std::memcmp(q, name, n) != 0) {
                return false;
            }
            q += n;
            spaces();
            if (q >= close || *q != '=') {
                throw HandOverSignal();
            }
            ++q;
            spaces();
            if (q >= close || (*q != '"' && *q != '\'')) {
                throw HandOverSignal();
            }
            const char quote = *q++;
            const char* start = q;
            while (q < close && *q != quote) {
                ++q;
            }
            if (q >= close) {
                throw HandOverSignal();
            }
            value = std::string_view(start, static_cast<std::size_t>(q - start));
            ++q;
            return true;
        };
        std::string_view value;
        spaces();
        if (!pseudo("version", value) || value != "1.0") {
            throw HandOverSignal();
        }
        bool spaced = spaces();
        if (spaced && pseudo("encoding", value)) {
            std::string upper(value);
            for (char& c : upper) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
            if (upper == "US-ASCII") {
                asciiOnly_ = true;
            } else if (upper != "UTF-8") {
                throw HandOverSignal();
            }
            spaced = spaces();
        }
        if (spaced && pseudo("standalone", value)) {
            if (value != "yes" && value != "no") {
                throw HandOverSignal();
            }
            spaces();
        }
        if (q != close) {
            throw HandOverSignal();
        }
        return close + 2;
    }

    // White space, comments and processing instructions before and after the root; the document
    // type declaration and the root's start tag before it. Returns null at the end of a complete
    // document.
    const char* parseMisc(const char* p) {
        while (p < end_ && isSpace(*p)) {
            ++p;
        }
        if (p == end_) {
            if (!last_) {
                needMore(p);
            }
            if (state_ == State::kProlog) {
                throw HandOverSignal();
            }
            return nullptr;
        }
        if (*p != '<') {
            if (state_ == State::kProlog) {
                throw HandOverSignal();
            }
            fail(
                *p == '\0' ? "invalid character 0x0" : "comment or processing instruction expected",
                p);
        }
        if (end_ - p < 4 && !last_) {
            needMore(p);
        }
        const char next = p + 1 < end_ ? p[1] : '\0';
        if (next == '?') {
            return parsePiStart(p);
        }
        if (next == '!' && end_ - p >= 4 && p[2] == '-' && p[3] == '-') {
            return startComment(p);
        }
        if (state_ == State::kEpilog) {
            fail("comment or processing instruction expected", p);
        }
        if (next == '!') {
            return parseDoctype(p);
        }
        return parseStartTag(p);
    }

    // <!DOCTYPE name> or <!DOCTYPE name SYSTEM "..."> or <!DOCTYPE name PUBLIC "..." "...">; the
    // external DTD is never read. Any other form goes to the other path.
    const char* parseDoctype(const char* p) {
        static constexpr char kKeyword[] = "<!DOCTYPE";
        constexpr std::size_t n = sizeof kKeyword - 1;
        if (static_cast<std::size_t>(end_ - p) < n + 1) {
            if (last_) {
                throw HandOverSignal();
            }
            needMore(p);
        }
        if (doctypeSeen_ || std::memcmp(p, kKeyword, n) != 0 || !isSpace(p[n])) {
            throw HandOverSignal();
        }
        // Find the end, quotes respected; an internal subset goes to the other path.
        constexpr std::ptrdiff_t kLongest = 1 << 16;
        const char* q = p + n;
        char quote = 0;
        for (;; ++q) {
            if (q == end_) {
                if (last_ || q - p > kLongest) {
                    throw HandOverSignal();
                }
                needMore(p);
            }
            if (quote != 0) {
                if (*q == quote) {
                    quote = 0;
                }
            } else if (*q == '"' || *q == '\'') {
                quote = *q;
            } else if (*q == '>') {
                break;
            } else if (*q == '[' || *q == '<') {
                throw HandOverSignal();
            }
        }
        const char* close = q;
        q = p + n;
        const auto spaces = [&] {
            const char* s = q;
            while (q < close && isSpace(*q)) {
                ++q;
            }
            return q > s;
        };
        const auto literal = [&](bool pubid) {
            if (q >= close || (*q != '"' && *q != '\'')) {
                throw HandOverSignal();
            }
            const char end = *q++;
            const char* start = q;
            for (; q < close && *q != end; ++q) {
                const auto u = static_cast<Byte>(*q);
                // A carriage return would have to be delivered as a line feed, as the other
                // reader does: rare enough in a literal to leave to it.
                if (u < 0x20 && *q != '\t' && *q != '\n') {
                    throw HandOverSignal();
                }
                if (u >= 0x80 || (pubid && !isPubidChar(*q))) {
                    throw HandOverSignal();
                }
            }
            if (q >= close) {
                throw HandOverSignal();
            }
            return std::string_view(start, static_cast<std::size_t>(q++ - start));
        };
        spaces();
        const char* name = q;
        q = scanName(q, close);
        if (q == name) {
            throw HandOverSignal();
        }
        const std::string_view nameText(name, static_cast<std::size_t>(q - name));
        std::string_view publicId;
        std::string_view systemId;
        bool external = false;
        if (spaces() && q < close) {
            external = true;
            if (close - q >= 6 && std::memcmp(q, "SYSTEM", 6) == 0) {
                q += 6;
                if (!spaces()) {
                    throw HandOverSignal();
                }
                systemId = literal(false);
            } else if (close - q >= 6 && std::memcmp(q, "PUBLIC", 6) == 0) {
                q += 6;
                if (!spaces()) {
                    throw HandOverSignal();
                }
                publicId = literal(true);
                if (!spaces()) {
                    throw HandOverSignal();
                }
                systemId = literal(false);
            } else {
                throw HandOverSignal();
            }
            spaces();
        }
        if (q != close) {
            throw HandOverSignal();
        }
        doctypeSeen_ = true;
        if (sax_ != nullptr) {
            sax_->doctype(narrow(nameText, narrowName_), publicId, systemId, external,
                          offsetOf(close + 1));
        }
        return close + 1;
    }

    static bool isPubidChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::strchr(" \r\n-'()+,./:=?;!*#@$_%", c) != nullptr;
    }

    // A name from `p`, not beyond `limit`: where it ends (p itself when no name starts there).
    // A name cut by the end of the window may go on in the next block: the caller decides.
    const char* scanName(const char* p, const char* limit) const {
        // A US-ASCII document holds no byte above 0x7F, in names neither.
        const char* q = p;
        while (q < limit) {
            const char c = *q;
            const auto u = static_cast<Byte>(c);
            if (u < 0x80) {
                if (!has(c, q == p ? kNameStart : kNameChar)) {
                    break;
                }
                ++q;
                continue;
            }
            std::uint32_t code = 0;
            const int n = asciiOnly_ ? 0 : decodeUtf8(q, limit, code);
            if (n < 0) {
                return limit;  // a character cut by the limit: the name may go on beyond it
            }
            if (n == 0 || !(q == p ? isNameStartCode(code) : isNameCode(code))) {
                break;
            }
            q += n;
        }
        return q;
    }

    // --- comments and processing instructions ---------------------------------------------

    const char* startComment(const char* p) {
        returnState_ = state_;
        state_ = State::kComment;
        return p + 4;
    }

    // The body of a comment, consumed as it comes: only "--" before ">" is refused, and every
    // character must be an XML character.
    const char* parseComment(const char* p) {
        for (;;) {
            p = skipPlain(p, end_, '-', '\r', '\r');
            if (p == end_) {
                if (!last_) {
                    needMore(p);
                }
                fail("unterminated comment", p);
            }
            if (*p == '-') {
                if (end_ - p < 3 && !last_) {
                    needMore(p);
                }
                if (end_ - p >= 2 && p[1] == '-') {
                    if (end_ - p >= 3 && p[2] == '>') {
                        state_ = returnState_;
                        markPiece(p + 3);
                        return p + 3;
                    }
                    fail("'--' sequence is illegal in comment", p + 2);
                }
                ++p;
                continue;
            }
            p = checkCharacter(p, "unterminated comment");
        }
    }

    // Checks the special byte at `p` in a comment, processing instruction or CDATA section: a
    // carriage return, a control character or the start of a multi-byte character.
    const char* checkCharacter(const char* p, const char* cutMessage) {
        const auto u = static_cast<Byte>(*p);
        if (u == '\r') {
            return p + 1;
        }
        if (u < 0x20) {
            fail("invalid character " + hexByte(u), p + 1);
        }
        std::uint32_t code = 0;
        const int n = decodeUtf8(p, end_, code);
        if (n < 0) {
            if (!last_) {
                needMore(p);
            }
            failUtf8(p, true, cutMessage);
        }
        if (n == 0) {
            failUtf8(p, false, cutMessage);
        }
        if (asciiOnly_) {
            fail("invalid character " + hexByte(u) + " in a US-ASCII document", p);
        }
        return p + n;
    }

    [[noreturn]] void failUtf8(const char* p, bool cut, const char* cutMessage) {
        // U+FFFE and U+FFFF are valid UTF-8 but no XML characters.
        std::uint32_t code = 0;
        const auto b0 = static_cast<Byte>(p[0]);
        if (!cut && end_ - p >= 3 && b0 == 0xEF && static_cast<Byte>(p[1]) == 0xBF &&
            (static_cast<Byte>(p[2]) == 0xBE || static_cast<Byte>(p[2]) == 0xBF)) {
            code = static_cast<Byte>(p[2]) == 0xBE ? 0xFFFE : 0xFFFF;
            fail(std::string("invalid character 0x") + (code == 0xFFFE ? "FFFE" : "FFFF"), p + 1);
        }
        if (cut && cutMessage != nullptr) {
            fail(cutMessage, end_);
        }
        // The bytes read until the sequence broke, described as the other path describes them.
        Utf8Locator locator;
        if (!locator.feed(p, static_cast<std::size_t>(end_ - p))) {
            locator.finish();
        }
        fail(locator.describe(), p);
    }

    // "<?" target: the target is checked once it is complete.
    const char* parsePiStart(const char* p) {
        const char* name = p + 2;
        const char* q = scanName(name, end_);
        if (q == end_ && !last_) {
            needMore(p);
        }
        if (q == name) {
            fail("processing instruction name expected", name);
        }
        if (q - name == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' &&
            (name[2] | 0x20) == 'l') {
            fail("processing instruction cannot start with 'xml'", q);
        }
        // After the target: white space, or "?>" at once.
        if (q != end_ && *q == '?' && q + 1 == end_ && !last_) {
            needMore(p);
        }
        if (q == end_ || (!isSpace(*q) && (*q != '?' || q + 1 == end_ || q[1] != '>'))) {
            fail("unterminated processing instruction", q);
        }
        returnState_ = state_;
        state_ = State::kPi;
        return q;
    }

    const char* parsePiBody(const char* p) {
        for (;;) {
            p = skipPlain(p, end_, '?', '\r', '\r');
            if (p == end_) {
                if (!last_) {
                    needMore(p);
                }
                fail("unterminated processing instruction", p);
            }
            if (*p == '?') {
                if (end_ - p < 2) {
                    if (!last_) {
                        needMore(p);
                    }
                    fail("unterminated processing instruction", end_);
                }
                if (p[1] == '>') {
                    state_ = returnState_;
                    markPiece(p + 2);
                    return p + 2;
                }
                ++p;
                continue;
            }
            p = checkCharacter(p, "unterminated processing instruction");
        }
    }

    // --- CDATA sections --------------------------------------------------------------------

    const char* parseCData(const char* p) {
        for (;;) {
            const char* run = p;
            p = skipPlain(p, end_, ']', ']', ']');
            while (p < end_ && static_cast<Byte>(*p) >= 0x80) {
                std::uint32_t code = 0;
                const int n = asciiOnly_ ? 0 : decodeUtf8(p, end_, code);
                if (n <= 0) {
                    pending_.append(run, static_cast<std::size_t>(p - run));
                    run = p = checkCharacter(p, "unterminated CDATA section");
                } else {
                    p += n;
                }
                p = skipPlain(p, end_, ']', ']', ']');
            }
            pending_.append(run, static_cast<std::size_t>(p - run));
            if (p == end_) {
                if (!last_) {
                    needMore(p);
                }
                fail("unterminated CDATA section", p);
            }
            if (*p == ']') {
                if (end_ - p < 3 && !last_) {
                    needMore(p);
                }
                if (end_ - p >= 3 && p[1] == ']' && p[2] == '>') {
                    state_ = State::kContent;
                    markPiece(p + 3);
                    if (sax_ != nullptr) {
                        sax_->cdata(narrow(pending_, narrowText_), offsetOf(p + 3));
                        clearPending();
                    }
                    return p + 3;
                }
                pending_ += ']';
                ++p;
                continue;
            }
            if (*p == '\r') {
                if (p + 1 == end_ && !last_) {
                    needMore(p);
                }
                pending_ += '\n';
                p += (p + 1 < end_ && p[1] == '\n') ? 2 : 1;
                continue;
            }
            p = checkCharacter(p, "unterminated CDATA section");
        }
    }

    // --- content ---------------------------------------------------------------------------

    // Text begins or goes on at `p`.
    void markText(const char* p) {
        if (positions_ != nullptr && !textOpen_) {
            textOpen_ = true;
            textRange_.begin = offsetOf(p);
        }
    }

    // A piece of the text (or markup inside it) ends at `p`.
    void markPiece(const char* p) {
        if (positions_ != nullptr && textOpen_ && state_ == State::kContent) {
            textRange_.end = offsetOf(p);
        }
    }

    const char* parseContent(const char* p) {
        for (;;) {
            if (p == end_) {
                if (!last_) {
                    needMore(p);
                }
                if (sax_ != nullptr) {
                    flushRun(offsetOf(p));
                }
                fail("input ended before all started tags were ended; last tag started is '" +
                         std::string(topName()) + "'",
                     p);
            }
            if (*p != '<') {
                p = parseText(p);
                continue;
            }
            if (sax_ != nullptr) {
                flushRun(offsetOf(p));
            }
            if (end_ - p < 2) {
                if (!last_) {
                    needMore(p);
                }
                fail("unterminated start tag", end_);
            }
            const char next = p[1];
            if (next == '/') {
                p = parseEndTag(p);
                if (open_ == 0) {
                    state_ = State::kEpilog;
                    return p;
                }
                continue;
            }
            if (next == '!') {
                if (end_ - p < 9 && !last_) {
                    needMore(p);
                }
                if (end_ - p >= 4 && p[2] == '-' && p[3] == '-') {
                    markText(p);
                    return startComment(p);
                }
                if (end_ - p >= 9 && std::memcmp(p + 2, "[CDATA[", 7) == 0) {
                    markText(p);
                    state_ = State::kCData;
                    return p + 9;
                }
                fail("expected comment or CDATA section", p + 2);
            }
            if (next == '?') {
                markText(p);
                return parsePiStart(p);
            }
            p = parseStartTag(p);
        }
    }

    // Character data up to the next "<"; references decoded, line ends normalised.
    const char* parseText(const char* p) {
        markText(p);
        if (pending_.empty() && sax_ == nullptr) {
            // White space alone up to a tag, as between the elements of an indented document, is
            // never delivered to a tree (it is not joined to any other text): it is passed over.
            // A SAX handler gets it.
            const char* q = p;
            while (q < end_ && isSpace(*q)) {
                ++q;
            }
            if (end_ - q >= 2 && *q == '<' && q[1] != '!' && q[1] != '?') {
                markPiece(q);
                return q;
            }
        }
        const char* run = p;
        for (;;) {
            p = skipPlain(p, end_, '<', '&', ']');
            if (p < end_) {
                const char c = *p;
                if (c == '<') {
                    // One run straight up to a tag: deliver it from the input, uncopied.
                    if (pending_.empty() && end_ - p >= 2 && p[1] != '!' && p[1] != '?') {
                        textView_ = std::string_view(run, static_cast<std::size_t>(p - run));
                    } else {
                        pending_.append(run, static_cast<std::size_t>(p - run));
                    }
                    markPiece(p);
                    return p;
                }
                if (c == ']') {
                    if (end_ - p < 3 && !last_) {
                        pending_.append(run, static_cast<std::size_t>(p - run));
                        needMore(p);
                    }
                    if (end_ - p >= 3 && p[1] == ']' && p[2] == '>') {
                        fail("']]>' sequence is not allowed in character data", p + 3);
                    }
                    ++p;
                    continue;
                }
                if (static_cast<Byte>(c) >= 0x80) {
                    std::uint32_t code = 0;
                    const int n = decodeUtf8(p, end_, code);
                    if (n > 0 && !asciiOnly_) {
                        p += n;
                        continue;
                    }
                    if (n < 0 && !last_) {
                        pending_.append(run, static_cast<std::size_t>(p - run));
                        needMore(p);
                    }
                    if (n > 0) {
                        fail("invalid character " + hexByte(static_cast<Byte>(c)) +
                                 " in a US-ASCII document",
                             p);
                    }
                    failUtf8(p, n < 0, nullptr);
                }
            }
            pending_.append(run, static_cast<std::size_t>(p - run));
            if (p == end_) {
                markPiece(p);
                if (!last_) {
                    needMore(p);
                }
                return p;
            }
            const char c = *p;
            if (c == '&') {
                if (sax_ != nullptr) {
                    flushRun(offsetOf(p + 1));
                }
                p = parseReference(p, pending_, false);
            } else if (c == '\r') {
                if (p + 1 == end_ && !last_) {
                    needMore(p);
                }
                pending_ += '\n';
                p += (p + 1 < end_ && p[1] == '\n') ? 2 : 1;
            } else {
                fail("invalid character " + hexByte(static_cast<Byte>(c)), p + 1);
            }
            run = p;
        }
    }

    // A reference at `p` ("&"): its text is appended to `out`. In an attribute value the
    // character it stands for is taken as it is (a reference is never normalised).
    const char* parseReference(const char* p, std::string& out, bool inAttribute) {
        const char* q = p + 1;
        while (q < end_ && has(*q, kRefChar)) {
            ++q;
        }
        if (q == end_ && !last_) {
            needMore(p);
        }
        if (p + 1 < end_ && p[1] == '#') {
            const char* digits = p + 2;
            int base = 10;
            if (digits < end_ && *digits == 'x') {
                base = 16;
                ++digits;
            }
            std::uint32_t code = 0;
            const char* d = digits;
            bool tooLarge = false;
            for (; d < end_; ++d) {
                int value;
                const char c = *d;
                if (c >= '0' && c <= '9') {
                    value = c - '0';
                } else if (base == 16 && c >= 'a' && c <= 'f') {
                    value = c - 'a' + 10;
                } else if (base == 16 && c >= 'A' && c <= 'F') {
                    value = c - 'A' + 10;
                } else {
                    break;
                }
                code = code * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(value);
                if (code > 0x10FFFF) {
                    tooLarge = true;
                    code = 0x110000;
                }
            }
            if (d == digits) {
                if (d < end_ && *d == ';') {
                    fail("invalid character reference", d + 1);
                }
                fail("expected &# to be followed by a numeric character value", d);
            }
            if (d == end_ || *d != ';') {
                fail("unterminated character reference", d);
            }
            if (tooLarge || !isXmlChar(code)) {
                fail("invalid character reference", d + 1);
            }
            appendUtf8(out, code);
            (void)inAttribute;
            return d + 1;
        }
        const char* name = p + 1;
        const char* nameEnd = scanName(name, end_);
        if (nameEnd == name) {
            fail("expected entity name for reference", name);
        }
        if (nameEnd == end_ || *nameEnd != ';') {
            fail("unterminated entity reference '" + std::string(name, nameEnd) + "'", nameEnd);
        }
        const std::string_view entity(name, static_cast<std::size_t>(nameEnd - name));
        char c;
        if (entity == "lt") {
            c = '<';
        } else if (entity == "gt") {
            c = '>';
        } else if (entity == "amp") {
            c = '&';
        } else if (entity == "quot") {
            c = '"';
        } else if (entity == "apos") {
            c = '\'';
        } else {
            fail("entity '" + std::string(entity) + "' not found", nameEnd + 1);
        }
        out += c;
        return nameEnd + 1;
    }

    // Delivers the text waiting, if it is not white space only.
    void flushText(bool last) {
        std::string_view text = textView_;
        if (text.data() == nullptr) {
            if (pending_.empty()) {
                textOpen_ = false;
                return;
            }
            text = pending_;
        }
        if (!isBlank(text)) {
            if (positions_ != nullptr) {
                positions_->text(textRange_);
            }
            events_.text(narrow(text, narrowText_), last);
        }
        textView_ = std::string_view();
        textOpen_ = false;
        pending_.clear();
        if (pending_.capacity() > kKeptTextBuffer) {
            pending_.shrink_to_fit();
        }
    }

    // The SAX form: the run of character data waiting, as it is, white space included.
    void flushRun(std::uint64_t at) {
        const std::string_view text = textView_.data() != nullptr ? textView_ : pending_;
        if (!text.empty()) {
            sax_->characters(narrow(text, narrowText_), at);
        }
        clearPending();
    }

    void clearPending() {
        textView_ = std::string_view();
        pending_.clear();
        if (pending_.capacity() > kKeptTextBuffer) {
            pending_.shrink_to_fit();
        }
    }

    // The narrow form of UTF-8 text: the text itself when the code page is UTF-8 or the text is
    // ASCII, otherwise converted into `scratch`.
    std::string_view narrow(std::string_view text, std::string& scratch) {
        if (narrowIsUtf8_ || VelXmlN::detail::isAscii(text.data(), text.size())) {
            return text;
        }
        units_.resize(text.size());
        std::size_t count = 0;
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            const auto u = static_cast<Byte>(*p);
            if (u < 0x80) {
                units_[count++] = u;
                ++p;
                continue;
            }
            std::uint32_t code = 0;
            const int n = decodeUtf8(p, end, code);
            p += n > 0 ? n : 1;
            if (code >= 0x10000) {
                code -= 0x10000;
                units_[count++] = static_cast<char16_t>(0xD800 + (code >> 10));
                units_[count++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
            } else {
                units_[count++] = static_cast<char16_t>(code);
            }
        }
        scratch.resize(count * VelXmlN::detail::kNarrowBytesPerUtf16Unit);
        scratch.resize(VelXmlN::detail::utf16ToNarrow(units_.data(), count, &scratch[0]));
        return scratch;
    }

    std::string_view topName() const { return std::string_view(names_).substr(nameStarts_.back()); }

    // The end of the tag that starts at `p`, quotes respected, remembered across blocks so that a
    // long tag is searched once. A "<" ends the search too: the tag is malformed there.
    const char* findTagEnd(const char* p) {
        if (tagStart_ != offsetOf(p)) {
            tagStart_ = offsetOf(p);
            tagScanned_ = 1;
            tagQuote_ = 0;
        }
        const char* q = p + tagScanned_;
        char quote = tagQuote_;
        for (; q < end_; ++q) {
            const char c = *q;
            if (quote != 0) {
                const void* found = std::memchr(q, quote, static_cast<std::size_t>(end_ - q));
                const void* less = std::memchr(q, '<', static_cast<std::size_t>(end_ - q));
                if (less != nullptr && (found == nullptr || less < found)) {
                    q = static_cast<const char*>(less);
                    break;
                }
                if (found == nullptr) {
                    q = end_;
                    break;
                }
                q = static_cast<const char*>(found);
                quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>' || c == '<') {
                break;
            }
        }
        if (q == end_) {
            tagScanned_ = static_cast<std::size_t>(q - p);
            tagQuote_ = quote;
            if (!last_) {
                needMore(p);
            }
        }
        tagStart_ = static_cast<std::uint64_t>(-1);
        return q;
    }

    const char* parseStartTag(const char* p) {
        const char* name = p + 1;
        std::size_t nameLength = 0;
        bool empty = false;
        // A tag that an earlier block cut is not scanned from its start again: findTagEnd goes on
        // where it stopped, so that a long tag read in many blocks is scanned once.
        const char* q = tagStart_ != offsetOf(p) ? scanPlainTag(p, nameLength, empty) : nullptr;
        if (q == nullptr) {
            q = scanTag(p, nameLength, empty);
        }
        const char* tagEnd = q + 1;
        flushText(false);
        const std::string_view tagName(name, nameLength);
        if (open_ == kMaxElementDepth) {
            fail("element '" + std::string(narrow(tagName, narrowName_)) +
                     "' is nested deeper than the limit of " + std::to_string(kMaxElementDepth) +
                     " levels",
                 tagEnd, CXMLException::kLimitError);
        }
        deliverStart(tagName, p, tagEnd);
        started_ = true;
        retain_ = false;
        if (empty) {
            if (positions_ != nullptr) {
                positions_->endTag(ByteRange{offsetOf(tagEnd), offsetOf(tagEnd)});
            }
            events_.endElement();
            if (open_ == 0) {
                state_ = State::kEpilog;
            }
        } else {
            nameStarts_.push_back(names_.size());
            names_.append(name, nameLength);
            ++open_;
            state_ = State::kContent;
        }
        return tagEnd;
    }

    // The common start tag in one pass: ASCII names, and values of plain characters only, all
    // within the bytes at hand. Returns its last byte (">"), with the attributes in spans_, or
    // null when the tag is anything else (or malformed): scanTag then reads it again from `p`,
    // with every rule and the exact errors. Whatever it accepts, scanTag accepts alike.
    const char* scanPlainTag(const char* p, std::size_t& nameLength, bool& empty) {
        const char* const end = end_;
        const char* q = scanAsciiName(p + 1, end);
        if (q == nullptr) {
            return nullptr;
        }
        nameLength = static_cast<std::size_t>(q - (p + 1));
        spans_.clear();
        for (;;) {
            const char* afterName = q;
            while (q < end && isSpace(*q)) {
                ++q;
            }
            if (q == end) {
                return nullptr;
            }
            if (*q == '>') {
                empty = false;
                return q;
            }
            if (*q == '/') {
                if (q + 1 < end && q[1] == '>') {
                    empty = true;
                    return q + 1;
                }
                return nullptr;
            }
            const char* attribute = q;
            if (attribute == afterName || (q = scanAsciiName(attribute, end)) == nullptr) {
                return nullptr;
            }
            const auto attributeLength = static_cast<std::size_t>(q - attribute);
            while (q < end && isSpace(*q)) {
                ++q;
            }
            if (q == end || *q != '=') {
                return nullptr;
            }
            ++q;
            while (q < end && isSpace(*q)) {
                ++q;
            }
            if (q == end || (*q != '"' && *q != '\'')) {
                return nullptr;
            }
            const char quote = *q;
            const char* value = q + 1;
            q = skipPlain<true>(value, end, quote, '<', '&');
            if (q == end || *q != quote) {
                return nullptr;
            }
            const AttributeSpan span{attribute,
                                     attributeLength,
                                     value,
                                     0,
                                     static_cast<std::size_t>(q - value),
                                     ByteRange{offsetOf(value), offsetOf(q)}};
            ++q;
            checkUnique(span, q);
            spans_.push_back(span);
        }
    }

    // The end of an ASCII name at `p` that bytes follow within [p, end), or null when there is no
    // such name there.
    static const char* scanAsciiName(const char* p, const char* end) {
        if (p == end || !has(*p, kNameStart)) {
            return nullptr;
        }
        ++p;
        while (p < end && has(*p, kNameChar)) {
            ++p;
        }
        return p == end || static_cast<Byte>(*p) >= 0x80 ? nullptr : p;
    }

    // Any start tag, every rule checked: returns its last byte (">"), with the attributes in
    // spans_ and values_.
    const char* scanTag(const char* p, std::size_t& nameLength, bool& empty) {
        const char* limit = findTagEnd(p);
        const char* name = p + 1;
        const char* q = scanName(name, limit);
        if (q == name) {
            fail("element name expected", name);
        }
        nameLength = static_cast<std::size_t>(q - name);
        spans_.clear();
        values_.clear();
        empty = false;
        for (;;) {
            const char* afterName = q;
            while (q < limit && isSpace(*q)) {
                ++q;
            }
            if (q == limit) {
                if (q < end_ && *q == '>') {
                    break;
                }
                fail("unterminated start tag '" + std::string(name, nameLength) + "'", q);
            }
            if (*q == '/') {
                if (q + 1 < end_ && q[1] == '>') {
                    empty = true;
                    ++q;
                    break;
                }
                fail("unterminated start tag '" + std::string(name, nameLength) + "'", q + 1);
            }
            const char* attribute = q;
            q = scanName(attribute, limit);
            if (q == attribute) {
                fail("attribute name expected", attribute);
            }
            if (afterName == attribute) {
                fail("whitespace expected", attribute);
            }
            AttributeSpan span{attribute,  static_cast<std::size_t>(q - attribute), nullptr, 0, 0,
                               ByteRange()};
            while (q < limit && isSpace(*q)) {
                ++q;
            }
            if (q == limit || *q != '=') {
                fail("equal sign expected", q);
            }
            ++q;
            while (q < limit && isSpace(*q)) {
                ++q;
            }
            if (q == limit || (*q != '"' && *q != '\'')) {
                fail("attribute value expected", q);
            }
            q = parseValue(q, span, limit);
            checkUnique(span, q);
            spans_.push_back(span);
        }
        return q;
    }

    // An attribute value from its opening quote at `p`: normalised into values_ when it holds
    // anything but plain characters, otherwise left where it is. Returns the byte after it.
    const char* parseValue(const char* p, AttributeSpan& span, const char* limit) {
        const char quote = *p;
        const char* start = p + 1;
        const char* q = start;
        bool copied = false;
        const char* run = start;
        for (;;) {
            q = skipPlain<true>(q, limit, quote, '<', '&');
            if (q < limit && static_cast<Byte>(*q) >= 0x80) {
                std::uint32_t code = 0;
                const int n = decodeUtf8(q, end_, code);
                if (n > 0 && !asciiOnly_) {
                    q += n;
                    continue;
                }
                if (n > 0) {
                    fail("invalid character " + hexByte(static_cast<Byte>(*q)) +
                             " in a US-ASCII document",
                         q);
                }
                failUtf8(q, n < 0, nullptr);
            }
            if (q < limit && (*q == '\t' || *q == '\n')) {
                // Left plain by the scan, but normalised to a space.
                if (!copied) {
                    copied = true;
                    span.offset = values_.size();
                }
                values_.append(run, static_cast<std::size_t>(q - run));
                values_ += ' ';
                run = ++q;
                continue;
            }
            if (q == limit && (q == end_ || *q != '<')) {
                fail("unterminated start tag", q);
            }
            const char c = *q;
            if (c == quote) {
                break;
            }
            if (!copied) {
                copied = true;
                span.offset = values_.size();
            }
            values_.append(run, static_cast<std::size_t>(q - run));
            if (c == '&') {
                q = parseReference(q, values_, true);
            } else if (c == '\r') {
                values_ += ' ';
                q += (q + 1 < limit && q[1] == '\n') ? 2 : 1;
            } else if (c == '<') {
                fail("'<' character cannot be used in attribute value '" +
                         std::string(span.name, span.nameLength) + "'; use &lt; instead",
                     q + 1);
            } else {
                fail("invalid character " + hexByte(static_cast<Byte>(c)), q + 1);
            }
            run = q;
        }
        if (copied) {
            values_.append(run, static_cast<std::size_t>(q - run));
            span.length = values_.size() - span.offset;
        } else {
            span.value = start;
            span.length = static_cast<std::size_t>(q - start);
        }
        span.range = ByteRange{offsetOf(start), offsetOf(q)};
        return q + 1;
    }

    void checkUnique(const AttributeSpan& span, const char* after) {
        const std::string_view name(span.name, span.nameLength);
        if (spans_.size() < kLinearAttributeCheck) {
            for (const AttributeSpan& other : spans_) {
                if (std::string_view(other.name, other.nameLength) == name) {
                    failDuplicate(name, after);
                }
            }
            return;
        }
        // Many attributes: a set of the names, so that the check stays linear.
        if (spans_.size() == kLinearAttributeCheck) {
            seen_.clear();
            for (const AttributeSpan& other : spans_) {
                seen_.emplace(other.name, other.nameLength);
            }
        }
        if (!seen_.emplace(name).second) {
            failDuplicate(name, after);
        }
    }

    [[noreturn]] void failDuplicate(std::string_view name, const char* after) {
        fail("attribute '" + std::string(name) + "' is already specified for element", after);
    }

    void deliverStart(std::string_view name, const char* tagBegin, const char* tagEnd) {
        const std::size_t count = spans_.size();
        if (attributes_.size() < count) {
            attributes_.resize(count);
            narrowAttributes_.resize(2 * count);
        }
        for (std::size_t i = 0; i < count; ++i) {
            const AttributeSpan& span = spans_[i];
            const std::string_view value =
                span.value != nullptr ? std::string_view(span.value, span.length)
                                      : std::string_view(values_).substr(span.offset, span.length);
            attributes_[i].name =
                narrow(std::string_view(span.name, span.nameLength), narrowAttributes_[2 * i]);
            attributes_[i].value = narrow(value, narrowAttributes_[2 * i + 1]);
        }
        if (positions_ != nullptr) {
            ranges_.resize(count);
            for (std::size_t i = 0; i < count; ++i) {
                ranges_[i] = spans_[i].range;
            }
            positions_->startTag(ByteRange{offsetOf(tagBegin), offsetOf(tagEnd)}, ranges_.data(),
                                 count);
        }
        events_.startElement(narrow(name, narrowName_), attributes_.data(), count);
    }

    const char* parseEndTag(const char* p) {
        const std::string_view expected = topName();
        const char* name = p + 2;
        const char* q = nullptr;
        // The common end tag, the expected name right before ">", needs no scan.
        if (static_cast<std::size_t>(end_ - name) > expected.size() &&
            name[expected.size()] == '>' &&
            std::memcmp(name, expected.data(), expected.size()) == 0) {
            q = name + expected.size();
        } else {
            const char* limit = findTagEnd(p);
            q = scanName(name, limit);
            if (std::string_view(name, static_cast<std::size_t>(q - name)) != expected) {
                fail("expected end of tag '" + std::string(expected) + "'", name);
            }
            while (q < limit && isSpace(*q)) {
                ++q;
            }
            if (q == end_ || *q != '>') {
                fail("unterminated end tag '" + std::string(expected) + "'", q);
            }
        }
        flushText(true);
        if (positions_ != nullptr) {
            positions_->endTag(ByteRange{offsetOf(p), offsetOf(q + 1)});
        }
        events_.endElement();
        names_.resize(nameStarts_.back());
        nameStarts_.pop_back();
        --open_;
        return q + 1;
    }

    NodeEvents& events_;
    PositionEvents* positions_;
    SaxTextEvents* sax_;
    const bool narrowIsUtf8_;

    // The input: the window being parsed and where it lies in the document.
    const char* window_ = nullptr;
    const char* end_ = nullptr;
    bool last_ = false;
    std::uint64_t windowBase_ = 0;
    const char* resume_ = nullptr;

    // The reader's own buffer: bytes kept from earlier blocks and bytes read into it.
    std::unique_ptr<char[]> buf_;
    std::size_t bufSize_ = 0;
    std::size_t bufCapacity_ = 0;
    std::size_t bufStart_ = 0;
    std::string_view keptOutside_;

    // Line and column at windowBase_, for messages.
    std::uint64_t line_ = 1;
    std::uint64_t column_ = 1;
    bool afterCarriageReturn_ = false;

    Outcome outcome_ = Outcome::kMore;
    State state_ = State::kStart;
    State returnState_ = State::kProlog;
    bool bom_ = false;
    bool asciiOnly_ = false;
    bool doctypeSeen_ = false;
    bool started_ = false;  // the root element has been delivered
    bool retain_ = true;    // every byte is kept until then, for a hand-over

    std::uint64_t tagStart_ = static_cast<std::uint64_t>(-1);
    std::size_t tagScanned_ = 0;
    char tagQuote_ = 0;

    std::size_t open_ = 0;
    std::string names_;                    // the names of the open elements, one after another
    std::vector<std::size_t> nameStarts_;  // where each starts in names_

    std::string pending_;        // text of the open element not yet delivered
    std::string_view textView_;  // or the text, straight from the input
    bool textOpen_ = false;
    ByteRange textRange_;

    std::vector<AttributeSpan> spans_;
    std::string values_;
    std::unordered_set<std::string_view> seen_;
    std::vector<NarrowAttribute> attributes_;
    std::vector<ByteRange> ranges_;

    std::vector<char16_t> units_;
    std::string narrowName_;
    std::string narrowText_;
    std::vector<std::string> narrowAttributes_;
};

FastReader::FastReader(NodeEvents& events, PositionEvents* positions, SaxTextEvents* sax)
    : engine_(std::make_unique<Engine>(events, positions, sax)) {}

FastReader::~FastReader() = default;

FastReader::Outcome FastReader::read(const char* bytes, std::size_t size) {
    return engine_->feed(bytes, size, true);
}

FastReader::Outcome FastReader::feed(const char* bytes, std::size_t size, bool last) {
    return engine_->feed(bytes, size, last);
}

char* FastReader::room(std::size_t wanted) {
    return engine_->room(wanted);
}

FastReader::Outcome FastReader::commit(std::size_t size, bool last) {
    return engine_->commit(size, last);
}

std::string_view FastReader::kept() const noexcept {
    return engine_->kept();
}

}  // namespace detail
}  // namespace kasxmln

// Tree::putToStream without a node tree: the element tree is written straight to the stream,
// byte for byte as the node-library document that the writer describes would save itself (a
// library root node with library text nodes, XmlNode elements below it, XmlTextNode texts when
// the encode skip is not 0), with the same exceptions at the same points of the output.
//
// Building that document copied every name and text of the tree once more and made one or two
// objects per element; writing it formatted the literal pieces through the stream one by one.
// Here the pieces go into blocks that the stream gets whole. The whole tree is checked first, as
// the conversion checked it (no zero byte, not too deep), because such a failure left the stream
// untouched; after any other failure the stream gets what was written before it, exactly as the
// node tree's save left it.
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include <VelXmlN/Data.h>
#include <VelXmlN/kasxmln.h>

#include "document/Conversion.h"
#include "elements/TreeWalk.h"
#include "nodelib/XmlCharacters.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#endif

namespace VelXmlN {
namespace detail {

namespace {

using kasxmln::CXMLException;
using kasxmln::detail::escapedKinds;
using kasxmln::detail::escapeOf;
using kasxmln::detail::Escapes;
using kasxmln::detail::isAsciiNameChar;
using kasxmln::detail::isAsciiNameStart;
using kasxmln::detail::kAllEscapes;
using kasxmln::detail::kControl;
using kasxmln::detail::kEscapeLength;
using kasxmln::detail::kPlain;
using kasxmln::detail::kWide;
using kasxmln::detail::kXmlCharacters;

constexpr std::size_t kBlock = 1u << 16;

// Up to this many attributes repeated names are looked for pair by pair.
constexpr std::size_t kPairwiseNames = 16;

// checkNoZeroByte for the checks below, which look at every string of the tree: most are short,
// and a loop over them costs less than a call.
inline void checkShort(const std::string& text) {
    constexpr std::size_t kShort = 16;
    if (text.size() > kShort) {
        checkNoZeroByte(text);
        return;
    }
    const char* bytes = text.data();
    bool zero = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        zero |= bytes[i] == '\0';
    }
    if (zero) {
        checkNoZeroByte(text);
    }
}

// The checks of the conversion on an element's own strings: its attributes, then its value.
void checkOwn(const Data& element) {
    for (const AttributeData* attribute : element.getAttributes()) {
        checkShort(attribute->getName());
        checkShort(attribute->getData());
    }
    checkShort(element.getData());
}

[[noreturn]] void throwTooDeep(const Data& element) {
    throw CXMLException(CXMLException::kLimitError, 0,
                        "element '" + element.getName() + "' is nested deeper than the limit of " +
                            std::to_string(kasxmln::kMaxElementDepth) + " levels");
}

// A nameless element is written as a text piece, its value alone. Attributes or children would be
// lost without a word, so such an element is refused as the invalid name it has.
void checkTextPiece(const Data& element) {
    if (!element.getAttributes().empty() || !element.getChildren().empty()) {
        throw CXMLException(CXMLException::kNameError, CXMLException::kNameDetail,
                            element.getName());
    }
    checkShort(element.getData());
}

// The checks that the element conversion made before anything was written, in its order: the
// root's name, then for each element its attributes (name, value), its value, and each child: a
// text piece's contents, an element's depth and name before its own.
void checkBeforeWriting(const Data& root) {
    walkPreOrder(&root, [&root](const Data* element, std::size_t depth) {
        if (element != &root && element->getName().empty()) {
            checkTextPiece(*element);
            return WalkStep::SkipChildren;
        }
        if (depth > kasxmln::kMaxElementDepth) {
            throwTooDeep(*element);
        }
        checkShort(element->getName());
        checkOwn(*element);
        return WalkStep::Descend;
    });
}

// Long texts are scanned sixteen bytes at a time where SSE2 is there (every x86-64 processor):
// only the bytes that are not plain are looked at one by one.
#if defined(__SSE2__) || defined(_M_X64)
#define VELXMLN_SCAN_SSE2 1

// Bit i set when byte i of the sixteen at `bytes` is one of < > & ' ".
inline unsigned markupMask(const unsigned char* bytes) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i found = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')), _mm_cmpeq_epi8(v, _mm_set1_epi8('>'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\'')),
                                  _mm_cmpeq_epi8(v, _mm_set1_epi8('"')))));
    return static_cast<unsigned>(_mm_movemask_epi8(found));
}

// Bit i set when byte i is below 0x20 or not ASCII (below 0x20 as a signed byte).
inline unsigned unusualMask(const unsigned char* bytes) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20))));
}

inline unsigned lowestBit(unsigned mask) {
#if defined(_MSC_VER)
    unsigned long index = 0;
    _BitScanForward(&index, mask);
    return static_cast<unsigned>(index);
#else
    return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}
#endif

// The kinds of the bytes of a text, one bit (1 << kind) for each kind that occurs, plain aside.
inline unsigned kindsIn(const unsigned char* bytes, std::size_t size) {
    unsigned kinds = 0;
    std::size_t i = 0;
#if defined(VELXMLN_SCAN_SSE2)
    for (; i + 16 <= size; i += 16) {
        for (unsigned found = markupMask(bytes + i) | unusualMask(bytes + i); found != 0;
             found &= found - 1) {
            kinds |= 1u << kXmlCharacters.kind[bytes[i + lowestBit(found)]];
        }
    }
#endif
    for (; i < size; ++i) {
        kinds |= 1u << kXmlCharacters.kind[bytes[i]];
    }
    return kinds & ~(1u << kPlain);
}

// Collects output in blocks, which the stream gets whole as they fill.
class Output {
  public:
    explicit Output(std::ostream& stream) : stream_(stream), buffer_(new char[kBlock]) {}

    void put(const char* bytes, std::size_t length) {
        // Most pieces are short: copied with a few fixed-size moves instead of a call.
        if (length <= 16 && kBlock - used_ >= 16) {
            char* to = buffer_.get() + used_;
            if (length >= 8) {
                std::memcpy(to, bytes, 8);
                std::memcpy(to + length - 8, bytes + length - 8, 8);
            } else if (length >= 4) {
                std::memcpy(to, bytes, 4);
                std::memcpy(to + length - 4, bytes + length - 4, 4);
            } else {
                for (std::size_t i = 0; i < length; ++i) {
                    to[i] = bytes[i];
                }
            }
            used_ += length;
            return;
        }
        while (kBlock - used_ < length) {
            const std::size_t room = kBlock - used_;
            std::memcpy(buffer_.get() + used_, bytes, room);
            used_ = kBlock;
            bytes += room;
            length -= room;
            flush();
        }
        std::memcpy(buffer_.get() + used_, bytes, length);
        used_ += length;
    }

    void put(const std::string& text) { put(text.data(), text.size()); }

    template <std::size_t N>
    void literal(const char (&text)[N]) {
        put(text, N - 1);
    }

    std::ostream& stream() noexcept { return stream_; }

    /// Hands what is collected to the stream.
    void flush() {
        if (used_ > 0) {
            stream_.write(buffer_.get(), static_cast<std::streamsize>(used_));
            used_ = 0;
        }
    }

  private:
    std::ostream& stream_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

class Writer {
  public:
    Writer(std::ostream& stream, const Data& root, EncodeSkip encodeSkip)
        : out_(stream),
          root_(root),
          textEscapes_{(encodeSkip & EncodeSkipAmpersand) == 0,
                       (encodeSkip & EncodeSkipApostrophe) == 0,
                       (encodeSkip & EncodeSkipQuote) == 0},
          converter_(nullptr) {
        // Text nodes below the root are the library's own (every escape) when the skip is 0.
        if (encodeSkip == EncodeSkipNone) {
            textEscapes_ = kAllEscapes;
        }
    }

    // The element conversion that the document was built with checked the whole tree (zero
    // bytes, depth) before anything was written, and its failures leave the stream untouched;
    // every later failure leaves in the stream what was written before it. So the tree is checked
    // in a walk of its own first. Holding the output back instead, to check while writing, saved
    // nothing: writing three generated 5 MB documents (records, prose, configuration) took
    // 177.5, 30.9 and 131.0 million instructions (callgrind) that way, and 177.6, 30.6 and 131.0
    // million checking first, which also holds no output (that way held up to 64 MiB).
    void write() {
        checkBeforeWriting(root_);
        // The prologue goes through the stream's own insertion, as the document save wrote it.
        out_.stream() << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        out_.stream() << "\r\n";
        try {
            writeTree();
        } catch (...) {
            out_.flush();
            throw;
        }
        out_.flush();
    }

  private:
    struct Frame {
        const Data* element;
        std::size_t next;   // the next of the element's child nodes: its value first, if any
        std::size_t count;  // how many child nodes it has
        std::size_t level;  // the element's indent, in tabs
        bool textSeen;
        bool convertedTag;  // the converted name is not the name itself but tags_[level]
    };

    void writeTree() {
        std::vector<Frame> stack;
        open(root_, true, 0, stack);
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.count) {
                out_.literal("</");
                out_.put(top.convertedTag ? tags_[top.level] : top.element->getName());
                out_.literal(">");
                stack.pop_back();
                if (!stack.empty()) {
                    afterChild(stack.back());
                }
                continue;
            }
            const Data& element = *top.element;
            const bool hasValue = !element.getData().empty();
            const std::size_t index = top.next++;
            const Data* child = nullptr;
            const std::string* text = nullptr;
            if (hasValue && index == 0) {
                text = &element.getData();
            } else {
                child = element.getChildren()[index - (hasValue ? 1 : 0)];
                if (child->getName().empty()) {
                    text = &child->getData();
                }
            }
            if (text != nullptr) {
                top.textSeen = true;
                appendEscaped(*text, stack.size() == 1 ? kAllEscapes : textEscapes_);
                afterChild(top);
                continue;
            }
            if (!top.textSeen) {
                lineBreak(top.level + 1);
            }
            // open() may add a frame: `top` is not used after it.
            if (!open(*child, false, top.level + 1, stack)) {
                afterChild(stack.back());
            }
        }
        out_.literal("\r\n");
    }

    // Writes the start tag of `element`; returns whether it has child nodes, in which case a frame
    // for them is pushed, else it is closed with "/>".
    bool open(const Data& element, bool isRoot, std::size_t level, std::vector<Frame>& stack) {
        const bool convertedTag = startTag(element, isRoot, level);
        const std::size_t count =
            element.getChildren().size() + (element.getData().empty() ? 0 : 1);
        if (count == 0) {
            out_.literal("/>");
            return false;
        }
        out_.literal(">");
        stack.push_back(Frame{&element, 0, count, level, false, convertedTag});
        return true;
    }

    // After a child node: the last one is followed by a line break and the element's own indent,
    // unless a text came among them.
    void afterChild(const Frame& frame) {
        if (frame.next == frame.count && !frame.textSeen) {
            lineBreak(frame.level);
        }
    }

    void lineBreak(std::size_t tabs) {
        out_.literal("\r\n");
        if (tabs_.size() < tabs) {
            tabs_.resize(tabs, '\t');
        }
        out_.put(tabs_.data(), tabs);
    }

    // "<name" and the attributes. Returns whether the converted name differs from the name; it
    // is then kept in tags_[level] for the end tag.
    bool startTag(const Data& element, bool isRoot, std::size_t level) {
        const std::string& converted = checkedName(element.getName());
        const bool differs = &converted != &element.getName();
        if (differs) {
            if (tags_.size() <= level) {
                tags_.resize(level + 1);
            }
            tags_[level] = converted;
        }
        out_.literal("<");
        out_.put(differs ? tags_[level] : element.getName());
        collectAttributes(element, isRoot);
        for (const auto& attribute : set_) {
            writeAttribute(*attribute.first, *attribute.second);
        }
        static const std::string empty;
        for (const std::string* name : empty_) {
            writeAttribute(*name, empty);
        }
        return differs;
    }

    void writeAttribute(const std::string& name, const std::string& value) {
        const std::string& converted = checkedName(name);
        out_.literal(" ");
        out_.put(converted);
        out_.literal("=\"");
        appendEscaped(value, kAllEscapes);
        out_.literal("\"");
    }

    // The attributes as the node library's SetAttribute, called for each in order, leaves them:
    // a name set again keeps its place and takes the new value, an empty value takes the name
    // away. Below the root the empty-valued ones are kept apart, in the order set, and written
    // after the others (a value set later for the name takes its first such record away).
    void collectAttributes(const Data& element, bool isRoot) {
        set_.clear();
        empty_.clear();
        const std::vector<AttributeData*>& list = element.getAttributes();
        if (namesDistinct(list)) {
            for (const AttributeData* attribute : list) {
                if (!attribute->getData().empty()) {
                    set_.emplace_back(&attribute->getName(), &attribute->getData());
                } else if (!isRoot) {
                    empty_.push_back(&attribute->getName());
                }
            }
            return;
        }
        for (const AttributeData* attribute : list) {
            const std::string& name = attribute->getName();
            const std::string& value = attribute->getData();
            auto found = set_.begin();
            while (found != set_.end() && *found->first != name) {
                ++found;
            }
            if (value.empty()) {
                if (found != set_.end()) {
                    set_.erase(found);
                }
            } else if (found != set_.end()) {
                found->second = &value;
            } else {
                set_.emplace_back(&name, &value);
            }
            if (isRoot) {
                continue;
            }
            if (value.empty()) {
                empty_.push_back(&name);
                continue;
            }
            for (auto record = empty_.begin(); record != empty_.end(); ++record) {
                if (**record == name) {
                    empty_.erase(record);
                    break;
                }
            }
        }
    }

    bool namesDistinct(const std::vector<AttributeData*>& list) {
        if (list.size() <= kPairwiseNames) {
            for (std::size_t i = 1; i < list.size(); ++i) {
                for (std::size_t j = 0; j < i; ++j) {
                    if (list[i]->getName() == list[j]->getName()) {
                        return false;
                    }
                }
            }
            return true;
        }
        std::unordered_set<std::string_view> seen;
        seen.reserve(list.size());
        for (const AttributeData* attribute : list) {
            if (!seen.insert(attribute->getName()).second) {
                return false;
            }
        }
        return true;
    }

    // The UTF-8 form of an element or attribute name, after the XML 1.0 name test: the name itself
    // when it is ASCII, else a buffer valid until the next call. Throws CXMLException
    // (kNameError) with the name when the test fails.
    const std::string& checkedName(const std::string& name) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
        bool ascii = !name.empty() && isAsciiNameStart(bytes[0]);
        for (std::size_t i = 1; ascii && i < name.size(); ++i) {
            ascii = isAsciiNameChar(bytes[i]);
        }
        if (ascii) {
            return name;
        }
        converter_.Assign(name.c_str());
        if (!converter_.IsValidName()) {
            throw CXMLException(CXMLException::kNameError, CXMLException::kNameDetail, name);
        }
        const char* converted = nullptr;
        std::size_t length = 0;
        converter_.ToUtf8(converted, length);
        convertedName_.assign(converted, length);
        return convertedName_;
    }

    // `text` escaped as CStringConverter::ToUtf8 does it. ASCII is done here; other text goes
    // through the converter itself.
    void appendEscaped(const std::string& text, Escapes escapes) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t size = text.size();
        const unsigned kinds = kindsIn(bytes, size);
        // A text that cannot be written throws before any of it is written.
        if ((kinds & (1u << kControl)) != 0) {
            throw CXMLException(CXMLException::kCharacterError, CXMLException::kCharacterDetail,
                                text);
        }
        if ((kinds & (1u << kWide)) != 0) {
            appendConverted(text, escapes);
            return;
        }
        const unsigned escaped = escapedKinds(escapes);
        if ((kinds & escaped) == 0) {
            out_.put(text.data(), size);
            return;
        }
        std::size_t run = 0;
        const auto escapeAt = [&](std::size_t i) {
            if ((escaped & (1u << kXmlCharacters.kind[bytes[i]])) == 0) {
                return;
            }
            const char* escape = escapeOf(bytes[i], escapes);
            out_.put(text.data() + run, i - run);
            out_.put(escape, kEscapeLength);
            run = i + 1;
        };
        std::size_t i = 0;
#if defined(VELXMLN_SCAN_SSE2)
        for (; i + 16 <= size; i += 16) {
            for (unsigned found = markupMask(bytes + i); found != 0; found &= found - 1) {
                escapeAt(i + lowestBit(found));
            }
        }
#endif
        for (; i < size; ++i) {
            escapeAt(i);
        }
        out_.put(text.data() + run, size - run);
    }

    void appendConverted(const std::string& text, Escapes escapes) {
        kasxmln::CStringConverter converter(text.c_str(), escapes.ampersand, escapes.apostrophe,
                                            escapes.quote);
        const char* converted = nullptr;
        std::size_t length = 0;
        converter.ToUtf8(converted, length);
        out_.put(converted, length);
    }

    Output out_;
    const Data& root_;
    Escapes textEscapes_;
    kasxmln::CStringConverter converter_;
    std::vector<std::pair<const std::string*, const std::string*>> set_;
    std::vector<const std::string*> empty_;
    std::string tabs_;
    std::string convertedName_;
    std::vector<std::string> tags_;  // converted names that are not the names themselves, by level
};

}  // namespace

void checkNoZeroByte(const std::string& text) {
    if (std::memchr(text.data(), '\0', text.size()) != nullptr) {
        throw CXMLException(CXMLException::kCharacterError, CXMLException::kCharacterDetail, text);
    }
}

void writeDocument(std::ostream& out, const Data& root, EncodeSkip encodeSkip) {
    Writer(out, root, encodeSkip).write();
}

}  // namespace detail
}  // namespace VelXmlN

#include <VelXmlN/kasxmln.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUTF8Transcoder.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "nodelib/XercesInit.h"
#include "nodelib/XmlCharacters.h"
#include "platform/CodePageConvert.h"

namespace kasxmln {

namespace {

using detail::escapeOf;
using detail::Escapes;
using detail::isAsciiNameChar;
using detail::isAsciiNameStart;
using detail::isForbiddenCharacter;
using detail::isForbiddenControl;
using detail::kEscapeLength;

constexpr std::size_t kTranscoderBlockSize = 16384;

[[noreturn]] void throwControl(const std::string& source) {
    throw CXMLException(CXMLException::kCharacterError, CXMLException::kCharacterDetail, source);
}

}  // namespace

CStringConverter::CStringConverter(const char* source, bool escapeAmpersand, bool escapeApostrophe,
                                   bool escapeQuote)
    : source_(source != nullptr ? source : ""),
      escapeAmpersand_(escapeAmpersand),
      escapeApostrophe_(escapeApostrophe),
      escapeQuote_(escapeQuote) {}

CStringConverter::~CStringConverter() = default;

void CStringConverter::Assign(const char* text) {
    source_.assign(text != nullptr ? text : "");
    result_.clear();
}

const char* CStringConverter::GetSource() {
    return source_.c_str();
}

bool CStringConverter::IsValidName() {
    const auto* bytes = reinterpret_cast<const unsigned char*>(source_.data());
    const std::size_t length = source_.size();
    if (length == 0) {
        return false;
    }
    if (VelXmlN::detail::isAscii(source_.data(), length)) {
        if (!isAsciiNameStart(bytes[0])) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if (!isAsciiNameChar(bytes[i])) {
                return false;
            }
        }
        return true;
    }
    detail::ensureXerces();
    const std::u16string wide = VelXmlN::detail::toUtf16(source_);
    // A name must come back unchanged from UTF-16: a byte sequence the code page does not define
    // becomes U+FFFD, so two different names could be written as one (a repeated attribute
    // makes the written document unreadable) and a name would not read back as it was.
    if (VelXmlN::detail::toNarrow(wide.data(), wide.size()) != source_) {
        return false;
    }
    // The reader takes the characters U+10000 to U+EFFFF anywhere in a name, as later editions of
    // XML 1.0 do, but the 1.0 table of the name check knows only the basic plane: each such
    // character stands in as a plain letter, so that every name the reader accepts can be written.
    std::u16string checked;
    checked.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDB7F && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            checked += u'a';
            ++i;
        } else {
            checked += unit;
        }
    }
    return xercesc::XMLChar1_0::isValidName(checked.c_str(), checked.size());
}

void CStringConverter::ToUtf8(const char*& bytes, std::size_t& length) {
    result_.clear();
    bytes = "";
    length = 0;
    const std::size_t size = source_.size();
    const Escapes escapes{escapeAmpersand_, escapeApostrophe_, escapeQuote_};

    if (VelXmlN::detail::isAscii(source_.data(), size)) {
        // ASCII is the same in UTF-8 and in every narrow code page, so the escapes can be made on
        // the bytes directly; a piece without anything to escape is the result as it stands.
        std::size_t escaped = 0;
        for (const char c : source_) {
            const auto unit = static_cast<unsigned char>(c);
            if (isForbiddenControl(unit)) {
                throwControl(source_);
            }
            if (escapeOf(unit, escapes) != nullptr) {
                ++escaped;
            }
        }
        if (escaped == 0) {
            bytes = source_.data();
            length = size;
            return;
        }
        result_.resize(size + escaped * (kEscapeLength - 1));
        char* out = result_.data();
        for (const char c : source_) {
            const char* escape = escapeOf(static_cast<unsigned char>(c), escapes);
            if (escape != nullptr) {
                std::memcpy(out, escape, kEscapeLength);
                out += kEscapeLength;
            } else {
                *out++ = c;
            }
        }
        bytes = result_.data();
        length = result_.size();
        return;
    }

    // Other text: to UTF-16 through the code page, escaped unit by unit into a buffer that starts
    // at twice the source length plus 12 units and doubles whenever fewer than 6 units are free,
    // then to UTF-8 with Xerces-C's transcoder.
    const std::u16string wide = VelXmlN::detail::toUtf16(source_);
    std::size_t capacity = 2 * size + 12;
    std::unique_ptr<char16_t[]> escaped(new char16_t[capacity]);
    std::size_t used = 0;
    for (const char16_t unit : wide) {
        // U+FFFE and U+FFFF are no XML characters either: written, the document could not be
        // read back. (Unpaired surrogates cannot occur: the code page conversion makes them
        // U+FFFD.)
        if (isForbiddenCharacter(unit)) {
            throwControl(source_);
        }
        if (capacity - used < kEscapeLength) {
            std::unique_ptr<char16_t[]> larger(new char16_t[capacity * 2]);
            std::memcpy(larger.get(), escaped.get(), used * sizeof(char16_t));
            escaped = std::move(larger);
            capacity *= 2;
        }
        const char* escape = escapeOf(unit, escapes);
        if (escape != nullptr) {
            for (std::size_t k = 0; k < kEscapeLength; ++k) {
                escaped[used++] = static_cast<char16_t>(escape[k]);
            }
        } else {
            escaped[used++] = unit;
        }
    }

    detail::ensureXerces();
    result_.resize(4 * used + 4);
    std::size_t written = 0;
    try {
        xercesc::XMLUTF8Transcoder transcoder(xercesc::XMLUni::fgUTF8EncodingString,
                                              kTranscoderBlockSize);
        std::size_t eaten = 0;
        while (eaten < used) {
            XMLSize_t consumed = 0;
            written += transcoder.transcodeTo(escaped.get() + eaten, used - eaten,
                                              reinterpret_cast<XMLByte*>(result_.data()) + written,
                                              result_.size() - written, consumed,
                                              xercesc::XMLTranscoder::UnRep_Throw);
            if (consumed == 0) {
                break;
            }
            eaten += consumed;
        }
    } catch (const xercesc::OutOfMemoryException&) {
        // Xerces-C's memory manager reports a failed allocation (of the transcoder) this way.
        result_.clear();
        throw std::bad_alloc();
    } catch (const xercesc::XMLException& error) {
        // The code-page layer never produces an unpaired surrogate, so this is not expected.
        result_.clear();
        throw CXMLException(CXMLException::kCharacterError, CXMLException::kCharacterDetail,
                            VelXmlN::detail::toNarrow(error.getMessage()) + ": " + source_);
    }
    result_.resize(written);
    bytes = result_.data();
    length = result_.size();
}

}  // namespace kasxmln

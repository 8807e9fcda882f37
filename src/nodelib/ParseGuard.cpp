#include "nodelib/ParseGuard.h"

#include <cstring>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <VelXmlN/kasxmln.h>

#include "platform/CodePageConvert.h"

namespace kasxmln {
namespace detail {

namespace {

using VelXmlN::detail::appendNarrow;
using VelXmlN::detail::kNarrowBytesPerUtf16Unit;
using VelXmlN::detail::narrowAscii;
using VelXmlN::detail::utf16ToNarrow;

// The first room of a text buffer.
constexpr std::size_t kFirstTextRoom = 256;

bool startsWith(const XMLCh* text, const char16_t* prefix) {
    for (; *prefix != 0; ++text, ++prefix) {
        if (*text != *prefix) {
            return false;
        }
    }
    return true;
}

bool endsWith(const XMLCh* text, const char16_t* suffix) {
    const std::size_t length = xercesc::XMLString::stringLen(text);
    const std::size_t suffixLength = std::char_traits<char16_t>::length(suffix);
    return length >= suffixLength && std::char_traits<char16_t>::compare(
                                         text + length - suffixLength, suffix, suffixLength) == 0;
}

// The validity error of a reference to an undeclared entity; every other validity error is about
// element and attribute declarations, which are never checked.
bool isUndeclaredEntity(const XMLCh* message) {
    return message != nullptr && startsWith(message, u"entity '") &&
           endsWith(message, u"' not found");
}

}  // namespace

char* NarrowText::room(std::size_t bytes) {
    if (capacity_ - size_ < bytes) {
        std::size_t capacity = capacity_ < kFirstTextRoom ? kFirstTextRoom : capacity_ * 2;
        if (capacity - size_ < bytes) {
            capacity = size_ + bytes;
        }
        std::unique_ptr<char[]> larger(new char[capacity]);
        if (size_ > 0) {
            std::memcpy(larger.get(), buffer_.get(), size_);
        }
        buffer_ = std::move(larger);
        capacity_ = capacity;
    }
    return buffer_.get() + size_;
}

void NarrowText::appendUnits(const XMLCh* chars, std::size_t count) {
    if (count == 0) {
        return;
    }
    // Room for ASCII first, which is what most text is; the worst case only for the rest.
    const std::size_t ascii = narrowAscii(chars, count, room(count));
    size_ += ascii;
    if (ascii < count) {
        const std::size_t rest = count - ascii;
        char* out = room(rest * kNarrowBytesPerUtf16Unit);
        size_ += utf16ToNarrow(chars + ascii, rest, out);
    }
}

void NarrowText::append(const XMLCh* chars, std::size_t count) {
    if (count == 0) {
        return;
    }
    std::size_t start = 0;
    if (held_ != 0) {
        const XMLCh pair[2] = {held_, chars[0]};
        held_ = 0;
        const bool joined = chars[0] >= 0xDC00 && chars[0] <= 0xDFFF;
        appendUnits(pair, joined ? 2 : 1);
        start = joined ? 1 : 0;
    }
    std::size_t end = count;
    if (end > start && chars[end - 1] >= 0xD800 && chars[end - 1] <= 0xDBFF) {
        held_ = chars[--end];
    }
    appendUnits(chars + start, end - start);
}

void NarrowText::close() {
    if (held_ != 0) {
        const XMLCh lone[1] = {held_};
        held_ = 0;
        appendUnits(lone, 1);
    }
}

void NarrowText::clear(std::size_t keep) noexcept {
    size_ = 0;
    if (capacity_ > keep) {
        buffer_.reset();
        capacity_ = 0;
    }
}

void NarrowText::reset() noexcept {
    clear(0);
    held_ = 0;
}

std::string narrow(const XMLCh* text) {
    std::string result;
    if (text != nullptr) {
        appendNarrow(result, text, xercesc::XMLString::stringLen(text));
    }
    return result;
}

void LimitedHandler::startPass(const std::uint64_t& taken) noexcept {
    taken_ = &taken;
    locator_ = nullptr;
    depth_ = 0;
    delivered_ = 0;
}

void LimitedHandler::setDocumentLocator(const xercesc::Locator* const locator) {
    locator_ = locator;
}

xercesc::InputSource* LimitedHandler::resolveEntity(const XMLCh* const,
                                                    const XMLCh* const systemId) {
    static const XMLByte nothing[1] = {0};
    static const XMLCh noName[1] = {0};
    return new xercesc::MemBufInputSource(nothing, 0, systemId != nullptr ? systemId : noName,
                                          false);
}

void LimitedHandler::failAmplification() const {
    throw CXMLException(CXMLException::kLimitError, line(),
                        "the document expands to more than " + std::to_string(kMaxAmplification) +
                            " times its own size (entity expansion)" + where());
}

void LimitedHandler::failDepth(const XMLCh* name) const {
    throw CXMLException(CXMLException::kLimitError, line(),
                        "element '" + narrow(name) + "' is nested deeper than the limit of " +
                            std::to_string(kMaxElementDepth) + " levels" + where());
}

std::string LimitedHandler::where() const {
    if (locator_ == nullptr) {
        return where(0, 0);
    }
    return where(locator_->getLineNumber(), locator_->getColumnNumber());
}

std::string LimitedHandler::where(std::uint64_t line, std::uint64_t column) const {
    std::string text;
    if (line > 0) {
        text = " at line " + std::to_string(line) + ", column " + std::to_string(column);
    }
    if (!fileName_.empty()) {
        text += " of file '" + fileName_ + "'";
    }
    return text;
}

unsigned LimitedHandler::line() const {
    return locator_ != nullptr ? static_cast<unsigned>(locator_->getLineNumber()) : 0;
}

HardenedReader::HardenedReader(const std::uint64_t& taken, LimitedHandler& handler,
                               const ReaderSettings& settings)
    : memory_(taken), reader_(xercesc::XMLReaderFactory::createXMLReader(&memory_)) {
    using xercesc::XMLUni;
    xercesc::SAX2XMLReader& reader = *reader_;
    // The DTD-only scanner: schemas are never used, and the default scanner keeps a record of
    // every child of each open element without namespaces (memory in step with a long flat
    // document) and loses the record it makes for an external DTD subset (Xerces-C 3.2.4 leaks
    // it). This one reads DTDs exactly as the default does.
    reader.setProperty(XMLUni::fgXercesScannerName, const_cast<XMLCh*>(XMLUni::fgDGXMLScanner));
    // Validation runs only when the document has a type declaration (dynamic): validating a
    // document that declares no grammar would only build and drop one "not declared" error per
    // element and attribute.
    reader.setFeature(XMLUni::fgSAX2CoreValidation, settings.validating);
    reader.setFeature(XMLUni::fgXercesDynamic, true);
    reader.setFeature(XMLUni::fgSAX2CoreNameSpaces, settings.namespaces);
    reader.setFeature(XMLUni::fgSAX2CoreNameSpacePrefixes, false);
    // Schemas are neither processed nor loaded: a schema location names a file or URL, and
    // nothing a document names is ever read.
    reader.setFeature(XMLUni::fgXercesSchema, false);
    reader.setFeature(XMLUni::fgXercesSchemaFullChecking, false);
    reader.setFeature(XMLUni::fgXercesLoadSchema, false);
    reader.setFeature(XMLUni::fgXercesIdentityConstraintChecking, false);
    // Only honoured without validation; the resolver does the work, this says the intent.
    reader.setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    // Should a resolver ever return nothing, the parser must not fall back to opening the entity
    // itself.
    reader.setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    reader.setFeature(XMLUni::fgXercesCacheGrammarFromParse, false);
    reader.setFeature(XMLUni::fgXercesUseCachedGrammarInParse, false);
    reader.setFeature(XMLUni::fgXercesCalculateSrcOfs, settings.sourceOffsets);
    security_.setEntityExpansionLimit(kMaxEntityExpansions);
    reader.setProperty(XMLUni::fgXercesSecurityManager, &security_);
    reader.setContentHandler(&handler);
    reader.setErrorHandler(&handler);
    reader.setEntityResolver(&handler);
    if (settings.declarations) {
        reader.setLexicalHandler(&handler);
        reader.setDeclarationHandler(&handler);
    }
}

void Guard::beginPass(bool validating, const std::uint64_t& taken) {
    startPass(taken);
    validating_ = validating;
    externalSubset_ = false;
    parameterEntities_ = false;
}

void Guard::startDocument() {
    unsigned line = 0;
    unsigned column = 0;
    const std::string problem = watch_ != nullptr ? watch_->declarationProblem(line, column) : "";
    if (!problem.empty()) {
        throw CXMLException(CXMLException::kParseError, line, problem + where(line, column));
    }
}

void Guard::error(const xercesc::SAXParseException& problem) {
    // Without validation a recoverable error is refused: reading on would drop part of the
    // document. The validating pass reports only what matters, undeclared entities.
    if (!validating_ || isUndeclaredEntity(problem.getMessage())) {
        fail(problem);
    }
}

void Guard::fatalError(const xercesc::SAXParseException& problem) {
    fail(problem);
}

void Guard::startDTD(const XMLCh* const name, const XMLCh* const publicId,
                     const XMLCh* const systemId) {
    externalSubset_ = systemId != nullptr && *systemId != 0;
    dtdStarted(name, publicId, systemId);
}

void Guard::endDTD() {
    restartIfNeeded();
    dtdEnded();
}

void Guard::restartIfNeeded() const {
    if (!validating_ && (externalSubset_ || parameterEntities_)) {
        throw RestartValidating();
    }
}

void Guard::internalEntityDecl(const XMLCh* const name, const XMLCh* const) {
    if (name != nullptr && name[0] == u'%') {
        parameterEntities_ = true;
    }
}

void Guard::externalEntityDecl(const XMLCh* const name, const XMLCh* const, const XMLCh* const) {
    if (name != nullptr && name[0] == u'%') {
        parameterEntities_ = true;
    }
}

void Guard::fail(const xercesc::SAXParseException& problem) const {
    const std::string message = narrow(problem.getMessage());
    // The UTF-8 decoder reports where it began decoding a block; look up the exact place.
    Utf8Locator locator;
    if (rescan_ && isUtf8DecoderMessage(message) && rescan_(locator)) {
        throw CXMLException(CXMLException::kParseError, static_cast<unsigned>(locator.line()),
                            locator.describe() + where(locator.line(), locator.column()));
    }
    throw CXMLException(CXMLException::kParseError, static_cast<unsigned>(problem.getLineNumber()),
                        message + where(problem.getLineNumber(), problem.getColumnNumber()));
}

}  // namespace detail
}  // namespace kasxmln

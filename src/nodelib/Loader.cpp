// CXMLManager: the hardened Xerces-C SAX2 parse behind both LoadDocument forms and behind the
// event path of the reader (NodeEvents.h).
#include <VelXmlN/kasxmln.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "nodelib/FastReader.h"
#include "nodelib/NodeEvents.h"
#include "nodelib/NodeImpl.h"
#include "nodelib/ParseGuard.h"
#include "nodelib/ParserInput.h"
#include "nodelib/XercesInit.h"
#include "platform/CodePageConvert.h"
#include "platform/ErrorText.h"

namespace kasxmln {
namespace detail {

namespace {

using VelXmlN::detail::appendNarrow;

std::size_t length(const XMLCh* text) {
    return text != nullptr ? xercesc::XMLString::stringLen(text) : 0;
}

// The text buffer is kept between texts up to this size; a larger one is given back.
constexpr std::size_t kKeptTextBuffer = 1u << 20;

// The UTF-8 rescan of a file reads it in blocks of this size.
constexpr std::size_t kRescanBlock = 1u << 16;

// The fast reader takes a stream in blocks of this size.
constexpr std::size_t kReadBlock = 1u << 16;

bool isBlank(std::string_view text) {
    for (const char c : text) {
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r') {
            return false;
        }
    }
    return true;
}

// The node tree of the buffer form, built in the document's memory from the events of either
// reader (texts joined, white-space-only text left out, limits checked by the reader). The
// children of an open element wait on a stack until it ends; then they get an array of exactly
// the right size.
class NodeEventBuilder final : public NodeEvents {
  public:
    explicit NodeEventBuilder(CXMLDocument& document)
        : document_(document), arena_(CXMLDocument::Impl::of(document).arena) {}

    NodeEventBuilder(const NodeEventBuilder&) = delete;
    NodeEventBuilder& operator=(const NodeEventBuilder&) = delete;

    // Nodes still on the stack belong to no parent yet (each owns its finished subtree).
    ~NodeEventBuilder() override { discardWaiting(); }

    void restart() override {
        discardWaiting();
        starts_.clear();
        current_ = nullptr;
    }

    void startElement(std::string_view name, const NarrowAttribute* attributes,
                      std::size_t count) override {
        std::unique_ptr<CXMLNode> node =
            CXMLNode::Impl::newElement(arena_, std::string(name), current_);
        if (count > 0) {
            setAttributes(*node, attributes, count);
        }
        if (current_ != nullptr) {
            waiting_.push_back(node.get());
        } else {
            CXMLDocument::Impl::of(document_).root = node.get();
        }
        current_ = node.release();
        starts_.push_back(waiting_.size());
    }

    void text(std::string_view text, bool) override {
        std::unique_ptr<CXMLTextNode> node =
            CXMLNode::Impl::newText(arena_, std::string(text), current_);
        waiting_.push_back(node.get());
        node.release();
    }

    void endElement() override {
        const std::size_t start = starts_.back();
        CXMLNode::Impl::of(*current_).setChildren(waiting_.data() + start, waiting_.size() - start);
        waiting_.resize(start);
        starts_.pop_back();
        current_ = current_->GetParentNode();
    }

  private:
    void setAttributes(CXMLNode& node, const NarrowAttribute* attributes, std::size_t count) {
        made_.clear();
        try {
            // Room for every attribute first: each one is made before it is listed, and a list
            // that failed to grow would lose it.
            made_.reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                made_.push_back(CXMLNode::Impl::newAttribute(arena_,
                                                             std::string(attributes[i].name),
                                                             std::string(attributes[i].value))
                                    .release());
            }
            CXMLNode::Impl::of(node).setAttributes(made_.data(), made_.size());
        } catch (...) {
            for (CXMLAttribut* attribute : made_) {
                delete attribute;
            }
            throw;
        }
    }

    void discardWaiting() noexcept {
        for (CXMLNode* node : waiting_) {
            delete node;
        }
        waiting_.clear();
    }

    CXMLDocument& document_;
    NodeArena* arena_;
    CXMLNode* current_ = nullptr;
    std::vector<CXMLNode*> waiting_;   // children of the open elements, in order
    std::vector<std::size_t> starts_;  // where each open element's children start
    std::vector<CXMLAttribut*> made_;
};

// The input of the other path after a hand-over of the fast reader: the bytes it kept, then the
// rest of the stream, read once. Seeking back to the start (a parse that starts again, the search
// for invalid UTF-8) seeks the stream back to where the rest began.
class JoinedInput final : public std::streambuf {
  public:
    JoinedInput(std::string_view kept, std::streambuf& rest)
        : kept_(kept),
          rest_(rest),
          restStart_(rest.pubseekoff(0, std::ios_base::cur, std::ios_base::in)) {
        showKept();
    }

  protected:
    int_type underflow() override {
        if (gptr() != nullptr && gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        passed_ += static_cast<std::uint64_t>(egptr() - eback());
        inRest_ = true;
        const std::streamsize got =
            rest_.sgetn(block_, static_cast<std::streamsize>(sizeof(block_)));
        if (got <= 0) {
            setg(block_, block_, block_);
            return traits_type::eof();
        }
        setg(block_, block_, block_ + got);
        return traits_type::to_int_type(block_[0]);
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir way,
                     std::ios_base::openmode which) override {
        if (offset == 0 && way == std::ios_base::cur && (which & std::ios_base::in) != 0) {
            return pos_type(static_cast<off_type>(passed_) + (gptr() - eback()));
        }
        return pos_type(off_type(-1));
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        if (position != pos_type(0) || (which & std::ios_base::in) == 0) {
            return pos_type(off_type(-1));
        }
        if (inRest_ && (restStart_ == pos_type(off_type(-1)) ||
                        rest_.pubseekpos(restStart_, std::ios_base::in) != restStart_)) {
            return pos_type(off_type(-1));
        }
        showKept();
        return position;
    }

  private:
    void showKept() {
        // The kept bytes are only read through the get area, never written.
        char* first = const_cast<char*>(kept_.data());
        setg(first, first, first + kept_.size());
        passed_ = 0;
        inRest_ = false;
    }

    std::string_view kept_;
    std::streambuf& rest_;
    const pos_type restStart_;
    std::uint64_t passed_ = 0;  // bytes before the get area
    bool inRest_ = false;       // the rest has been read from
    char block_[1u << 16];
};

// The Xerces-C parse of the node library, handed to a NodeEvents receiver as the fast reader hands
// its events: texts around comments, processing instructions and CDATA sections joined, white
// space alone left out. Names and texts are converted into buffers that keep their room from
// one element to the next, so that no string is made per element here.
class EventBuilder final : public Guard {
  public:
    explicit EventBuilder(NodeEvents& events) : Guard(std::string()), events_(events) {}

    EventBuilder(const EventBuilder&) = delete;
    EventBuilder& operator=(const EventBuilder&) = delete;

    void beginPass(bool validating, const std::uint64_t& taken) override {
        Guard::beginPass(validating, taken);
        open_ = 0;
        pending_.reset();
        events_.restart();
    }

    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                      const xercesc::Attributes& attributes) override {
        enter(qname);
        flushText(false);
        // The name and every attribute's name and value go into one buffer, one after another;
        // their views are taken once it has stopped growing.
        tag_.clear(kKeptTextBuffer);
        tag_.appendWhole(qname, length(qname));
        const std::size_t nameLength = tag_.size();
        const XMLSize_t count = attributes.getLength();
        if (ends_.size() < 2 * count) {
            ends_.resize(2 * count);
            attributes_.resize(count);
        }
        for (XMLSize_t i = 0; i < count; ++i) {
            const XMLCh* value = attributes.getValue(i);
            const std::size_t valueLength = length(value);
            deliver(valueLength);
            const XMLCh* name = attributes.getQName(i);
            tag_.appendWhole(name, length(name));
            ends_[2 * i] = tag_.size();
            tag_.appendWhole(value, valueLength);
            ends_[2 * i + 1] = tag_.size();
        }
        const std::string_view all = tag_.view();
        std::size_t from = nameLength;
        for (XMLSize_t i = 0; i < count; ++i) {
            attributes_[i].name = all.substr(from, ends_[2 * i] - from);
            attributes_[i].value = all.substr(ends_[2 * i], ends_[2 * i + 1] - ends_[2 * i]);
            from = ends_[2 * i + 1];
        }
        ++open_;
        events_.startElement(all.substr(0, nameLength), attributes_.data(), count);
    }

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        flushText(true);
        --open_;
        events_.endElement();
        leave();
    }

    void characters(const XMLCh* const chars, const XMLSize_t count) override {
        deliver(count);
        if (open_ > 0) {
            pending_.append(chars, count);
        }
    }

  private:
    void flushText(bool last) {
        pending_.close();
        if (pending_.empty()) {
            return;
        }
        const std::string_view text = pending_.view();
        if (!isBlank(text)) {
            events_.text(text, last);
        }
        pending_.clear(kKeptTextBuffer);
    }

    NodeEvents& events_;
    std::size_t open_ = 0;  // elements started and not ended
    NarrowText pending_;
    NarrowText tag_;
    std::vector<std::size_t> ends_;  // where each attribute's name and value end in tag_
    std::vector<NarrowAttribute> attributes_;
};

}  // namespace

}  // namespace detail

// Forwards the events of the file form to a CXMLSaxHandler, and lets the handler ask for the
// source offset while a callback runs.
class CXMLSaxHandler::Context final : public detail::Guard {
  public:
    Context(CXMLSaxHandler& handler, std::string fileName)
        : Guard(std::move(fileName)), handler_(handler), previous_(handler.context_) {
        handler_.context_ = this;
    }

    ~Context() override { handler_.context_ = previous_; }

    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    void attach(const xercesc::SAX2XMLReader* reader) noexcept { reader_ = reader; }

    /// The offset that GetSourceOffset gives while no parser is attached (the fast reader's).
    void setOffset(unsigned long long offset) noexcept { offset_ = offset; }

    unsigned long long offset() const noexcept {
        try {
            return reader_ != nullptr ? static_cast<unsigned long long>(reader_->getSrcOffset())
                                      : offset_;
        } catch (...) {
            return 0;  // asked outside a callback
        }
    }

    void beginPass(bool validating, const std::uint64_t& taken) override {
        Guard::beginPass(validating, taken);
        text_.reset();
        documentWaits_ = false;
        dtdWaits_ = false;
        documentEnded_ = false;
    }

    // The start of the document and of its type declaration reach the handler only once the
    // declaration is complete: a pass that starts again would otherwise report them twice.
    void startDocument() override {
        Guard::startDocument();
        documentWaits_ = true;
    }

    // The end of the document waits for the check of its bytes after the parse (parseEnded): a
    // document refused there must not look complete to the handler.
    void endDocument() override {
        release();
        flushHeld();
        documentEnded_ = true;
        offset_ = offset();
    }

    void parseEnded() override {
        if (documentEnded_) {
            documentEnded_ = false;
            reader_ = nullptr;
            handler_.EndDocument();
        }
    }

    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                      const xercesc::Attributes& attributes) override {
        enter(qname);
        release();
        flushHeld();
        name_.clear();
        detail::appendNarrow(name_, qname, detail::length(qname));
        attributes_.clear();
        pointers_.clear();
        const XMLSize_t count = attributes.getLength();
        attributes_.reserve(count);
        for (XMLSize_t i = 0; i < count; ++i) {
            const XMLCh* value = attributes.getValue(i);
            const std::size_t valueLength = detail::length(value);
            deliver(valueLength);
            std::string valueText;
            detail::appendNarrow(valueText, value, valueLength);
            attributes_.emplace_back(detail::narrow(attributes.getQName(i)), std::move(valueText));
        }
        pointers_.reserve(count + 1);
        for (CXMLAttribut& attribute : attributes_) {
            pointers_.push_back(&attribute);
        }
        pointers_.push_back(nullptr);
        handler_.StartElement("", name_.c_str(), name_.c_str(), pointers_.data());
    }

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname) override {
        flushHeld();
        name_.clear();
        detail::appendNarrow(name_, qname, detail::length(qname));
        handler_.EndElement("", name_.c_str(), name_.c_str());
        leave();
    }

    void characters(const XMLCh* const chars, const XMLSize_t count) override {
        deliver(count);
        text_.clear(detail::kKeptTextBuffer);
        text_.append(chars, count);
        if (!text_.empty()) {
            handler_.Characters(text_.view().data(), static_cast<unsigned>(text_.size()));
        }
    }

    void startCDATA() override {
        flushHeld();
        handler_.StartCDATA();
    }

    void endCDATA() override {
        flushHeld();
        handler_.EndCDATA();
    }

  protected:
    void dtdStarted(const XMLCh* const name, const XMLCh* const publicId,
                    const XMLCh* const systemId) override {
        dtdName_ = detail::narrow(name);
        dtdPublicId_ = detail::narrow(publicId);
        dtdSystemId_ = detail::narrow(systemId);
        dtdWaits_ = true;
    }

    void dtdEnded() override { release(); }

  private:
    void release() {
        if (documentWaits_) {
            documentWaits_ = false;
            handler_.StartDocument();
        }
        if (dtdWaits_) {
            dtdWaits_ = false;
            handler_.StartDTD(dtdName_.c_str(), dtdPublicId_.c_str(), dtdSystemId_.c_str());
        }
    }

    // A first half of a surrogate pair that waited for the rest of a text, which never came.
    void flushHeld() {
        if (text_.waiting()) {
            text_.clear();
            text_.close();
            handler_.Characters(text_.view().data(), static_cast<unsigned>(text_.size()));
        }
    }

    CXMLSaxHandler& handler_;
    const Context* previous_;
    const xercesc::SAX2XMLReader* reader_ = nullptr;
    std::string name_;
    detail::NarrowText text_;
    std::vector<CXMLAttribut> attributes_;
    std::vector<CXMLAttribut*> pointers_;
    bool documentWaits_ = false;
    bool dtdWaits_ = false;
    bool documentEnded_ = false;
    unsigned long long offset_ = 0;
    std::string dtdName_;
    std::string dtdPublicId_;
    std::string dtdSystemId_;
};

namespace detail {

using SaxContext = CXMLSaxHandler::Context;

namespace {

// The fast reader's events handed to a CXMLSaxHandler exactly as the Xerces-C path hands them:
// the same calls in the same order with the same arguments, and the same source offset during
// each (which, like the parser's, does not count a byte order mark). Nothing reaches the handler
// before the root element starts, so that a hand-over finds it untouched.
class SaxDelivery final : public NodeEvents, public PositionEvents, public SaxTextEvents {
  public:
    SaxDelivery(CXMLSaxHandler& handler, SaxContext& context)
        : handler_(handler), context_(context) {}

    SaxDelivery(const SaxDelivery&) = delete;
    SaxDelivery& operator=(const SaxDelivery&) = delete;

    /// Looks at the document's bytes as they are read, for a byte order mark.
    void look(const char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size && head_ < 3; ++i, ++head_) {
            static const char kMark[] = "\xEF\xBB\xBF";
            markSeen_ = (head_ == 0 || markSeen_) && bytes[i] == kMark[head_];
        }
        total_ += size;
    }

    /// Whether the last exception came out of the handler (rather than the reader).
    bool inHandler() const noexcept { return inHandler_; }

    /// The whole document has been read.
    void endDocument() {
        enter(total_);
        handler_.EndDocument();
        inHandler_ = false;
    }

    void restart() override {}

    void startTag(ByteRange tag, const ByteRange*, std::size_t) override { at_ = tag.end; }
    void text(ByteRange) override {}
    void endTag(ByteRange tag) override { at_ = tag.end; }

    void doctype(std::string_view name, std::string_view publicId, std::string_view systemId,
                 bool external, std::uint64_t end) override {
        // The parser reports only a declaration with an external identifier, and ends it (with
        // the start of the document) only once it has read a named external subset.
        dtd_ = external;
        dtdName_.assign(name.data(), name.size());
        dtdPublicId_.assign(publicId.data(), publicId.size());
        dtdSystemId_.assign(systemId.data(), systemId.size());
        dtdEnd_ = systemId.empty() ? 0 : end;
    }

    void startElement(std::string_view name, const NarrowAttribute* attributes,
                      std::size_t count) override {
        if (names_.empty() && !started_) {
            started_ = true;
            enter(dtdEnd_ != 0 ? dtdEnd_ : at_);
            handler_.StartDocument();
            if (dtd_) {
                handler_.StartDTD(dtdName_.c_str(), dtdPublicId_.c_str(), dtdSystemId_.c_str());
            }
            inHandler_ = false;
        }
        nameStarts_.push_back(names_.size());
        names_.append(name.data(), name.size());
        names_ += '\0';
        const char* tagName = names_.c_str() + nameStarts_.back();
        if (attributes_.size() < count) {
            attributes_.resize(count, CXMLAttribut(std::string(), std::string()));
        }
        pointers_.resize(count + 1);
        for (std::size_t i = 0; i < count; ++i) {
            CXMLAttribut& attribute = attributes_[i];
            // The attribute objects stay from one element to the next; a name that repeats keeps
            // its string, and a value takes the room of the last one.
            if (std::string_view(attribute.GetName()) != attributes[i].name) {
                attribute = CXMLAttribut(std::string(attributes[i].name), std::string());
            }
            scratch_.assign(attributes[i].value.data(), attributes[i].value.size());
            attribute.SetValue(scratch_.c_str());
            pointers_[i] = &attribute;
        }
        pointers_[count] = nullptr;
        enter(at_);
        handler_.StartElement("", tagName, tagName, pointers_.data());
        inHandler_ = false;
    }

    void text(std::string_view, bool) override {}

    void endElement() override {
        const char* tagName = names_.c_str() + nameStarts_.back();
        enter(at_);
        handler_.EndElement("", tagName, tagName);
        inHandler_ = false;
        names_.resize(nameStarts_.back());
        nameStarts_.pop_back();
    }

    void characters(std::string_view text, std::uint64_t at) override {
        enter(at);
        handler_.Characters(text.data(), static_cast<unsigned>(text.size()));
        inHandler_ = false;
    }

    void cdata(std::string_view text, std::uint64_t end) override {
        enter(end);
        handler_.StartCDATA();
        if (!text.empty()) {
            handler_.Characters(text.data(), static_cast<unsigned>(text.size()));
        }
        handler_.EndCDATA();
        inHandler_ = false;
    }

  private:
    // A call of the handler follows, during which the source offset is `at`.
    void enter(std::uint64_t at) {
        inHandler_ = true;
        context_.setOffset(markSeen_ && head_ == 3 ? at - 3 : at);
    }

    CXMLSaxHandler& handler_;
    SaxContext& context_;
    std::uint64_t total_ = 0;  // bytes read
    std::size_t head_ = 0;     // first bytes looked at, up to 3
    bool markSeen_ = false;
    bool inHandler_ = false;
    bool started_ = false;
    std::uint64_t at_ = 0;  // the end of the last tag
    bool dtd_ = false;
    std::uint64_t dtdEnd_ = 0;
    std::string dtdName_;
    std::string dtdPublicId_;
    std::string dtdSystemId_;
    std::string names_;  // the names of the open elements, each zero-terminated
    std::vector<std::size_t> nameStarts_;
    std::vector<CXMLAttribut> attributes_;
    std::vector<CXMLAttribut*> pointers_;
    std::string scratch_;
};

struct DocumentReleaser {
    void operator()(CXMLDocument* document) const noexcept { document->Release(); }
};

void checkOptions(bool validate, bool useNamespaces, const char* schemaLocation,
                  bool loadExternalDtd, bool keepWhitespace) {
    const char* refused = nullptr;
    if (validate) {
        refused = "validation";
    } else if (useNamespaces) {
        refused = "namespace processing";
    } else if (schemaLocation != nullptr) {
        refused = "a schema location";
    } else if (loadExternalDtd) {
        refused = "loading external DTDs";
    } else if (keepWhitespace) {
        refused = "keeping white-space-only text";
    }
    if (refused != nullptr) {
        throw CXMLException(CXMLException::kUsageError, 0,
                            std::string("LoadDocument does not support ") + refused);
    }
}

// Makes the input of one pass, counting into `taken`.
using SourceMaker = std::function<std::unique_ptr<xercesc::InputSource>(std::uint64_t& taken)>;

// One pass of the hardened parse. Failures of the parser become CXMLException; exceptions of the
// handlers (CXMLException, RestartValidating or the caller's own) pass unchanged.
void parsePass(const SourceMaker& makeSource, bool validating, Guard& guard, SaxContext* context) {
    std::uint64_t taken = 0;
    std::unique_ptr<xercesc::InputSource> source = makeSource(taken);
    ByteWatch watch;
    if (auto* stream = dynamic_cast<StreamSource*>(source.get())) {
        stream->watchBytes(&watch);
    }
    guard.beginPass(validating, taken);
    guard.watchDeclaration(&watch);
    ReaderSettings settings;
    settings.validating = validating;
    settings.declarations = true;
    settings.sourceOffsets = context != nullptr;
    HardenedReader hardened(taken, guard, settings);
    xercesc::SAX2XMLReader* reader = &hardened.reader();

    struct Detach {
        SaxContext* context;
        ~Detach() {
            if (context != nullptr) {
                context->attach(nullptr);
            }
        }
    } detach{context};
    if (context != nullptr) {
        context->attach(reader);
    }
    try {
        reader->parse(*source);
        unsigned line = 0;
        unsigned column = 0;
        const std::string passed = watch.problem(line, column);
        if (!passed.empty()) {
            throw CXMLException(CXMLException::kParseError, line,
                                passed + guard.where(line, column));
        }
        guard.parseEnded();
    } catch (const xercesc::SAXParseException& problem) {
        guard.fail(problem);
    } catch (const xercesc::XMLException& problem) {
        throw CXMLException(CXMLException::kParseError, guard.line(),
                            narrow(problem.getMessage()) + guard.where());
    } catch (const xercesc::SAXException& problem) {
        throw CXMLException(CXMLException::kParseError, guard.line(),
                            narrow(problem.getMessage()) + guard.where());
    } catch (const xercesc::OutOfMemoryException&) {
        if (hardened.memoryExceeded()) {
            guard.failAmplification();
        }
        throw std::bad_alloc();
    }
}

void parse(const SourceMaker& makeSource, Guard& guard, SaxContext* context) {
    try {
        try {
            parsePass(makeSource, false, guard, context);
        } catch (const RestartValidating&) {
            parsePass(makeSource, true, guard, context);
        }
    } catch (const xercesc::OutOfMemoryException&) {
        // Xerces-C's memory manager turns a failed allocation into this exception also outside
        // the parse itself (making the input source, the reader and its settings); it must reach
        // the caller as the std::bad_alloc it was, never as a type no caller knows.
        throw std::bad_alloc();
    }
}

}  // namespace
}  // namespace detail

unsigned long long CXMLSaxHandler::GetSourceOffset() {
    return context_ != nullptr ? context_->offset() : 0;
}

CXMLManager::CXMLManager() = default;
CXMLManager::~CXMLManager() = default;

CXMLManager* CXMLManager::GetInstance() {
    // Every Xerces-C object (the parser's input sources and handlers too) needs the library
    // started, so it starts with the manager.
    detail::ensureXerces();
    static CXMLManager instance;
    return &instance;
}

CXMLDocument* CXMLManager::LoadDocument(const char* buffer, unsigned int size, bool validate,
                                        bool useNamespaces, const char* schemaLocation,
                                        bool loadExternalDtd, bool keepWhitespace) {
    detail::checkOptions(validate, useNamespaces, schemaLocation, loadExternalDtd, keepWhitespace);
    if (buffer == nullptr && size > 0) {
        throw CXMLException(CXMLException::kUsageError, 0, "LoadDocument was given a null buffer");
    }
    const char* bytes = buffer != nullptr ? buffer : "";
    std::unique_ptr<CXMLDocument, detail::DocumentReleaser> document(
        CXMLDocument::Impl::newDocument());
    detail::NodeEventBuilder events(*document);
    detail::FastReader reader(events);
    if (reader.read(bytes, size) == detail::FastReader::Outcome::kHandOver) {
        // Nothing was built before the hand-over: the other path reads the whole buffer.
        detail::xercesEvents(bytes, size, events);
    }
    return document.release();
}

namespace detail {

void xercesEvents(const char* buffer, std::size_t size, NodeEvents& events) {
    ensureXerces();
    const char* bytes = buffer != nullptr ? buffer : "";
    EventBuilder builder(events);
    builder.setRescan([bytes, size](Utf8Locator& locator) {
        return locator.feed(bytes, size) || locator.finish();
    });
    parse(
        [bytes, size](std::uint64_t& taken) -> std::unique_ptr<xercesc::InputSource> {
            static const std::u16string systemId = u"memory buffer";
            return std::make_unique<StreamSource>(
                std::make_unique<MemoryStream>(bytes, size, taken), systemId);
        },
        builder, nullptr);
}

void xercesEvents(std::streambuf& input, NodeEvents& events) {
    ensureXerces();
    const std::streampos start = input.pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (start == std::streampos(-1)) {
        throw CXMLException(CXMLException::kUsageError, 0,
                            "the text to read comes from a stream that cannot seek");
    }
    const auto rewind = [&input, start] {
        return input.pubseekpos(start, std::ios_base::in) == start;
    };
    EventBuilder builder(events);
    builder.setRescan([&input, &rewind](Utf8Locator& locator) {
        if (!rewind()) {
            return false;
        }
        std::vector<char> block(kRescanBlock);
        std::streamsize got = 0;
        while ((got = input.sgetn(block.data(), static_cast<std::streamsize>(block.size()))) > 0) {
            if (locator.feed(block.data(), static_cast<std::size_t>(got))) {
                return true;
            }
        }
        return locator.finish();
    });
    parse(
        [&input, &rewind](std::uint64_t& taken) -> std::unique_ptr<xercesc::InputSource> {
            // The same name as for a buffer: the parser's messages do not tell them apart.
            static const std::u16string systemId = u"memory buffer";
            if (!rewind()) {
                throw CXMLException(CXMLException::kUsageError, 0,
                                    "the stream to read cannot seek back to where the text starts");
            }
            return std::make_unique<StreamSource>(std::make_unique<StreambufStream>(input, taken),
                                                  systemId);
        },
        builder, nullptr);
}

void loadEvents(const char* buffer, std::size_t size, NodeEvents& events) {
    FastReader reader(events);
    if (reader.read(buffer != nullptr ? buffer : "", size) == FastReader::Outcome::kHandOver) {
        xercesEvents(buffer, size, events);
    }
}

void loadEvents(std::streambuf& input, NodeEvents& events) {
    if (input.pubseekoff(0, std::ios_base::cur, std::ios_base::in) == std::streampos(-1)) {
        throw CXMLException(CXMLException::kUsageError, 0,
                            "the text to read comes from a stream that cannot seek");
    }
    FastReader reader(events);
    FastReader::Outcome state = FastReader::Outcome::kMore;
    while (state == FastReader::Outcome::kMore) {
        // A buffer that has the rest at hand says how much: a small text then needs no block of
        // the full size.
        const std::streamsize available = input.in_avail();
        const std::size_t wanted = available > 0 && static_cast<std::size_t>(available) < kReadBlock
                                       ? static_cast<std::size_t>(available)
                                       : kReadBlock;
        char* room = reader.room(wanted);
        const std::streamsize got = input.sgetn(room, static_cast<std::streamsize>(wanted));
        const std::size_t taken = got > 0 ? static_cast<std::size_t>(got) : 0;
        const bool last = std::streambuf::traits_type::eq_int_type(
            input.sgetc(), std::streambuf::traits_type::eof());
        state = reader.commit(taken, last);
    }
    if (state == FastReader::Outcome::kHandOver) {
        JoinedInput joined(reader.kept(), input);
        xercesEvents(joined, events);
    }
}

}  // namespace detail

namespace detail {

namespace {

// The Xerces-C path of the SAX file form. The first pass reads `kept` and then the rest of
// `file`; a pass that starts again and the search for invalid UTF-8 open the file anew, which
// only a regular file allows: the bytes of a pipe are gone once read.
void xercesFile(const std::string& fileName, SaxContext& context, InputFile file,
                std::string_view kept) {
    const bool regular = file.isRegular();
    const std::u16string systemId = VelXmlN::detail::toUtf16(fileName);
    context.setRescan([&fileName, regular](Utf8Locator& locator) {
        InputFile again;
        if (!regular || again.open(fileName) != 0) {
            return false;
        }
        std::vector<char> block(kRescanBlock);
        std::size_t got = 0;
        int error = 0;
        while ((got = again.read(block.data(), block.size(), error)) > 0) {
            if (locator.feed(block.data(), got)) {
                return true;
            }
        }
        return error == 0 && locator.finish();
    });
    bool first = true;
    parse(
        [&](std::uint64_t& taken) -> std::unique_ptr<xercesc::InputSource> {
            if (first) {
                first = false;
                return std::make_unique<StreamSource>(
                    std::make_unique<KeptThenFileStream>(kept, file, fileName, taken), systemId);
            }
            if (!regular) {
                throw CXMLException(CXMLException::kFileError, ESPIPE,
                                    "cannot read file '" + fileName +
                                        "' a second time, as its document type declaration "
                                        "needs: " +
                                        VelXmlN::platform::errorText(ESPIPE));
            }
            return std::make_unique<StreamSource>(
                std::make_unique<FileStream>(openFile(fileName), fileName, taken,
                                             FileErrors::Library),
                systemId);
        },
        context, &context);
}

// A document that the fast reader refused after the handler had its first events: the refusal
// the Xerces-C path gives, word for word, which a second, silent parse of the file finds. A pipe
// cannot be read again; there the fast reader's own message stands.
[[noreturn]] void refuseAsXerces(const std::string& fileName, bool regular,
                                 const CXMLException& refusal) {
    if (regular) {
        CXMLSaxHandler silent;
        SaxContext again(silent, fileName);
        xercesFile(fileName, again, openFile(fileName), std::string_view());
    }
    throw CXMLException(refusal.GetCode(), refusal.GetDetail(),
                        std::string(refusal.GetMessageText()) + " of file '" + fileName + "'");
}

}  // namespace

void xercesSaxFile(const std::string& fileName, CXMLSaxHandler& handler) {
    ensureXerces();
    SaxContext context(handler, fileName);
    xercesFile(fileName, context, openFile(fileName), std::string_view());
}

void loadSaxFile(const std::string& fileName, CXMLSaxHandler& handler, std::size_t block) {
    ensureXerces();
    InputFile file = openFile(fileName);
    SaxContext context(handler, fileName);
    SaxDelivery delivery(handler, context);
    FastReader reader(delivery, &delivery, &delivery);
    FastReader::Outcome state = FastReader::Outcome::kMore;
    while (state == FastReader::Outcome::kMore) {
        char* room = reader.room(block);
        const std::size_t got = readFile(file, room, block, fileName);
        delivery.look(room, got);
        try {
            state = reader.commit(got, got == 0);
        } catch (const CXMLException& refusal) {
            if (delivery.inHandler()) {
                throw;
            }
            refuseAsXerces(fileName, file.isRegular(), refusal);
        }
    }
    if (state == FastReader::Outcome::kHandOver) {
        xercesFile(fileName, context, std::move(file), reader.kept());
        return;
    }
    delivery.endDocument();
}

}  // namespace detail

void CXMLManager::LoadDocument(const char* path, CXMLSaxHandler* handler, bool validate,
                               bool useNamespaces, const char* schemaLocation, bool loadExternalDtd,
                               bool keepWhitespace) {
    detail::checkOptions(validate, useNamespaces, schemaLocation, loadExternalDtd, keepWhitespace);
    if (path == nullptr || handler == nullptr) {
        throw CXMLException(CXMLException::kUsageError, 0,
                            "LoadDocument was given a null file path or handler");
    }
    detail::loadSaxFile(path, *handler, detail::kReadBlock);
}

CXMLDocument* CXMLManager::CreateDocument(const char* rootTagName, const char* encoding) {
    if (encoding != nullptr) {
        std::string upper(encoding);
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        if (upper != "UTF-8" && upper != "UTF8") {
            throw CXMLException(CXMLException::kUsageError, 0,
                                "CreateDocument: documents are written as UTF-8, not '" +
                                    std::string(encoding) + "'");
        }
    }
    std::unique_ptr<CXMLDocument, detail::DocumentReleaser> document(
        CXMLDocument::Impl::newDocument());
    if (rootTagName != nullptr) {
        document->CreateRootNode(rootTagName);
    }
    return document.release();
}

}  // namespace kasxmln

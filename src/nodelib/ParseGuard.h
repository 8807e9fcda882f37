// The one hardened set-up of the Xerces-C parser, shared by the node library and Sax2Interface:
// the reader's features and security manager, the entity resolver that never reads anything, and
// the limits (depth, amplification) that make any input safe to parse; and the node library's
// error policy on top.
#ifndef VELXMLN_SRC_NODELIB_PARSEGUARD_H
#define VELXMLN_SRC_NODELIB_PARSEGUARD_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/DeclHandler.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include <VelXmlN/kasxmln.h>

#include "nodelib/ParserInput.h"
#include "nodelib/Utf8Locator.h"

namespace kasxmln {
namespace detail {

/// Narrow text made from the UTF-16 pieces that the parser hands out one after another. A
/// surrogate pair split between two pieces is joined: its first half waits for the next piece.
/// The bytes live in one buffer that keeps its room from one text to the next.
class NarrowText {
  public:
    NarrowText() = default;
    NarrowText(const NarrowText&) = delete;
    NarrowText& operator=(const NarrowText&) = delete;

    void append(const XMLCh* chars, std::size_t count);

    /// Appends a whole text: a first half of a pair at its end has no second one and becomes "?".
    void appendWhole(const XMLCh* chars, std::size_t count) {
        // Names and short values, ASCII mostly, are copied here without a call.
        constexpr std::size_t kShort = 16;
        if (count <= kShort && capacity_ - size_ >= kShort) {
            char* out = buffer_.get() + size_;
            std::size_t i = 0;
            while (i < count && chars[i] < 0x80) {
                out[i] = static_cast<char>(chars[i]);
                ++i;
            }
            if (i == count) {
                size_ += count;
                return;
            }
        }
        appendUnits(chars, count);
    }

    /// Ends the run of pieces: a first half still waiting has no second one and becomes "?".
    void close();

    std::string_view view() const noexcept { return std::string_view(buffer_.get(), size_); }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    bool waiting() const noexcept { return held_ != 0; }

    /// Empties the text (a first half waiting stays); the room beyond `keep` bytes is given back.
    void clear(std::size_t keep = static_cast<std::size_t>(-1)) noexcept;

    /// Empties the text, forgets a first half waiting and gives back all room.
    void reset() noexcept;

  private:
    // Room for `bytes` more bytes at the end; returns where they go.
    char* room(std::size_t bytes);
    void appendUnits(const XMLCh* chars, std::size_t count);

    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    XMLCh held_ = 0;
};

/// The narrow form of a zero-terminated parser string ("" for null).
std::string narrow(const XMLCh* text);

/// Thrown at the end of the document type declaration of a first, non-validating pass when the
/// document has an external DTD subset or parameter entities. The parser then silently skips
/// references to undeclared entities (the unread declarations might hold them), and only a
/// validating pass reports them; the loader starts again with one.
struct RestartValidating {};

/// The handler base of every Xerces-C parse of the library, the node library's loader and
/// Sax2Interface alike: the entity resolver that never reads anything, and the limits (depth,
/// amplification) that make any input safe to parse. A limit that is passed throws CXMLException
/// (kLimitError) from the callback, which ends the parse.
class LimitedHandler : public xercesc::DefaultHandler {
  public:
    /// `fileName` names the input in messages ("" for a memory buffer).
    explicit LimitedHandler(std::string fileName) : fileName_(std::move(fileName)) {}

    void setDocumentLocator(const xercesc::Locator* const locator) override;

    /// Everything a document names outside itself (external DTD subsets, external entities,
    /// schemas) reads as empty: nothing is opened or fetched. With validation on, Xerces-C loads
    /// an external DTD even when told not to (its load-external-DTD feature only applies without
    /// validation), so the resolver is the one dependable stop.
    xercesc::InputSource* resolveEntity(const XMLCh* const publicId,
                                        const XMLCh* const systemId) override;

    /// The amplification bound was passed.
    [[noreturn]] void failAmplification() const;

    /// " at line L, column C" (and " of file '...'") for the current position of the parse.
    std::string where() const;
    std::string where(std::uint64_t line, std::uint64_t column) const;

    /// The current line, 0 before the parse has started.
    unsigned line() const;

  protected:
    /// Starts the count of a pass over the input: `taken` counts the bytes read in it.
    void startPass(const std::uint64_t& taken) noexcept;

    /// Called as each element starts, before anything of it is built, so that a deep document is
    /// refused early and no walk over a loaded tree meets more than kMaxElementDepth levels.
    void enter(const XMLCh* name) {
        if (depth_ == 0) {
            rootStarts();
        }
        if (depth_ == kMaxElementDepth) {
            failDepth(name);
        }
        ++depth_;
    }
    void leave() noexcept { --depth_; }

    /// Counts text handed out (element text and attribute values, in UTF-16 units); beyond
    /// kAmplificationThreshold units it may be at most kMaxAmplification times the bytes read,
    /// the bound that expat puts on entity expansion.
    void deliver(std::size_t units) {
        delivered_ += units;
        if (delivered_ > kAmplificationThreshold && delivered_ / kMaxAmplification > *taken_) {
            failAmplification();
        }
    }

    /// Called as the root element starts, before its depth is counted.
    virtual void rootStarts() {}

  private:
    [[noreturn]] void failDepth(const XMLCh* name) const;

    std::string fileName_;
    const std::uint64_t* taken_ = nullptr;
    const xercesc::Locator* locator_ = nullptr;
    unsigned depth_ = 0;
    std::uint64_t delivered_ = 0;
};

/// How a parse differs between the library's users; everything else is the same for all.
struct ReaderSettings {
    /// Validation where the document declares a grammar (its reports go to the error handler).
    bool validating = false;
    /// Namespace processing: local names and URIs.
    bool namespaces = false;
    /// The handler also receives the lexical events (CDATA, the DTD) and the declarations.
    bool declarations = false;
    /// The reader keeps the source offset, for CXMLSaxHandler::GetSourceOffset.
    bool sourceOffsets = false;
};

/// The one hardened Xerces-C SAX2 reader set-up: the parser's memory bounded (BudgetedMemory),
/// entity expansions counted by a security manager, the feature list that turns off schemas,
/// external DTDs and the parser's own entity resolution, and `handler` as content, error and
/// entity handler. `taken` and `handler` must outlive the object.
class HardenedReader {
  public:
    HardenedReader(const std::uint64_t& taken, LimitedHandler& handler,
                   const ReaderSettings& settings);
    HardenedReader(const HardenedReader&) = delete;
    HardenedReader& operator=(const HardenedReader&) = delete;

    xercesc::SAX2XMLReader& reader() noexcept { return *reader_; }

    /// Whether the parser's memory passed its budget: an OutOfMemoryException of the parse then
    /// means an amplification, not a failing system.
    bool memoryExceeded() const noexcept { return memory_.exceeded(); }

  private:
    // Declared in this order so that the reader goes first.
    BudgetedMemory memory_;
    xercesc::SecurityManager security_;
    std::unique_ptr<xercesc::SAX2XMLReader> reader_;
};

/// The node library's handler base: the limits, and the error policy of its loader (every error
/// is refused, with what the parser says and where).
class Guard : public LimitedHandler {
  public:
    using LimitedHandler::LimitedHandler;

    /// Prepares a pass over the input: `taken` counts the bytes read in it.
    virtual void beginPass(bool validating, const std::uint64_t& taken);

    bool validating() const noexcept { return validating_; }

    /// Called when a pass has read the whole document and nothing in its bytes is refused.
    virtual void parseEnded() {}

    /// Lets the start of the document refuse what `watch` finds in the XML declaration, before
    /// anything else is delivered (the parser has read the first bytes by then).
    void watchDeclaration(const ByteWatch* watch) noexcept { watch_ = watch; }

    void startDocument() override;

    /// Lets fail() read the input again from its start to find an invalid UTF-8 sequence.
    void setRescan(std::function<bool(Utf8Locator&)> rescan) { rescan_ = std::move(rescan); }

    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException& problem) override;
    void fatalError(const xercesc::SAXParseException& problem) override;

    void startDTD(const XMLCh* const name, const XMLCh* const publicId,
                  const XMLCh* const systemId) override;
    void endDTD() override;

    void elementDecl(const XMLCh* const, const XMLCh* const) override {}
    void attributeDecl(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                       const XMLCh* const, const XMLCh* const) override {}
    void internalEntityDecl(const XMLCh* const name, const XMLCh* const) override;
    void externalEntityDecl(const XMLCh* const name, const XMLCh* const,
                            const XMLCh* const) override;

    /// A parse error: what the parser says, and where.
    [[noreturn]] void fail(const xercesc::SAXParseException& problem) const;

  protected:
    /// Hooks for the document type declaration, after the checks of the guard.
    virtual void dtdStarted(const XMLCh* const, const XMLCh* const, const XMLCh* const) {}
    virtual void dtdEnded() {}

    // The parser does not end the type declaration when the external subset is not read.
    void rootStarts() override { restartIfNeeded(); }

  private:
    void restartIfNeeded() const;

    std::function<bool(Utf8Locator&)> rescan_;
    const ByteWatch* watch_ = nullptr;
    bool validating_ = false;
    bool externalSubset_ = false;
    bool parameterEntities_ = false;
};

}  // namespace detail
}  // namespace kasxmln

#endif

// The handler base of the loader: the error policy, the entity resolver that never reads
// anything, and the limits (depth, amplification) that make any input safe to parse.
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

#include <VelXmlN/kasxmln.h>

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

class Guard : public xercesc::DefaultHandler {
  public:
    /// `fileName` names the input in messages ("" for a memory buffer).
    explicit Guard(std::string fileName) : fileName_(std::move(fileName)) {}

    /// Prepares a pass over the input: `taken` counts the bytes read in it.
    virtual void beginPass(bool validating, const std::uint64_t& taken);

    bool validating() const noexcept { return validating_; }

    /// Lets fail() read the input again from its start to find an invalid UTF-8 sequence.
    void setRescan(std::function<bool(Utf8Locator&)> rescan) { rescan_ = std::move(rescan); }

    void setDocumentLocator(const xercesc::Locator* const locator) override;

    /// Everything a document names outside itself (external DTD subsets, external entities)
    /// reads as empty: nothing is opened or fetched.
    xercesc::InputSource* resolveEntity(const XMLCh* const publicId,
                                        const XMLCh* const systemId) override;

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

    /// The amplification bound was passed.
    [[noreturn]] void failAmplification() const;

    /// " at line L, column C" (and " of file '...'") for the current position of the parse.
    std::string where() const;
    std::string where(std::uint64_t line, std::uint64_t column) const;

    /// The current line, 0 before the parse has started.
    unsigned line() const;

  protected:
    /// Called as each element starts, before anything of it is built, so that a deep document is
    /// refused early and no walk over a loaded tree meets more than kMaxElementDepth levels.
    void enter(const XMLCh* name);
    void leave() noexcept { --depth_; }

    /// Counts text handed out; beyond kAmplificationThreshold units it may be at most
    /// kMaxAmplification times the bytes read, the bound that expat puts on entity expansion.
    void deliver(std::size_t units) {
        delivered_ += units;
        if (delivered_ > kAmplificationThreshold && delivered_ / kMaxAmplification > *taken_) {
            failAmplification();
        }
    }

    /// Hooks for the document type declaration, after the checks of the guard.
    virtual void dtdStarted(const XMLCh* const, const XMLCh* const, const XMLCh* const) {}
    virtual void dtdEnded() {}

  private:
    void restartIfNeeded() const;

    std::string fileName_;
    std::function<bool(Utf8Locator&)> rescan_;
    const std::uint64_t* taken_ = nullptr;
    const xercesc::Locator* locator_ = nullptr;
    bool validating_ = false;
    bool externalSubset_ = false;
    bool parameterEntities_ = false;
    unsigned depth_ = 0;
    std::uint64_t delivered_ = 0;
};

}  // namespace detail
}  // namespace kasxmln

#endif

// The node library's own reader for the common document: UTF-8 (or US-ASCII) text, XML 1.0, no
// DOCTYPE or one without an internal subset. It checks every well-formedness rule that applies to
// such documents and hands the document to a NodeEvents receiver with the same node conventions
// and the same errors as the Xerces-C path. What it does not take it hands over, unread, to that
// path.
#ifndef VELXMLN_SRC_NODELIB_FASTREADER_H
#define VELXMLN_SRC_NODELIB_FASTREADER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nodelib/NodeEvents.h"

namespace kasxmln {
namespace detail {

/// A range of bytes of the input, as offsets from its first byte (a byte order mark included).
struct ByteRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

/// Receives where the parts of a document lie in its bytes, each call right before the NodeEvents
/// call that it belongs to. Used for edits that keep the rest of a document byte for byte.
class PositionEvents {
  public:
    virtual ~PositionEvents() = default;

    /// The start tag from "<" to ">" inclusive, and the range of each attribute's value between
    /// its quotes, in document order.
    virtual void startTag(ByteRange tag, const ByteRange* values, std::size_t count) = 0;

    /// A delivered text: from the first byte of its first piece to the end of its last one
    /// (comments, processing instructions and CDATA markup between them included).
    virtual void text(ByteRange text) = 0;

    /// The end tag from "<" to ">" inclusive; for an empty-element tag an empty range at its end.
    virtual void endTag(ByteRange tag) = 0;
};

/// Receives what the SAX form of the loader reports beside the elements, in the pieces in which the
/// Xerces-C path hands them to a CXMLSaxHandler. Offsets count from the first byte of the input
/// (a byte order mark included). Texts are narrow and valid during the call only.
class SaxTextEvents {
  public:
    virtual ~SaxTextEvents() = default;

    /// The document type declaration, before the root starts: its name, and its public and system
    /// literals when it has an external identifier (`external`); `end` is the offset after ">".
    virtual void doctype(std::string_view name, std::string_view publicId,
                         std::string_view systemId, bool external, std::uint64_t end) = 0;

    /// A run of character data of an element, white space included, with references decoded and
    /// line ends normalised. A run ends before each "<" (`at` is its offset) and after the "&"
    /// that starts a reference (`at` is the offset after it); the reference's character begins
    /// the next run.
    virtual void characters(std::string_view text, std::uint64_t at) = 0;

    /// The content of a CDATA section (line ends normalised, possibly empty); `end` is the offset
    /// after its "]]>".
    virtual void cdata(std::string_view text, std::uint64_t end) = 0;
};

/// The reader. One object reads one document: either at once from memory (read) or in blocks
/// (room and commit, or feed), resuming across block ends at any byte. Names and texts reach the
/// receiver in the narrow code page; errors are CXMLException with "what at line L, column C".
class FastReader {
  public:
    /// What became of the input given so far.
    enum class Outcome {
        kMore,      // everything given was taken; give the next block
        kDone,      // the document was read completely
        kHandOver,  // the document is not one this reader takes: see kept()
    };

    /// A reader delivering to `events` (and, when not null, the byte ranges to `positions`). With
    /// `sax` the character data goes to it, in the SAX form's pieces, instead of to
    /// NodeEvents::text, and the document type declaration is reported too.
    explicit FastReader(NodeEvents& events, PositionEvents* positions = nullptr,
                        SaxTextEvents* sax = nullptr);
    ~FastReader();
    FastReader(const FastReader&) = delete;
    FastReader& operator=(const FastReader&) = delete;

    /// Reads a whole document held in memory, without copying it. kHandOver means that nothing
    /// was delivered and the whole buffer belongs to the other path.
    Outcome read(const char* bytes, std::size_t size);

    /// Gives the next `size` bytes of the document; `last` when no more follow. The bytes are
    /// parsed where they are when possible; what a block leaves incomplete is kept.
    Outcome feed(const char* bytes, std::size_t size, bool last);

    /// Room for at least `wanted` more bytes in the reader's own buffer, to be filled by the caller
    /// and announced with commit (the way to read a file or stream without a second copy).
    char* room(std::size_t wanted);

    /// Parses the `size` bytes written at room(); `last` when no more follow.
    Outcome commit(std::size_t size, bool last);

    /// After kHandOver: the bytes given so far, from the document's first byte. The other path
    /// reads them followed by the rest of the input. Nothing has been delivered to the receiver.
    std::string_view kept() const noexcept;

  private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace detail
}  // namespace kasxmln

#endif

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

    /// A reader delivering to `events` (and, when not null, the byte ranges to `positions`).
    explicit FastReader(NodeEvents& events, PositionEvents* positions = nullptr);
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

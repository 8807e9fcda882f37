// The node library's private event path: the hardened parse of the buffer form of LoadDocument,
// with the node conventions already applied, handed to a receiver as events instead of being built
// into a node tree. The reader builds its element tree from them directly, so a document is never
// held as a node tree and an element tree at once.
#ifndef VELXMLN_SRC_NODELIB_NODEEVENTS_H
#define VELXMLN_SRC_NODELIB_NODEEVENTS_H

#include <cstddef>
#include <streambuf>
#include <string>
#include <string_view>

namespace kasxmln {

class CXMLSaxHandler;
namespace detail {

/// One attribute of a starting element, in the narrow code page.
struct NarrowAttribute {
    std::string_view name;
    std::string_view value;
};

/// Receives a document as the loader would build it into nodes: element starts and ends, and text
/// nodes exactly as they would appear in the tree (references decoded, CDATA sections and the text
/// around comments and processing instructions joined, white-space-only text left out). Every
/// string is narrow and valid during the call only; the loader reuses its storage.
class NodeEvents {
  public:
    virtual ~NodeEvents() = default;

    /// A parse starts again from the beginning of the input (see RestartValidating): everything
    /// received so far is void.
    virtual void restart() = 0;

    /// An element starts, with its attributes in document order.
    virtual void startElement(std::string_view name, const NarrowAttribute* attributes,
                              std::size_t count) = 0;

    /// A text node of the open element. `last` is true when the element ends right after it (no
    /// other child follows).
    virtual void text(std::string_view text, bool last) = 0;

    /// The open element ends.
    virtual void endElement() = 0;
};

/// Parses `size` bytes of XML text exactly as CXMLManager::LoadDocument (buffer form) does, with
/// the same settings, limits and errors, and hands the document to `events` instead of building
/// nodes. Exceptions of `events` pass out unchanged and end the parse. The fast reader takes the
/// document when it qualifies; the Xerces-C path (xercesEvents) everything else.
void loadEvents(const char* buffer, std::size_t size, NodeEvents& events);

/// As above, reading the bytes of `input` from its current position to its end in blocks, as the
/// parser asks for them, so that the text is never held in memory as a whole. `input` must be
/// able to seek back to that position: a parse that starts again, and the search for the exact
/// place of invalid UTF-8 in an error message, read it again from there. Where the parse ends,
/// with or without an exception, is unspecified; the caller positions the buffer afterwards.
void loadEvents(std::streambuf& input, NodeEvents& events);

/// loadEvents through the Xerces-C path alone, whatever the document: the reference that the fast
/// reader is held to, and the path it hands over to.
void xercesEvents(const char* buffer, std::size_t size, NodeEvents& events);
void xercesEvents(std::streambuf& input, NodeEvents& events);

/// The SAX file form of CXMLManager::LoadDocument: the fast reader, reading the file once in
/// blocks of `block` bytes, with a hand-over to the Xerces-C path for what it does not take.
void loadSaxFile(const std::string& fileName, CXMLSaxHandler& handler, std::size_t block);

/// The SAX file form through the Xerces-C path alone: the reference that the fast reader's SAX
/// events are held to.
void xercesSaxFile(const std::string& fileName, CXMLSaxHandler& handler);

}  // namespace detail
}  // namespace kasxmln

#endif

// Reading XML text into element trees and writing element trees as XML text, both without a
// node-library tree in between.
#ifndef VELXMLN_SRC_DOCUMENT_CONVERSION_H
#define VELXMLN_SRC_DOCUMENT_CONVERSION_H

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/EncodeSkip.h>

namespace VelXmlN {
namespace detail {

/// Tree::putToStream for a tree with a root: writes the document that the writer's node-library
/// document would save (prologue, the root as a library node, XmlNode elements and, with a
/// non-zero `encodeSkip`, XmlTextNode texts below it), byte for byte, without building it.
/// Throws what building and saving it would throw, at the same point: before anything is written
/// CXMLException (kLimitError) for an element deeper than kasxmln::kMaxElementDepth and
/// (kCharacterError) for a name or text holding a zero byte, which the node library's
/// zero-terminated strings could not carry; while writing, (kNameError) for an invalid name and
/// (kCharacterError) for a control character, after what came before it.
void writeDocument(std::ostream& out, const Data& root, EncodeSkip encodeSkip);

/// Throws CXMLException (kCharacterError) when `text` holds a zero byte.
void checkNoZeroByte(const std::string& text);

/// Parses `size` bytes of XML text as CXMLManager::LoadDocument does (same settings, limits and
/// errors) and returns the element tree that the node conversion makes of the loaded document: the
/// name and the attributes are taken over; an only text child becomes the value (trimmed of
/// spaces); other text children become nameless children (unchanged); other children become child
/// elements, filled the same way. No node tree is built: the elements are made from the parser's
/// events as they come. Nothing of the tree is left when an exception passes out.
std::unique_ptr<Data> readElements(const char* bytes, std::size_t size);

/// The element tree of the document that `in` holds from its current position to its end (see
/// readElements); null when there is nothing left to read. Afterwards the stream's buffer is at
/// its end, also when an exception passes out; its state flags are not changed. A buffer that
/// can seek is parsed in blocks straight from it; any other is first read whole into memory
/// (readRest). Throws CXMLException (kLimitError) for a text longer than UINT_MAX bytes.
std::unique_ptr<Data> readDocument(std::istream& in);

/// Every byte of `in` from its current position to its end, read through its stream buffer in
/// large blocks (no white space skipped, no character conversion). The stream's state flags are
/// not changed.
std::string readRest(std::istream& in);

}  // namespace detail
}  // namespace VelXmlN

#endif

// The two conversions between element trees and node-library trees.
#ifndef VELXMLN_SRC_DOCUMENT_CONVERSION_H
#define VELXMLN_SRC_DOCUMENT_CONVERSION_H

#include <iosfwd>
#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/EncodeSkip.h>
#include <VelXmlN/kasxmln.h>

namespace VelXmlN {
namespace detail {

/// The writer's element conversion: sets the attributes of `element` on `node` (through its
/// virtual SetAttribute), adds its value as the first text child, then each child in order: a
/// nameless child as a text, any other as an XmlNode filled the same way. `depth` is the level
/// of `element` (the root is 1). Throws CXMLException (kLimitError) for an element deeper than
/// kasxmln::kMaxElementDepth and (kCharacterError) for a name or text holding a zero byte, which
/// the node library's zero-terminated strings could not carry.
void convertElement(kasxmln::CXMLNode& node, const Data& element, EncodeSkip encodeSkip,
                    unsigned depth);

/// Throws CXMLException (kCharacterError) when `text` holds a zero byte.
void checkNoZeroByte(const std::string& text);

/// The reader's node conversion: fills `target` from `source` and its subtree. The name and the
/// attributes are taken over; an only text child becomes the value (trimmed of spaces); other
/// text children become nameless children (unchanged); other children become child elements,
/// filled the same way. The walk uses no recursion.
void convertNode(Data* target, kasxmln::CXMLNode* source);

/// As convertNode, destroying each child node of `source` as soon as its subtree is converted
/// (and taking its strings over instead of copying them), so that the node tree shrinks while
/// the element tree grows. `source` itself stays, with its child array emptied of the destroyed
/// nodes (their slots are null).
void convertNodeReleasing(Data& target, kasxmln::CXMLNode& source);

/// Every byte of `in` from its current position to its end, read through its stream buffer in
/// large blocks (no white space skipped, no character conversion). The stream's state flags are
/// not changed.
std::string readRest(std::istream& in);

}  // namespace detail
}  // namespace VelXmlN

#endif

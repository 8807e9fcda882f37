// The element and text layout shared by the node library's own saves and the writer's output
// nodes, so that a whole document follows one set of rules.
#ifndef VELXMLN_SRC_NODELIB_NODESAVE_H
#define VELXMLN_SRC_NODELIB_NODESAVE_H

#include <cstddef>
#include <iosfwd>

#include <VelXmlN/kasxmln.h>

#include "nodelib/XmlCharacters.h"

namespace kasxmln {
namespace detail {

/// Writes `node` as an element: "<" and the tag name, each attribute of GetAttributes and then
/// each of the `extraCount` records of `extra` as ` name="value"`, then "/>" without children or
/// ">", the children and "</name>". With `formatted`, every child up to the first one of type 1
/// or 2 is preceded by CR LF and `indent` plus a tab, and when no such child came, the end tag is
/// preceded by CR LF and `indent`. Names are checked first (CXMLException kNameError); every
/// piece is escaped with all three optional escapes on.
void saveElement(CXMLNode& node, std::ostream& stream, bool formatted, const char* indent,
                 CXMLAttribut* const* extra, std::size_t extraCount);

/// Writes `text` escaped as `escapes` says, without line break or indentation.
void saveText(std::ostream& stream, const char* text, Escapes escapes);

}  // namespace detail
}  // namespace kasxmln

#endif

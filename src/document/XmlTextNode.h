// The writer's text node for texts below the root when the encode skip is not 0.
#ifndef VELXMLN_SRC_DOCUMENT_XMLTEXTNODE_H
#define VELXMLN_SRC_DOCUMENT_XMLTEXTNODE_H

#include <iosfwd>

#include <VelXmlN/EncodeSkip.h>
#include <VelXmlN/kasxmln.h>

namespace VelXmlN {

/// A text node that writes its text escaped as the encode skip says: "&", "'" and '"' stay
/// unescaped when their bit is included; "<" and ">" are always escaped. No line break, no
/// indentation.
class XmlTextNode : public kasxmln::CXMLTextNode {
  public:
    /// A text node holding a copy of `text`, with the given parent link (not linked into the
    /// parent), node type and encode skip (never 0).
    XmlTextNode(const char* text, kasxmln::CXMLNode* parent, NodeType nodeType,
                EncodeSkip encodeSkip);
    ~XmlTextNode() override;

    /// The escaped UTF-8 text; with encode skip 0 the library's own text save.
    void Save(std::ostream& stream, bool formatted, char* indent) override;

    /// The node type taken from the text node this one replaced.
    NodeType GetNodeType() override;

  private:
    NodeType nodeType;
    EncodeSkip encodeSkip;
};

}  // namespace VelXmlN

#endif

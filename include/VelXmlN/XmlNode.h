#ifndef VELXMLN_XMLNODE_H
#define VELXMLN_XMLNODE_H

#include <iosfwd>
#include <vector>

#include <VelXmlN/EncodeSkip.h>
#include <VelXmlN/Export.h>
#include <VelXmlN/kasxmln.h>

namespace VelXmlN {

/// The writer's element node: a node-library element that also keeps its empty-valued attributes
/// (the library drops them) and writes itself with the writer's layout. Tree::putToStream makes
/// one for every element below the root; it is public so that callers can build node trees the
/// same way.
class VELXMLN_API XmlNode : public kasxmln::CXMLNode {
  public:
    /// Creates an element child named `tagName` of `parent` (before `ref`, or at the end) and
    /// puts an XmlNode with encode skip `encodeSkip` in its place. Returns the XmlNode, owned by
    /// `parent`; null when the parent refuses the child.
    static XmlNode* insertChild(kasxmln::CXMLNode* parent, const char* tagName,
                                kasxmln::CXMLNode* ref, EncodeSkip encodeSkip);

    /// Copies the node-library part (tag name, parent link, attributes; not the children), the
    /// node type, the encode skip and the empty-valued attributes as new records.
    XmlNode(const XmlNode& other);
    XmlNode& operator=(const XmlNode& other);

    /// Destroys the empty-valued attributes, then the node-library part with the subtree.
    ~XmlNode() override;

    /// Sets the attribute through the node library. An empty value is also kept by this node
    /// (each such call appends one record, written after the other attributes as name=""); a
    /// non-empty value removes the first kept empty record of that name.
    void SetAttribute(const char* name, const char* value) override;

  protected:
    /// A node with the tag name, parent link and node type of `source` (which is not changed),
    /// the given encode skip and no kept attributes.
    XmlNode(kasxmln::CXMLNode* source, EncodeSkip encodeSkip);

    /// Writes "<name", the attributes and then the kept empty-valued ones, and "/>" without
    /// children; otherwise ">", the children and "</name>". With `formatted`, each child up to the
    /// first text child starts on a new line (CR LF) indented by `indent` plus one tab, and when
    /// no text child came, the end tag starts on a new line indented by `indent`. Names are
    /// checked before they are written: an invalid one throws CXMLException (3, 6, name); a
    /// control character throws CXMLException (5, 10, text).
    void Save(std::ostream& stream, bool formatted, char* indent) override;

    /// Appends a text child: the library's text node with encode skip 0, otherwise a text node
    /// that writes the text with this node's encode skip. Returns it, owned by this node.
    kasxmln::CXMLTextNode* CreateTextChild(const char* text) override;

    /// The node type taken from the node this one replaced.
    NodeType GetNodeType() override;

  private:
    NodeType nodeType;
    std::vector<kasxmln::CXMLAttribut*> emptyAttributes;
    EncodeSkip encodeSkip;
};

}  // namespace VelXmlN

#endif

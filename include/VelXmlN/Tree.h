#ifndef VELXMLN_TREE_H
#define VELXMLN_TREE_H

#include <iosfwd>
#include <memory>
#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/EncodeSkip.h>
#include <VelXmlN/Export.h>

namespace VelXmlN {

class XPathNavigator;

/// A document: an owned root element (or none), a borrowed current node for step-by-step
/// building with open and close, and the EncodeSkip setting used when the document is written.
///
/// Reading replaces the root with the document read; writing produces indented, escaped UTF-8
/// with CR LF line ends. Operations on a missing root or current node do nothing or return null
/// or "". Operations that destroy the root (buildOfStream, copyFrom, createRoot) clear the current
/// node when it lay in the destroyed tree, so that it never points into freed memory.
class VELXMLN_API Tree {
  public:
    /// An empty document: no root, no current node, encode skip 0.
    Tree();

    /// A document whose root is a new element with that name; no current node.
    explicit Tree(const std::string& name);

    /// An empty document, then buildOfStream(in). Throws as buildOfStream does.
    explicit Tree(std::istream& in);

    /// A tree owns its root; copy a document with copyFrom.
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    /// Destroys the root and its whole subtree.
    virtual ~Tree();

    /// Reads the rest of `in` (from its current position, through its stream buffer, no
    /// character conversion) and replaces the root with the document read. Attributes become
    /// attributes; an element's only text becomes its value, trimmed of spaces; texts beside
    /// child elements become nameless children, unchanged. An empty rest changes nothing. A
    /// document that cannot be read throws kasxmln::CXMLException (what and where) and the tree
    /// keeps the root it had. Documents nested deeper than kasxmln::kMaxElementDepth are refused.
    /// Afterwards, also after an exception, the stream's buffer is at its end; the stream's state
    /// flags are not changed. A stream buffer that can seek (files, string streams) is parsed in
    /// blocks straight from it, so the text is never held in memory as a whole; any other is
    /// read into memory first.
    void buildOfStream(std::istream& in);

    /// Writes the document as UTF-8 XML: <?xml version="1.0" encoding="UTF-8"?>, CR LF, the root
    /// element with one tab of indentation per level, and a final CR LF. Without a root nothing is
    /// written. An invalid element or attribute name throws kasxmln::CXMLException (3, 6, name),
    /// and so does a nameless element (written as a piece of text) that has attributes or
    /// children (3, 6, ""); a control character other than tab, line feed and carriage return,
    /// U+FFFE or U+FFFF (5, 10, text), a tree deeper than kasxmln::kMaxElementDepth
    /// (CXMLException::kLimitError) before anything is written. What was written before a failure
    /// stays in the stream; the tree is not changed. The tree is checked before anything is
    /// written; the text then reaches the stream in blocks of 64 KiB.
    void putToStream(std::ostream& out) const;

    /// The mode to open output files for putToStream with: std::ios_base::out | binary, so that an
    /// existing file is truncated and line ends are written as "\r\n" unchanged.
    static int getOFStreamOpenMode();

    /// Makes this document a copy of `other` through its text: other.putToStream into memory,
    /// then buildOfStream. Values come back as text reads them (a lone text value trimmed, flags
    /// and pointers at their defaults). The encode skip is kept; the current node is kept unless
    /// it lay in the replaced root. When `other` has no root nothing changes. Exceptions of the
    /// writer or the reader pass out and leave this document as it was.
    void copyFrom(const Tree& other);

    /// Stores the encode skip for later writes.
    void setEncodeSkip(EncodeSkip value) noexcept { encodeSkip = value; }

    /// The encode skip used by putToStream (0 unless set).
    EncodeSkip getEncodeSkip() const noexcept { return encodeSkip; }

    /// Accepts an indent text and ignores it: the writer always indents with tabs.
    void setIndent(const std::string& indent);

    /// A navigator bound to the current root, for building and selecting XPath strings.
    std::unique_ptr<XPathNavigator> createNavigator();

    /// The root element (owned by the tree); null when the document is empty.
    Data* getRoot() const noexcept { return root; }

    /// The current node (borrowed); null when there is none.
    Data* getCurrentNode() noexcept { return currentNode; }
    const Data* getCurrentNode() const noexcept { return currentNode; }

    /// Takes over `newRoot` as the root. The previous root is not destroyed: it passes to the
    /// caller. The current node is not changed.
    void setRoot(Data* newRoot) noexcept { root = newRoot; }

    /// Destroys the previous root, makes a new root element with that name and returns it.
    Data* createRoot(const std::string& name);

    /// Stores the current node (null allowed).
    void setCurrentNode(Data* node) noexcept { currentNode = node; }

    /// Data::findTree(name, recursive) on the root; null without a root.
    Data* findRoot(const std::string& name, bool recursive) const;

    /// Moves the current node one level down and returns it. Without a current node, the root
    /// becomes current (a new root of that name when there is none); if the root has that name it
    /// is returned. Otherwise the current node's first child of that name, or a new child
    /// appended when there is none or `forceNew` is true, becomes current.
    Data* open(const std::string& name, bool forceNew);

    /// Moves the current node to its parent (none at the root); without a current node, to the
    /// root.
    void close();

    // The forwarders below do nothing, or return null, when the element they reach is missing.

    /// Renames the root.
    void setName(const std::string& name);

    /// The root's name; "" without a root.
    std::string getName() const;

    /// Data::setData(value, format) on the current node.
    void setValue(double value, const char* format);

    /// Data::setAttribute(name, value) on the current node.
    void setAttribute(const std::string& name, double value);

    /// Data::setAttribute(name, value, format) on the current node.
    void setAttribute(const std::string& name, double value, const char* format);

    /// Data::remove(name) on the current node.
    void remove(const std::string& name);

    /// Data::findAttribute(name) on the current node; null without a current node.
    AttributeData* findAttribute(const std::string& name);

    /// Data::flush on the current node.
    void flush();

    /// Data::flush on the root.
    void flushRoot();

  private:
    /// Destroys the root; clears the current node when it lay in it.
    void destroyRoot() noexcept;

    Data* root;
    Data* currentNode;
    EncodeSkip encodeSkip;
};

}  // namespace VelXmlN

#endif

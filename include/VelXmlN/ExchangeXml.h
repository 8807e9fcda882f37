#ifndef VELXMLN_EXCHANGEXML_H
#define VELXMLN_EXCHANGEXML_H

#include <string>

#include <VelXmlN/Export.h>
#include <VelXmlN/Tree.h>

namespace VelXmlN {

/// Owns at most one document and builds it by nesting: open an element, close it, empty the
/// current element. Derived classes reach the document through getTree and setTree.
class VELXMLN_API ExchangeXml {
  public:
    /// No document.
    ExchangeXml();

    /// A document whose root is a new element named `rootName`; no document for an empty name.
    explicit ExchangeXml(const std::string& rootName);

    /// A copy: a new document made from `other`'s through its text (Tree::copyFrom), with the
    /// same encode skip and no current node; no document when `other` has none. Each object owns
    /// its own document, so none is ever destroyed twice.
    ExchangeXml(const ExchangeXml& other);

    /// Replaces this object's document by a copy of `other`'s, made as by the copy constructor;
    /// the former document is destroyed. Assigning an object to itself changes nothing. When the
    /// copy throws (kasxmln::CXMLException for a document that cannot be written and read back),
    /// this object keeps its document. Returns this object.
    ExchangeXml& operator=(const ExchangeXml& other);

    /// Destroys the document, if any.
    ~ExchangeXml();

    /// With a document, Tree::open(name, false): the current node moves to the first child of
    /// that name, created when missing (the root itself on first use).
    void open(const std::string& name);

    /// With a document, Tree::close: the current node moves to its parent, or to the root when
    /// there is no current node.
    void close();

    /// With a document that has a current node, destroys that element's attributes and children.
    void flush();

  protected:
    /// The document (owned by this object); null when there is none.
    Tree* getTree() const noexcept { return tree; }

    /// Takes over `newTree`; the previous document is not destroyed and passes to the caller.
    void setTree(Tree* newTree) noexcept { tree = newTree; }

  private:
    void init() const {}

    Tree* tree;
};

}  // namespace VelXmlN

#endif

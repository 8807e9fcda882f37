#ifndef VELXMLN_XPATHNAVIGATOR_H
#define VELXMLN_XPATHNAVIGATOR_H

#include <cstddef>
#include <string>
#include <vector>

#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>

namespace VelXmlN {

class Tree;

/// Turns an element into a path string and a path string back into the elements it names.
///
/// The paths understood are a small subset of XPath: element names separated by "/", at most one
/// attribute predicate per step ("item[@id='2']"), and a descendant search introduced by a
/// leading "//". A navigator is bound to one start element and borrows it: it never owns, edits
/// or frees any element, and no operation changes the navigator or the tree.
///
/// Selecting walks the tree without recursion, so trees of any depth are safe.
class VELXMLN_API XPathNavigator {
  public:
    /// A navigator whose start element is the tree's root element at this moment; a later change
    /// of the root does not move it. A null tree, or a tree without a root, gives a navigator
    /// without a start element.
    explicit XPathNavigator(Tree const* tree);

    /// A navigator whose start element is `element` (borrowed). A null element gives a navigator
    /// without a start element, on which every select returns an empty list.
    explicit XPathNavigator(Data* element) noexcept : contextElement(element) {}

    /// A navigator without a start element; spares callers a cast when they pass a plain null.
    explicit XPathNavigator(std::nullptr_t) noexcept : contextElement(nullptr) {}

    /// Copies and moves copy the start element pointer; a moved-from navigator keeps it too.
    XPathNavigator(const XPathNavigator&) = default;
    XPathNavigator(XPathNavigator&&) = default;
    XPathNavigator& operator=(const XPathNavigator&) = default;
    XPathNavigator& operator=(XPathNavigator&&) = default;
    ~XPathNavigator() = default;

    /// The start element every select is evaluated from; null when there is none.
    Data* getContextElement() const noexcept { return contextElement; }

    /// The plain path of `element`: "/" followed by the names from the topmost ancestor (the one
    /// without a parent) down to `element`, joined by "/", as stored and without escaping, so an
    /// element "c" below "b" below "a" gives "/a/b/c". Same-named siblings get the same path.
    static std::string makeXPath(Data const& element);

    /// The same as makeXPath(*element); an empty text when `element` is null.
    std::string buildXPath(Data const* element) const;

    /// As makeXPath, with a predicate "[@name='value']" after every step whose element carries an
    /// attribute `attributeName` (its first one of that name, value inserted verbatim); steps of
    /// elements without it stay bare. An empty text when `element` is null.
    std::string buildXPath(Data const* element, std::string const& attributeName) const;

    /// The elements that `path` names, evaluated from the start element; an empty list when the
    /// navigator has none or nothing matches. The pointers are borrowed from the tree.
    ///
    /// The steps are the non-empty pieces between "/" characters, so runs of "/" and a leading or
    /// trailing "/" add none; with no steps at all the result is the start element alone. A "/"
    /// inside a quoted predicate value belongs to the value ("type[@name='text/plain']" is one
    /// step), so every path buildXPath makes selects its element again unless a name holds "/" or
    /// a value holds "'".
    ///
    /// Child form (the path does not begin with "//"): the first step is matched against the start
    /// element itself, each further step against the children of the elements matched so far. A
    /// step is a name, optionally followed by "[@attribute='value']"; an element matches when its
    /// name equals the name and, if the predicate has a non-empty attribute name and value, its
    /// first attribute of that name holds exactly that text. What follows the closing "'" is not
    /// read, so a second predicate is ignored, and "[@id='']" matches every element of the name.
    /// A predicate that lacks the "@", the "=" or either "'" is malformed and matches no element.
    /// The result is in document order and holds no element twice.
    ///
    /// Descendant form (the path begins with "//"): each step searches the whole subtree of every
    /// element found so far, that element included, in pre-order, for elements whose name equals
    /// the whole step text (predicates are not interpreted). When found elements lie inside one
    /// another, what lies below both is listed once for each of them, in the order of the list.
    std::vector<Data*> select(std::string const& path) const;

  private:
    Data* contextElement;
};

}  // namespace VelXmlN

#endif

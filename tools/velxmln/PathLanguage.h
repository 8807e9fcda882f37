// The command's own path language: the library's XPath subset, plus positions, double quotes and
// predicates that ask for an empty value. Every path the command prints is written in it and
// selects exactly the element it was printed for.
#ifndef VELXMLN_TOOLS_PATHLANGUAGE_H
#define VELXMLN_TOOLS_PATHLANGUAGE_H

#include <VelXmlN/Data.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace velxmlncli {

/// One step of a parsed path: an element name, an optional attribute predicate and an optional
/// position.
struct PathStep {
    std::string name;
    bool hasPredicate = false;
    std::string attribute;     ///< the predicate's attribute name (never empty when hasPredicate)
    std::string value;         ///< the value the attribute must hold exactly (may be empty)
    std::size_t position = 0;  ///< 1-based among the siblings matching name and predicate; 0: all
};

/// A parsed path. In the child form the first step names the start element itself and each
/// further step its children; in the descendant form ("//a/b") each step searches the whole
/// subtree of every element found so far, that element included.
struct CommandPath {
    std::vector<PathStep> steps;  ///< never empty
    bool descendant = false;
};

/// Parses `text`:
///
///     path      = ["/"] step ("/" step)* ["/"]  |  "//" step ("/" step)*
///     step      = name ["[@" attribute "=" quoted "]"] ["[" n "]"]
///     quoted    = "'" text without "'" "'"  |  '"' text without '"' '"'
///
/// A "/" inside a quoted value belongs to the value. `[@a='']` asks for an attribute `a` with an
/// empty value; `[n]` (from 1) picks the n-th of the siblings that match the step's name and
/// predicate. Throws CommandError "invalid XPath 'TEXT': PROBLEM at column N" for anything else.
CommandPath parseCommandPath(const std::string& text);

/// The elements that `path` selects below and including `root`, in document order, each once.
/// Nameless records (text pieces of mixed content) are never selected. The pointers are borrowed.
std::vector<VelXmlN::Data*> selectElements(const CommandPath& path, VelXmlN::Data& root);

/// Writes paths that select exactly one element: names from the topmost element down, each step
/// with its position when more than one sibling matches it. With an attribute name, every step
/// whose element carries that attribute gets the predicate "[@NAME='value']" (double quotes when
/// the value holds "'"; none when it holds both quotes). The positions of one parent's children
/// are worked out together, once, so naming many elements of a wide tree stays linear. The
/// elements must outlive the namer and stay unchanged while it is used.
class UniquePathNamer {
  public:
    /// A namer of plain paths (names and positions).
    UniquePathNamer() = default;

    /// A namer that writes the predicate for `attributeName`; empty: plain paths.
    explicit UniquePathNamer(std::string attributeName);

    /// Makes paths start below `top` instead of at the topmost element: the children of `top`
    /// give the first steps. For a tree placed below a helper element.
    void startBelow(const VelXmlN::Data* top) { top_ = top; }

    /// The path of `element`, which must have a name, as must its ancestors.
    std::string pathOf(const VelXmlN::Data& element);

    /// The step of `element` below its parent ("line[2]"); without a parent, its bare name (or
    /// name and predicate).
    const std::string& stepOf(const VelXmlN::Data& element);

  private:
    void nameChildren(const VelXmlN::Data& parent);
    std::string predicateOf(const VelXmlN::Data& element) const;

    std::string attributeName_;
    const VelXmlN::Data* top_ = nullptr;
    std::unordered_map<const VelXmlN::Data*, std::string> steps_;
};

/// A path that selects exactly `element` (plain names and positions), from its topmost ancestor.
std::string uniquePath(const VelXmlN::Data& element);

}  // namespace velxmlncli

#endif

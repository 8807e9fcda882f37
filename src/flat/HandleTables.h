// The tree and tag tables behind the handle functions: numbered documents and numbered elements.
#ifndef VELXMLN_SRC_FLAT_HANDLETABLES_H
#define VELXMLN_SRC_FLAT_HANDLETABLES_H

#include <VelXmlN/Data.h>
#include <VelXmlN/Tree.h>

#include <cstddef>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace VelXmlN {
namespace detail {

/// Documents by tree handle and elements by tag handle, both numbered from 1 up (-1 is "none").
///
/// The tables own their documents and every root a document lost to createRootTag; elements are
/// borrowed from them. Tag handles are never removed or reused: an element's entry is cleared when
/// the element is destroyed through the tables (deleteChild, deleteTree, a root replaced by
/// readTree), and a cleared handle stays invalid. To make that possible every tag entry records
/// the tree it was given out in, and each tree counts its live tag handles; destroying a subtree
/// first walks it and clears the entries of the elements in it (found through a hash index from
/// element to handle), stopping as soon as the tree has no live handle left. That costs time
/// linear in the destroyed subtree, like the destruction itself, and means the index never holds
/// the address of a freed element, so a new element at the same address never inherits a stale
/// handle. The same index makes tagHandleOf constant-time on average.
///
/// Not thread-safe. Not copyable.
class HandleTables {
  public:
    HandleTables() = default;

    /// Destroys every document still registered.
    ~HandleTables();

    HandleTables(const HandleTables&) = delete;
    HandleTables& operator=(const HandleTables&) = delete;

    /// The handle of the document registered under `name`; registers a new empty document when
    /// there is none. The new handle is the number of registered documents plus one, unless a
    /// live document holds that number (possible after a deletion), in which case it is one
    /// above the highest handle in use, or the lowest free number once that would overflow.
    int getTree(const std::string& name);

    /// The document of a tree handle; null when the handle is invalid.
    Tree* tree(int handle) const;

    /// Destroys the document, its elements and its detached roots, clears their tag handles and
    /// removes the tree handle. Returns false, doing nothing, for an invalid handle.
    bool deleteTree(int handle);

    /// Reads `in` into the document (Tree::buildOfStream). When a document was read the old root
    /// is destroyed after its tag handles were cleared; otherwise, also when reading throws,
    /// the document and its handles stay as they were. Returns false for an invalid handle.
    bool readTree(int handle, std::istream& in);

    /// Makes a new element `name` the root of the document and returns its new tag handle; the
    /// previous root is kept, detached, with its handles working, until the tree is deleted.
    /// -1 for an invalid handle.
    int createRootTag(int handle, const std::string& name);

    /// The tag handle of the document's root, registering it when it has none; -1 for an invalid
    /// handle or a document without root.
    int rootTag(int handle);

    /// The number of registered documents.
    std::size_t treeCount() const noexcept { return trees_.size(); }

    /// The element of a tag handle; null when the handle is invalid.
    Data* element(int tag) const noexcept;

    /// The handle of `element`: the existing one, else a new one. `owner` is a valid tag handle of
    /// the same document (the element's parent, usually), which tells the document the element
    /// belongs to. -1 for a null element.
    int tagHandleOf(Data* element, int owner);

    /// Appends a new child `name` to the element of `tag` and returns the child's new handle; -1
    /// for an invalid handle.
    int addChild(int tag, const std::string& name);

    /// Destroys the first child named `name` of the element of `tag`, clearing the tag handles of
    /// its whole subtree. Returns false when the handle is invalid or there is no such child.
    bool deleteChild(int tag, const std::string& name);

    /// The number of tag handles ever given out (cleared ones included).
    std::size_t tagCount() const noexcept { return tags_.size(); }

    /// The number of tag handles that still name an element.
    std::size_t liveTagCount() const noexcept { return index_.size(); }

    /// Empties both tables without destroying the documents in them, for a library being
    /// unloaded: whatever the caller did not delete is left to the process's end.
    void abandonDocuments() noexcept;

  private:
    struct TreeEntry {
        std::string name;
        std::unique_ptr<Tree> document;
        // Roots the document lost to createRootTag, destroyed with it.
        std::vector<std::unique_ptr<Data>> detachedRoots;
        std::size_t liveTags = 0;
    };

    struct TagEntry {
        Data* element;
        int tree;
    };

    TreeEntry* treeEntry(int handle);
    int nextTreeHandle() const;
    int registerTag(Data* element, int tree);
    void clearSubtree(const Data* top, TreeEntry& owner);

    std::map<int, TreeEntry> trees_;
    std::unordered_map<std::string, int> treesByName_;
    std::vector<TagEntry> tags_;
    std::unordered_map<const Data*, int> index_;
};

}  // namespace detail
}  // namespace VelXmlN

#endif

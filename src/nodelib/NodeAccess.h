// Direct access to the node library's storage for the loader, the writer and the reader: making
// nodes in a tree's memory, linking whole child arrays at once, and moving strings out of nodes
// that are about to be destroyed instead of copying them.
#ifndef VELXMLN_SRC_NODELIB_NODEACCESS_H
#define VELXMLN_SRC_NODELIB_NODEACCESS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>
#include <utility>

#include <VelXmlN/kasxmln.h>

#include "nodelib/NodeArena.h"

namespace kasxmln {
namespace detail {

struct NodeAccess {
    // ---- Documents -----------------------------------------------------------------------------

    static CXMLDocument* newDocument() { return new CXMLDocument(); }
    static NodeArena* arenaOf(const CXMLDocument& document) noexcept { return document.arena_; }
    static void setRoot(CXMLDocument& document, CXMLNode* root) noexcept { document.root_ = root; }

    // ---- Making objects ------------------------------------------------------------------------

    /// The arena in which the children of `node` are made (null: the heap).
    static NodeArena* arenaOf(const CXMLNode& node) noexcept { return node.arena_; }

    /// Makes `node`, just made in `arena`, make its own children and attributes there too.
    static void adoptArena(CXMLNode& node, NodeArena* arena) noexcept {
        if (arena != nullptr) {
            arena->retain();
        }
        if (node.arena_ != nullptr) {
            node.arena_->drop();
        }
        node.arena_ = arena;
    }

    /// A library element taking over `tagName`, made in `arena`; not linked into the parent.
    static std::unique_ptr<CXMLNode> newElement(NodeArena* arena, std::string&& tagName,
                                                CXMLNode* parent) {
        std::unique_ptr<CXMLNode> node(new (arena) CXMLNode(nullptr, parent));
        node->tagName_ = std::move(tagName);
        adoptArena(*node, arena);
        return node;
    }

    /// A library text node taking over `text`, made in `arena`; not linked into the parent.
    static std::unique_ptr<CXMLTextNode> newText(NodeArena* arena, std::string&& text,
                                                 CXMLNode* parent) {
        std::unique_ptr<CXMLTextNode> node(new (arena) CXMLTextNode(nullptr, parent));
        node->tagName_ = std::move(text);
        adoptArena(*node, arena);
        return node;
    }

    static std::unique_ptr<CXMLAttribut> newAttribute(NodeArena* arena, std::string&& name,
                                                      std::string&& value) {
        return std::unique_ptr<CXMLAttribut>(new (arena)
                                                 CXMLAttribut(std::move(name), std::move(value)));
    }

    // ---- Arrays --------------------------------------------------------------------------------

    /// Gives `node`, which has no children yet, exactly these `count` children (taking them
    /// over). On an allocation failure nothing changes and the caller still owns them.
    static void setChildren(CXMLNode& node, CXMLNode* const* children, std::size_t count) {
        setArray(node, node.children_, children, count);
    }

    /// As setChildren, for the attributes.
    static void setAttributes(CXMLNode& node, CXMLAttribut* const* attributes, std::size_t count) {
        setArray(node, node.attributes_, attributes, count);
    }

    /// Appends `child`, which `parent` takes over. On an allocation failure nothing changes.
    static void appendChild(CXMLNode& parent, CXMLNode* child) {
        append(parent, parent.children_, child);
    }

    static void appendAttribute(CXMLNode& node, CXMLAttribut* attribute) {
        append(node, node.attributes_, attribute);
    }

    /// The slot of `child` among the children of `parent`, searched from the end (a child just
    /// appended is found at once); null when it is not there.
    static CXMLNode** findChildSlot(CXMLNode& parent, const CXMLNode* child) {
        CXMLNode** children = parent.GetChildren();
        // The library's own array (not replaced by a derived class) knows its length.
        if (children == parent.children_.items) {
            for (std::size_t i = parent.children_.count; i-- > 0;) {
                if (children[i] == child) {
                    return children + i;
                }
            }
            return nullptr;
        }
        for (CXMLNode** slot = children; *slot != nullptr; ++slot) {
            if (*slot == child) {
                return slot;
            }
        }
        return nullptr;
    }

    // ---- Strings -------------------------------------------------------------------------------

    /// True for nodes of the library's own classes, whose strings may be moved out.
    static bool isLibraryElement(const CXMLNode& node) { return typeid(node) == typeid(CXMLNode); }
    static bool isLibraryText(const CXMLNode& node) { return typeid(node) == typeid(CXMLTextNode); }

    static std::string& tagName(CXMLNode& node) noexcept { return node.tagName_; }
    static std::string& text(CXMLTextNode& node) noexcept { return node.tagName_; }
    static std::string& name(CXMLAttribut& attribute) noexcept { return attribute.name_; }
    static std::string& value(CXMLAttribut& attribute) noexcept { return attribute.value_; }

    // ---- Array upkeep (used by the node classes themselves) ------------------------------------

    /// The array of every node without children (or attributes): only its terminator, which no
    /// caller may overwrite.
    template <typename T>
    static T** emptyArray() noexcept {
        static T* const terminator = nullptr;
        return const_cast<T**>(&terminator);
    }

    template <typename T>
    static void setArray(CXMLNode& owner, CXMLNode::Array<T>& array, T* const* items,
                         std::size_t count) {
        if (count == 0) {
            return;
        }
        checkCount(count);
        auto** fresh = static_cast<T**>(allocateIn(owner.arena_, (count + 1) * sizeof(T*)));
        std::memcpy(fresh, items, count * sizeof(T*));
        fresh[count] = nullptr;
        freeArray(array);
        array.items = fresh;
        array.count = static_cast<std::uint32_t>(count);
        array.capacity = static_cast<std::uint32_t>(count);
    }

    template <typename T>
    static void append(CXMLNode& owner, CXMLNode::Array<T>& array, T* item) {
        if (array.count == array.capacity) {
            const std::size_t capacity = array.capacity < 2 ? 2 : 2 * std::size_t(array.capacity);
            checkCount(capacity);
            auto** fresh = static_cast<T**>(allocateIn(owner.arena_, (capacity + 1) * sizeof(T*)));
            std::memcpy(fresh, array.items, array.count * sizeof(T*));
            if (array.capacity > 0) {
                release(array.items);
            }
            array.items = fresh;
            array.capacity = static_cast<std::uint32_t>(capacity);
        }
        array.items[array.count++] = item;
        array.items[array.count] = nullptr;
    }

    template <typename T>
    static void freeArray(CXMLNode::Array<T>& array) noexcept {
        if (array.capacity > 0) {
            release(array.items);
        }
        array.items = emptyArray<T>();
        array.count = 0;
        array.capacity = 0;
    }

    static void checkCount(std::size_t count) {
        if (count >= UINT32_MAX) {
            throw std::bad_alloc();
        }
    }
};

}  // namespace detail
}  // namespace kasxmln

#endif

// The storage behind the node library's classes, private to the library: where a node keeps its
// name or text, its parent link, its children and its attributes, and where a document keeps its
// root and its memory. The loader uses it to make nodes in a tree's memory and to link whole child
// arrays at once.
#ifndef VELXMLN_SRC_NODELIB_NODEIMPL_H
#define VELXMLN_SRC_NODELIB_NODEIMPL_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include <VelXmlN/kasxmln.h>

#include "nodelib/NodeArena.h"

namespace kasxmln {

namespace detail {

/// A null-terminated array of pointers that a node owns, with its length and room.
template <typename T>
struct NodeArray {
    T** items;  // points at the shared terminator of emptyArray() while there is no room
    std::uint32_t count;
    std::uint32_t capacity;
};

/// The array of every node without children (or attributes): only its terminator, which no
/// caller may overwrite.
template <typename T>
T** emptyArray() noexcept {
    static T* const terminator = nullptr;
    return const_cast<T**>(&terminator);
}

}  // namespace detail

class CXMLNode::Impl {
  public:
    /// Storage for a node named (or holding the text) `text`, made in `arena`, whose children
    /// and attributes are made there too (the heap for null).
    static Impl* make(detail::NodeArena* arena, std::string&& text, CXMLNode* parent) {
        void* memory = detail::allocateIn(arena, sizeof(Impl));
        return ::new (memory) Impl(arena, std::move(text), parent);
    }

    /// Destroys the storage; the children and attributes are the node's to destroy first.
    static void destroy(Impl* impl) noexcept {
        impl->~Impl();
        detail::release(impl);
    }

    static Impl& of(CXMLNode& node) noexcept { return *node.impl_; }
    static const Impl& of(const CXMLNode& node) noexcept { return *node.impl_; }

    /// A library element taking over `tagName`, made in `arena`; not linked into the parent.
    static std::unique_ptr<CXMLNode> newElement(detail::NodeArena* arena, std::string&& tagName,
                                                CXMLNode* parent) {
        return newNode<CXMLNode>(arena, std::move(tagName), parent);
    }

    /// A library text node taking over `text`, made in `arena`; not linked into the parent.
    static std::unique_ptr<CXMLTextNode> newText(detail::NodeArena* arena, std::string&& text,
                                                 CXMLNode* parent) {
        return newNode<CXMLTextNode>(arena, std::move(text), parent);
    }

    static std::unique_ptr<CXMLAttribut> newAttribute(detail::NodeArena* arena, std::string&& name,
                                                      std::string&& value) {
        void* memory = detail::allocateIn(arena, sizeof(CXMLAttribut));
        return std::unique_ptr<CXMLAttribut>(::new (memory)
                                                 CXMLAttribut(std::move(name), std::move(value)));
    }

    /// Gives the node, which has no children yet, exactly these `count` children (taking them
    /// over). On an allocation failure nothing changes and the caller still owns them.
    void setChildren(CXMLNode* const* items, std::size_t count) {
        setArray(children, items, count);
    }

    /// As setChildren, for the attributes.
    void setAttributes(CXMLAttribut* const* items, std::size_t count) {
        setArray(attributes, items, count);
    }

    /// Appends `child`, which the node takes over. On an allocation failure nothing changes.
    void appendChild(CXMLNode* child) { append(children, child); }

    void appendAttribute(CXMLAttribut* attribute) { append(attributes, attribute); }

    template <typename T>
    void freeArray(detail::NodeArray<T>& array) noexcept {
        if (array.capacity > 0) {
            detail::release(array.items);
        }
        array.items = detail::emptyArray<T>();
        array.count = 0;
        array.capacity = 0;
    }

    std::string text;  // the tag name, or a text node's text
    CXMLNode* parent;
    detail::NodeArena* arena;  // where the children and attributes are made (held); may be null
    detail::NodeArray<CXMLNode> children;
    detail::NodeArray<CXMLAttribut> attributes;

  private:
    template <typename Node>
    static std::unique_ptr<Node> newNode(detail::NodeArena* arena, std::string&& text,
                                         CXMLNode* parent) {
        Impl* impl = make(arena, std::move(text), parent);
        void* memory = nullptr;
        try {
            memory = detail::allocateIn(arena, sizeof(Node));
        } catch (...) {
            destroy(impl);
            throw;
        }
        return std::unique_ptr<Node>(::new (memory) Node(impl));
    }

    Impl(detail::NodeArena* madeIn, std::string&& name, CXMLNode* parentNode) noexcept
        : text(std::move(name)),
          parent(parentNode),
          arena(madeIn),
          children{detail::emptyArray<CXMLNode>(), 0, 0},
          attributes{detail::emptyArray<CXMLAttribut>(), 0, 0} {
        if (arena != nullptr) {
            arena->retain();
        }
    }

    ~Impl() {
        if (arena != nullptr) {
            arena->drop();
        }
    }

    static void checkCount(std::size_t count) {
        if (count >= UINT32_MAX) {
            throw std::bad_alloc();
        }
    }

    template <typename T>
    void setArray(detail::NodeArray<T>& array, T* const* items, std::size_t count) {
        if (count == 0) {
            return;
        }
        checkCount(count);
        auto** fresh = static_cast<T**>(detail::allocateIn(arena, (count + 1) * sizeof(T*)));
        std::memcpy(fresh, items, count * sizeof(T*));
        fresh[count] = nullptr;
        freeArray(array);
        array.items = fresh;
        array.count = static_cast<std::uint32_t>(count);
        array.capacity = static_cast<std::uint32_t>(count);
    }

    template <typename T>
    void append(detail::NodeArray<T>& array, T* item) {
        if (array.count == array.capacity) {
            const std::size_t capacity = array.capacity < 2 ? 2 : 2 * std::size_t(array.capacity);
            checkCount(capacity);
            auto** fresh = static_cast<T**>(detail::allocateIn(arena, (capacity + 1) * sizeof(T*)));
            std::memcpy(fresh, array.items, array.count * sizeof(T*));
            if (array.capacity > 0) {
                detail::release(array.items);
            }
            array.items = fresh;
            array.capacity = static_cast<std::uint32_t>(capacity);
        }
        array.items[array.count++] = item;
        array.items[array.count] = nullptr;
    }
};

class CXMLDocument::Impl {
  public:
    static Impl& of(CXMLDocument& document) noexcept { return *document.impl_; }

    /// A new empty document; the caller releases it.
    static CXMLDocument* newDocument() { return new CXMLDocument(); }

    CXMLNode* root = nullptr;
    detail::NodeArena* arena = detail::NodeArena::create();
};

}  // namespace kasxmln

#endif

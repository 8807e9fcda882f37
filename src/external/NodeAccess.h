// Direct access to the node library's storage for the loader and the reader: building a loaded
// tree without the public operations' checks, and moving strings out of nodes that are about to
// be destroyed instead of copying them.
#ifndef VELXMLN_SRC_EXTERNAL_NODEACCESS_H
#define VELXMLN_SRC_EXTERNAL_NODEACCESS_H

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <VelXmlN/kasxmln.h>

namespace kasxmln {
namespace detail {

struct NodeAccess {
    static CXMLDocument* newDocument() { return new CXMLDocument(); }

    static void setRoot(CXMLDocument& document, CXMLNode* root) noexcept { document.root_ = root; }

    /// A new library element taking over `tagName`; not linked into the parent.
    static std::unique_ptr<CXMLNode> newElement(std::string&& tagName, CXMLNode* parent) {
        std::unique_ptr<CXMLNode> node(new CXMLNode(nullptr, parent));
        node->tagName_ = std::move(tagName);
        return node;
    }

    /// A new library text node taking over `text`; not linked into the parent.
    static std::unique_ptr<CXMLTextNode> newText(std::string&& text, CXMLNode* parent) {
        std::unique_ptr<CXMLTextNode> node(new CXMLTextNode(nullptr, parent));
        node->text_ = std::move(text);
        return node;
    }

    /// Appends to a null-terminated array; on an allocation failure the array is unchanged and
    /// the caller still owns `item`.
    template <typename T>
    static void append(std::vector<T*>& list, T* item) {
        if (list.empty()) {
            list.reserve(2);
            list.push_back(item);
            list.push_back(nullptr);
        } else {
            list.push_back(nullptr);
            list[list.size() - 2] = item;
        }
    }

    /// Appends `child` to the children of `parent`, which takes it over.
    static void appendChild(CXMLNode& parent, std::unique_ptr<CXMLNode> child) {
        append(parent.children_, child.get());
        child.release();
    }

    /// The slot of the last child in the child array; null when there are no children.
    static CXMLNode** lastChildSlot(CXMLNode& node) noexcept {
        return node.children_.size() < 2 ? nullptr : &node.children_[node.children_.size() - 2];
    }

    /// Makes room for `count` attributes, so that appending them cannot fail halfway.
    static void reserveAttributes(CXMLNode& node, std::size_t count) {
        node.attributes_.reserve(node.attributes_.size() + count + 1);
    }

    static void appendAttribute(CXMLNode& node, std::unique_ptr<CXMLAttribut> attribute) {
        append(node.attributes_, attribute.get());
        attribute.release();
    }

    /// True for nodes of the library's own classes, whose strings may be moved out.
    static bool isLibraryElement(CXMLNode& node) { return typeid(node) == typeid(CXMLNode); }
    static bool isLibraryText(CXMLNode& node) { return typeid(node) == typeid(CXMLTextNode); }

    static std::string& tagName(CXMLNode& node) noexcept { return node.tagName_; }
    static std::string& text(CXMLTextNode& node) noexcept { return node.text_; }
    static std::string& name(CXMLAttribut& attribute) noexcept { return attribute.name_; }
    static std::string& value(CXMLAttribut& attribute) noexcept { return attribute.value_; }
};

}  // namespace detail
}  // namespace kasxmln

#endif

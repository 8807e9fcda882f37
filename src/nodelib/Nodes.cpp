#include <VelXmlN/kasxmln.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "nodelib/NodeImpl.h"
#include "nodelib/NodeSave.h"

namespace kasxmln {

namespace {

const char* orEmpty(const char* text) {
    return text != nullptr ? text : "";
}

bool isTextType(CXMLNode::NodeType type) {
    return type == CXMLNode::kTextNode || type == CXMLNode::kCDataNode;
}

}  // namespace

CXMLAttribut::CXMLAttribut(const char* name, const char* value)
    : name_(orEmpty(name)), value_(orEmpty(value)) {}

CXMLAttribut::CXMLAttribut(std::string name, std::string value) noexcept
    : name_(std::move(name)), value_(std::move(value)) {}

const char* CXMLAttribut::GetName() const noexcept {
    return name_.c_str();
}

const char* CXMLAttribut::GetValue() const noexcept {
    return value_.c_str();
}

void CXMLAttribut::SetValue(const char* value) {
    value_ = orEmpty(value);
}

void* CXMLAttribut::operator new(std::size_t size) {
    return detail::allocateOnHeap(size);
}

void CXMLAttribut::operator delete(void* memory) noexcept {
    detail::release(memory);
}

CXMLNode::CXMLNode(Impl* impl) noexcept : impl_(impl) {}

CXMLNode::CXMLNode(const char* tagName, CXMLNode* parent)
    : impl_(Impl::make(parent != nullptr ? parent->impl_->arena : nullptr, orEmpty(tagName),
                       parent)) {}

CXMLNode::CXMLNode(const CXMLNode& other)
    : impl_(Impl::make(other.impl_->arena, std::string(other.impl_->text), other.impl_->parent)) {
    try {
        *this = other;
    } catch (...) {
        Impl::destroy(impl_);
        throw;
    }
}

CXMLNode& CXMLNode::operator=(const CXMLNode& other) {
    if (this == &other) {
        return *this;
    }
    // Copy first, then swap in: a failed copy leaves this node as it was.
    const detail::NodeArray<CXMLAttribut>& from = other.impl_->attributes;
    std::vector<std::unique_ptr<CXMLAttribut>> copies;
    copies.reserve(from.count);
    for (std::uint32_t i = 0; i < from.count; ++i) {
        copies.push_back(std::make_unique<CXMLAttribut>(*from.items[i]));
    }
    std::vector<CXMLAttribut*> raw;
    raw.reserve(copies.size());
    for (const auto& copy : copies) {
        raw.push_back(copy.get());
    }
    std::string text = other.impl_->text;
    detail::NodeArray<CXMLAttribut> old = impl_->attributes;
    impl_->attributes = detail::NodeArray<CXMLAttribut>{detail::emptyArray<CXMLAttribut>(), 0, 0};
    try {
        impl_->setAttributes(raw.data(), raw.size());
    } catch (...) {
        impl_->attributes = old;
        throw;
    }
    for (auto& copy : copies) {
        copy.release();
    }
    for (std::uint32_t i = 0; i < old.count; ++i) {
        delete old.items[i];
    }
    impl_->freeArray(old);
    impl_->text = std::move(text);
    impl_->parent = other.impl_->parent;
    return *this;
}

CXMLNode::~CXMLNode() {
    Impl& impl = *impl_;
    for (std::uint32_t i = 0; i < impl.attributes.count; ++i) {
        delete impl.attributes.items[i];
    }
    impl.freeArray(impl.attributes);
    // The subtree goes without recursion and without allocating: the dying nodes' parent links
    // serve as the links of the pending list. Null slots (children taken out by a caller) are
    // skipped.
    CXMLNode* pending = nullptr;
    const auto push = [&pending](detail::NodeArray<CXMLNode>& children) {
        for (std::uint32_t i = children.count; i-- > 0;) {
            if (children.items[i] != nullptr) {
                children.items[i]->impl_->parent = pending;
                pending = children.items[i];
            }
        }
    };
    push(impl.children);
    impl.freeArray(impl.children);
    while (pending != nullptr) {
        CXMLNode* node = pending;
        Impl& dying = *node->impl_;
        pending = dying.parent;
        push(dying.children);
        dying.freeArray(dying.children);
        delete node;
    }
    Impl::destroy(impl_);
}

void* CXMLNode::operator new(std::size_t size) {
    return detail::allocateOnHeap(size);
}

void CXMLNode::operator delete(void* memory) noexcept {
    detail::release(memory);
}

std::size_t CXMLNode::GetChildCount() const noexcept {
    return impl_->children.count;
}

void CXMLNode::Save(std::ostream& stream, bool formatted, char* indent) {
    detail::saveElement(*this, stream, formatted, indent, nullptr, 0);
}

const char* CXMLNode::GetTagName() {
    return impl_->text.c_str();
}

CXMLNode** CXMLNode::GetChildren() {
    return impl_->children.items;
}

CXMLNode* CXMLNode::CreateChild(const char* tagName, CXMLNode* ref) {
    if (tagName == nullptr || isTextType(GetNodeType())) {
        return nullptr;
    }
    std::unique_ptr<CXMLNode> child = Impl::newElement(impl_->arena, tagName, this);
    impl_->appendChild(child.get());
    CXMLNode* created = child.release();
    if (ref == nullptr) {
        return created;
    }
    // Move the new child from the end to the place of `ref`, when `ref` is a child.
    detail::NodeArray<CXMLNode>& children = impl_->children;
    for (std::uint32_t i = 0; i + 1 < children.count; ++i) {
        if (children.items[i] == ref) {
            std::memmove(children.items + i + 1, children.items + i,
                         (children.count - 1 - i) * sizeof(CXMLNode*));
            children.items[i] = created;
            break;
        }
    }
    return created;
}

CXMLTextNode* CXMLNode::CreateTextChild(const char* text) {
    if (isTextType(GetNodeType())) {
        return nullptr;
    }
    std::unique_ptr<CXMLTextNode> child = Impl::newText(impl_->arena, orEmpty(text), this);
    impl_->appendChild(child.get());
    return child.release();
}

CXMLAttribut** CXMLNode::GetAttributes() {
    return impl_->attributes.items;
}

void CXMLNode::SetAttribute(const char* name, const char* value) {
    if (name == nullptr || isTextType(GetNodeType())) {
        return;
    }
    detail::NodeArray<CXMLAttribut>& attributes = impl_->attributes;
    std::uint32_t found = 0;
    while (found < attributes.count && std::strcmp(attributes.items[found]->GetName(), name) != 0) {
        ++found;
    }
    if (value == nullptr || *value == '\0') {
        if (found < attributes.count) {
            delete attributes.items[found];
            std::memmove(attributes.items + found, attributes.items + found + 1,
                         (attributes.count - found) * sizeof(CXMLAttribut*));  // terminator too
            --attributes.count;
        }
        return;
    }
    if (found < attributes.count) {
        attributes.items[found]->SetValue(value);
        return;
    }
    std::unique_ptr<CXMLAttribut> attribute = Impl::newAttribute(impl_->arena, name, value);
    impl_->appendAttribute(attribute.get());
    attribute.release();
}

CXMLNode::NodeType CXMLNode::GetNodeType() {
    return kElementNode;
}

CXMLNode* CXMLNode::GetParentNode() {
    return impl_->parent;
}

// A text node keeps its text where an element keeps its tag name.
CXMLTextNode::CXMLTextNode(const char* text, CXMLNode* parent) : CXMLNode(text, parent) {}

CXMLTextNode::CXMLTextNode(Impl* impl) noexcept : CXMLNode(impl) {}

CXMLTextNode::~CXMLTextNode() = default;

const char* CXMLTextNode::GetText() const noexcept {
    return Impl::of(*this).text.c_str();
}

void CXMLTextNode::Save(std::ostream& stream, bool, char*) {
    detail::saveText(stream, GetText(), detail::kAllEscapes);
}

const char* CXMLTextNode::GetTagName() {
    return "";
}

CXMLNode::NodeType CXMLTextNode::GetNodeType() {
    return kTextNode;
}

CXMLDocument::CXMLDocument() : impl_(new Impl()) {}

CXMLDocument::~CXMLDocument() {
    delete impl_->root;
    impl_->arena->drop();
    delete impl_;
}

void CXMLDocument::Release() {
    delete this;
}

void CXMLDocument::Save(std::ostream& stream, bool formatted) {
    if (impl_->root == nullptr) {
        return;
    }
    stream << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    if (formatted) {
        stream << "\r\n";
    }
    char noIndent[1] = {'\0'};
    impl_->root->Save(stream, formatted, noIndent);
    if (formatted) {
        stream << "\r\n";
    }
}

CXMLNode* CXMLDocument::GetRootNode() {
    return impl_->root;
}

CXMLNode* CXMLDocument::CreateRootNode(const char* tagName) {
    if (tagName == nullptr) {
        return nullptr;
    }
    CXMLNode* root = CXMLNode::Impl::newElement(impl_->arena, tagName, nullptr).release();
    delete impl_->root;
    impl_->root = root;
    return root;
}

CXMLSaxHandler::CXMLSaxHandler() noexcept : context_(nullptr) {}
CXMLSaxHandler::~CXMLSaxHandler() = default;
void CXMLSaxHandler::StartDocument() {}
void CXMLSaxHandler::EndDocument() {}
void CXMLSaxHandler::StartElement(const char*, const char*, const char*, CXMLAttribut**) {}
void CXMLSaxHandler::EndElement(const char*, const char*, const char*) {}
void CXMLSaxHandler::Characters(const char*, unsigned int) {}
void CXMLSaxHandler::StartCDATA() {}
void CXMLSaxHandler::EndCDATA() {}
void CXMLSaxHandler::StartDTD(const char*, const char*, const char*) {}
void CXMLSaxHandler::StartNamespace(const char*, const char*) {}
void CXMLSaxHandler::EndNamespace(const char*) {}

}  // namespace kasxmln

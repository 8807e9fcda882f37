#include <VelXmlN/kasxmln.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "nodelib/NodeAccess.h"
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

// ---- CXMLAttribut ------------------------------------------------------------------------------

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

void* CXMLAttribut::operator new(std::size_t size, detail::NodeArena* arena) {
    return detail::allocateIn(arena, size);
}

void CXMLAttribut::operator delete(void* memory) noexcept {
    detail::release(memory);
}

void CXMLAttribut::operator delete(void* memory, detail::NodeArena*) noexcept {
    detail::release(memory);
}

// ---- CXMLNode ----------------------------------------------------------------------------------

CXMLNode::CXMLNode(const char* tagName, CXMLNode* parent)
    : tagName_(orEmpty(tagName)),
      parent_(parent),
      arena_(nullptr),
      children_{detail::NodeAccess::emptyArray<CXMLNode>(), 0, 0},
      attributes_{detail::NodeAccess::emptyArray<CXMLAttribut>(), 0, 0} {}

CXMLNode::CXMLNode(const CXMLNode& other)
    : tagName_(other.tagName_),
      parent_(other.parent_),
      arena_(nullptr),
      children_{detail::NodeAccess::emptyArray<CXMLNode>(), 0, 0},
      attributes_{detail::NodeAccess::emptyArray<CXMLAttribut>(), 0, 0} {
    *this = other;
}

CXMLNode& CXMLNode::operator=(const CXMLNode& other) {
    if (this == &other) {
        return *this;
    }
    // Copy first, then swap in: a failed copy leaves this node as it was.
    std::vector<std::unique_ptr<CXMLAttribut>> copies;
    copies.reserve(other.attributes_.count);
    for (std::uint32_t i = 0; i < other.attributes_.count; ++i) {
        copies.push_back(std::make_unique<CXMLAttribut>(*other.attributes_.items[i]));
    }
    std::vector<CXMLAttribut*> raw;
    raw.reserve(copies.size());
    for (const auto& copy : copies) {
        raw.push_back(copy.get());
    }
    Array<CXMLAttribut> old = attributes_;
    attributes_ = Array<CXMLAttribut>{detail::NodeAccess::emptyArray<CXMLAttribut>(), 0, 0};
    try {
        detail::NodeAccess::setAttributes(*this, raw.data(), raw.size());
    } catch (...) {
        attributes_ = old;
        throw;
    }
    for (auto& copy : copies) {
        copy.release();
    }
    for (std::uint32_t i = 0; i < old.count; ++i) {
        delete old.items[i];
    }
    if (old.capacity > 0) {
        detail::release(old.items);
    }
    tagName_ = other.tagName_;
    parent_ = other.parent_;
    return *this;
}

CXMLNode::~CXMLNode() {
    for (std::uint32_t i = 0; i < attributes_.count; ++i) {
        delete attributes_.items[i];
    }
    detail::NodeAccess::freeArray(attributes_);
    // The subtree goes without recursion and without allocating: the dying nodes' parent links
    // serve as the links of the pending list. Null slots (children taken out by a caller) are
    // skipped.
    CXMLNode* pending = nullptr;
    const auto push = [&pending](Array<CXMLNode>& children) {
        for (std::uint32_t i = children.count; i-- > 0;) {
            if (children.items[i] != nullptr) {
                children.items[i]->parent_ = pending;
                pending = children.items[i];
            }
        }
    };
    push(children_);
    detail::NodeAccess::freeArray(children_);
    while (pending != nullptr) {
        CXMLNode* node = pending;
        pending = node->parent_;
        push(node->children_);
        detail::NodeAccess::freeArray(node->children_);
        delete node;
    }
    if (arena_ != nullptr) {
        arena_->drop();
    }
}

void* CXMLNode::operator new(std::size_t size) {
    return detail::allocateOnHeap(size);
}

void* CXMLNode::operator new(std::size_t size, detail::NodeArena* arena) {
    return detail::allocateIn(arena, size);
}

void CXMLNode::operator delete(void* memory) noexcept {
    detail::release(memory);
}

void CXMLNode::operator delete(void* memory, detail::NodeArena*) noexcept {
    detail::release(memory);
}

void CXMLNode::Save(std::ostream& stream, bool formatted, char* indent) {
    detail::saveElement(*this, stream, formatted, indent, nullptr, 0);
}

const char* CXMLNode::GetTagName() {
    return tagName_.c_str();
}

CXMLNode** CXMLNode::GetChildren() {
    return children_.items;
}

CXMLNode* CXMLNode::CreateChild(const char* tagName, CXMLNode* ref) {
    if (tagName == nullptr || isTextType(GetNodeType())) {
        return nullptr;
    }
    std::unique_ptr<CXMLNode> child = detail::NodeAccess::newElement(arena_, tagName, this);
    detail::NodeAccess::appendChild(*this, child.get());
    CXMLNode* created = child.release();
    if (ref != nullptr) {
        // Move the new child from the end to the place of `ref`, when `ref` is a child.
        CXMLNode** slot = detail::NodeAccess::findChildSlot(*this, ref);
        if (slot != nullptr && slot >= children_.items &&
            slot < children_.items + children_.count) {
            std::memmove(slot + 1, slot,
                         static_cast<std::size_t>(children_.items + children_.count - 1 - slot) *
                             sizeof(CXMLNode*));
            *slot = created;
        }
    }
    return created;
}

CXMLTextNode* CXMLNode::CreateTextChild(const char* text) {
    if (isTextType(GetNodeType())) {
        return nullptr;
    }
    std::unique_ptr<CXMLTextNode> child = detail::NodeAccess::newText(arena_, orEmpty(text), this);
    detail::NodeAccess::appendChild(*this, child.get());
    return child.release();
}

CXMLAttribut** CXMLNode::GetAttributes() {
    return attributes_.items;
}

void CXMLNode::SetAttribute(const char* name, const char* value) {
    if (name == nullptr || isTextType(GetNodeType())) {
        return;
    }
    std::uint32_t found = 0;
    while (found < attributes_.count &&
           std::strcmp(attributes_.items[found]->GetName(), name) != 0) {
        ++found;
    }
    if (value == nullptr || *value == '\0') {
        if (found < attributes_.count) {
            delete attributes_.items[found];
            std::memmove(attributes_.items + found, attributes_.items + found + 1,
                         (attributes_.count - found) * sizeof(CXMLAttribut*));  // terminator too
            --attributes_.count;
        }
        return;
    }
    if (found < attributes_.count) {
        attributes_.items[found]->SetValue(value);
        return;
    }
    std::unique_ptr<CXMLAttribut> attribute = detail::NodeAccess::newAttribute(arena_, name, value);
    detail::NodeAccess::appendAttribute(*this, attribute.get());
    attribute.release();
}

CXMLNode::NodeType CXMLNode::GetNodeType() {
    return kElementNode;
}

CXMLNode* CXMLNode::GetParentNode() {
    return parent_;
}

// ---- CXMLTextNode ------------------------------------------------------------------------------

// A text node keeps its text where an element keeps its tag name.
CXMLTextNode::CXMLTextNode(const char* text, CXMLNode* parent) : CXMLNode(text, parent) {}

CXMLTextNode::~CXMLTextNode() = default;

const char* CXMLTextNode::GetText() const noexcept {
    return tagName_.c_str();
}

void CXMLTextNode::Save(std::ostream& stream, bool, char*) {
    detail::saveText(stream, tagName_.c_str(), true, true, true);
}

const char* CXMLTextNode::GetTagName() {
    return "";
}

CXMLNode::NodeType CXMLTextNode::GetNodeType() {
    return kTextNode;
}

// ---- CXMLDocument ------------------------------------------------------------------------------

CXMLDocument::CXMLDocument() : root_(nullptr), arena_(detail::NodeArena::create()) {}

CXMLDocument::~CXMLDocument() {
    delete root_;
    arena_->drop();
}

void CXMLDocument::Release() {
    delete this;
}

void CXMLDocument::Save(std::ostream& stream, bool formatted) {
    if (root_ == nullptr) {
        return;
    }
    stream << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    if (formatted) {
        stream << "\r\n";
    }
    char noIndent[1] = {'\0'};
    root_->Save(stream, formatted, noIndent);
    if (formatted) {
        stream << "\r\n";
    }
}

CXMLNode* CXMLDocument::GetRootNode() {
    return root_;
}

CXMLNode* CXMLDocument::CreateRootNode(const char* tagName) {
    if (tagName == nullptr) {
        return nullptr;
    }
    CXMLNode* root = detail::NodeAccess::newElement(arena_, tagName, nullptr).release();
    delete root_;
    root_ = root;
    return root_;
}

// ---- CXMLSaxHandler ----------------------------------------------------------------------------

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

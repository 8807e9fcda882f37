#include <VelXmlN/kasxmln.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <utility>

#include "external/NodeAccess.h"
#include "external/NodeSave.h"

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

// ---- CXMLNode ----------------------------------------------------------------------------------

CXMLNode::CXMLNode(const char* tagName, CXMLNode* parent)
    : tagName_(orEmpty(tagName)), parent_(parent), noChildren_(nullptr), noAttributes_(nullptr) {}

CXMLNode::CXMLNode(const CXMLNode& other)
    : tagName_(other.tagName_),
      parent_(other.parent_),
      noChildren_(nullptr),
      noAttributes_(nullptr) {
    *this = other;
}

CXMLNode& CXMLNode::operator=(const CXMLNode& other) {
    if (this == &other) {
        return *this;
    }
    // Copy first, then swap in: a failed copy leaves this node as it was.
    std::vector<CXMLAttribut*> copies;
    copies.reserve(other.attributes_.size());
    try {
        for (const CXMLAttribut* attribute : other.attributes_) {
            copies.push_back(attribute != nullptr ? new CXMLAttribut(*attribute) : nullptr);
        }
    } catch (...) {
        for (CXMLAttribut* attribute : copies) {
            delete attribute;
        }
        throw;
    }
    tagName_ = other.tagName_;
    parent_ = other.parent_;
    attributes_.swap(copies);
    for (CXMLAttribut* attribute : copies) {
        delete attribute;
    }
    return *this;
}

CXMLNode::~CXMLNode() {
    for (CXMLAttribut* attribute : attributes_) {
        delete attribute;
    }
    // The subtree goes without recursion and without allocating: the dying nodes' parent links
    // serve as the links of the pending list. Null slots (children taken out by a caller) are
    // skipped, and so is everything after them up to the array's end.
    CXMLNode* pending = nullptr;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (*it != nullptr) {
            (*it)->parent_ = pending;
            pending = *it;
        }
    }
    children_.clear();
    while (pending != nullptr) {
        CXMLNode* node = pending;
        pending = node->parent_;
        for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) {
            if (*it != nullptr) {
                (*it)->parent_ = pending;
                pending = *it;
            }
        }
        node->children_.clear();
        delete node;
    }
}

void CXMLNode::Save(std::ostream& stream, bool formatted, char* indent) {
    detail::saveElement(*this, stream, formatted, indent, nullptr, 0);
}

const char* CXMLNode::GetTagName() {
    return tagName_.c_str();
}

CXMLNode** CXMLNode::GetChildren() {
    return children_.empty() ? &noChildren_ : children_.data();
}

CXMLNode* CXMLNode::CreateChild(const char* tagName, CXMLNode* ref) {
    if (tagName == nullptr || isTextType(GetNodeType())) {
        return nullptr;
    }
    std::unique_ptr<CXMLNode> child(new CXMLNode(tagName, this));
    const auto end = children_.empty() ? children_.end() : children_.end() - 1;
    const auto at = ref != nullptr ? std::find(children_.begin(), end, ref) : end;
    CXMLNode* created = child.get();
    if (at == end) {
        detail::NodeAccess::appendChild(*this, std::move(child));
    } else {
        children_.insert(at, created);
        child.release();
    }
    return created;
}

CXMLTextNode* CXMLNode::CreateTextChild(const char* text) {
    if (isTextType(GetNodeType())) {
        return nullptr;
    }
    std::unique_ptr<CXMLTextNode> child = detail::NodeAccess::newText(orEmpty(text), this);
    detail::NodeAccess::append(children_, static_cast<CXMLNode*>(child.get()));
    return child.release();
}

CXMLAttribut** CXMLNode::GetAttributes() {
    return attributes_.empty() ? &noAttributes_ : attributes_.data();
}

void CXMLNode::SetAttribute(const char* name, const char* value) {
    if (name == nullptr || isTextType(GetNodeType())) {
        return;
    }
    const auto end = attributes_.empty() ? attributes_.end() : attributes_.end() - 1;
    const auto found = std::find_if(attributes_.begin(), end, [name](const CXMLAttribut* a) {
        return std::strcmp(a->GetName(), name) == 0;
    });
    if (value == nullptr || *value == '\0') {
        if (found != end) {
            delete *found;
            attributes_.erase(found);
            if (attributes_.size() == 1) {
                attributes_.clear();  // only the terminator is left
            }
        }
        return;
    }
    if (found != end) {
        (*found)->SetValue(value);
        return;
    }
    detail::NodeAccess::appendAttribute(*this, std::make_unique<CXMLAttribut>(name, value));
}

CXMLNode::NodeType CXMLNode::GetNodeType() {
    return kElementNode;
}

CXMLNode* CXMLNode::GetParentNode() {
    return parent_;
}

// ---- CXMLTextNode ------------------------------------------------------------------------------

CXMLTextNode::CXMLTextNode(const char* text, CXMLNode* parent)
    : CXMLNode(nullptr, parent), text_(orEmpty(text)) {}

CXMLTextNode::~CXMLTextNode() = default;

const char* CXMLTextNode::GetText() const noexcept {
    return text_.c_str();
}

void CXMLTextNode::Save(std::ostream& stream, bool, char*) {
    detail::saveText(stream, text_.c_str(), true, true, true);
}

CXMLNode::NodeType CXMLTextNode::GetNodeType() {
    return kTextNode;
}

// ---- CXMLDocument ------------------------------------------------------------------------------

CXMLDocument::CXMLDocument() noexcept : root_(nullptr) {}

CXMLDocument::~CXMLDocument() {
    delete root_;
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
    CXMLNode* root = detail::NodeAccess::newElement(tagName, nullptr).release();
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

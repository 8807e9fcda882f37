#include <VelXmlN/XmlNode.h>

#include <cstring>
#include <memory>

#include "document/XmlTextNode.h"
#include "nodelib/NodeSave.h"

namespace VelXmlN {

namespace {

using kasxmln::CXMLAttribut;
using kasxmln::CXMLNode;

// The slot of `child` in the parent's child array, or null. A child just appended is the last of
// the parent's own array, which is looked at first, so that appending stays cheap.
CXMLNode** findSlot(CXMLNode& parent, const CXMLNode* child) {
    CXMLNode** children = parent.GetChildren();
    const std::size_t count = parent.GetChildCount();
    if (count > 0 && children[count - 1] == child) {
        return children + count - 1;
    }
    for (CXMLNode** slot = children; *slot != nullptr; ++slot) {
        if (*slot == child) {
            return slot;
        }
    }
    return nullptr;
}

void destroyRecords(std::vector<CXMLAttribut*>& records) noexcept {
    for (CXMLAttribut* record : records) {
        delete record;
    }
    records.clear();
}

std::vector<CXMLAttribut*> copyRecords(const std::vector<CXMLAttribut*>& records) {
    std::vector<CXMLAttribut*> copies;
    copies.reserve(records.size());
    try {
        for (const CXMLAttribut* record : records) {
            copies.push_back(new CXMLAttribut(*record));
        }
    } catch (...) {
        destroyRecords(copies);
        throw;
    }
    return copies;
}

}  // namespace

XmlNode::XmlNode(CXMLNode* source, EncodeSkip skip)
    : CXMLNode(source->GetTagName(), source->GetParentNode()),
      nodeType(source->GetNodeType()),
      encodeSkip(skip) {}

XmlNode::XmlNode(const XmlNode& other)
    : CXMLNode(other),
      nodeType(other.nodeType),
      emptyAttributes(copyRecords(other.emptyAttributes)),
      encodeSkip(other.encodeSkip) {}

XmlNode& XmlNode::operator=(const XmlNode& other) {
    if (this != &other) {
        std::vector<CXMLAttribut*> copies = copyRecords(other.emptyAttributes);
        try {
            CXMLNode::operator=(other);
        } catch (...) {
            destroyRecords(copies);
            throw;
        }
        nodeType = other.nodeType;
        encodeSkip = other.encodeSkip;
        emptyAttributes.swap(copies);
        destroyRecords(copies);
    }
    return *this;
}

XmlNode::~XmlNode() {
    destroyRecords(emptyAttributes);
}

XmlNode* XmlNode::insertChild(CXMLNode* parent, const char* tagName, CXMLNode* ref,
                              EncodeSkip encodeSkip) {
    CXMLNode* created = parent->CreateChild(tagName, ref);
    if (created == nullptr) {
        return nullptr;
    }
    CXMLNode** slot = findSlot(*parent, created);
    if (slot == nullptr) {
        return nullptr;
    }
    auto* node = new XmlNode(created, encodeSkip);
    *slot = node;
    delete created;
    return node;
}

void XmlNode::SetAttribute(const char* name, const char* value) {
    CXMLNode::SetAttribute(name, value);
    if (name == nullptr) {
        return;
    }
    if (value != nullptr && *value == '\0') {
        emptyAttributes.reserve(emptyAttributes.size() + 1);
        emptyAttributes.push_back(new CXMLAttribut(name, ""));
        return;
    }
    for (auto it = emptyAttributes.begin(); it != emptyAttributes.end(); ++it) {
        if (std::strcmp((*it)->GetName(), name) == 0) {
            delete *it;
            emptyAttributes.erase(it);
            return;
        }
    }
}

void XmlNode::Save(std::ostream& stream, bool formatted, char* indent) {
    kasxmln::detail::saveElement(*this, stream, formatted, indent, emptyAttributes.data(),
                                 emptyAttributes.size());
}

kasxmln::CXMLTextNode* XmlNode::CreateTextChild(const char* text) {
    kasxmln::CXMLTextNode* created = CXMLNode::CreateTextChild(text);
    if (encodeSkip == EncodeSkipNone || created == nullptr) {
        return created;
    }
    CXMLNode** slot = findSlot(*this, created);
    if (slot == nullptr) {
        return created;
    }
    auto* replacement = new XmlTextNode(created->GetText(), created->GetParentNode(),
                                        created->GetNodeType(), encodeSkip);
    *slot = replacement;
    delete created;
    return replacement;
}

CXMLNode::NodeType XmlNode::GetNodeType() {
    return nodeType;
}

XmlTextNode::XmlTextNode(const char* text, CXMLNode* parent, NodeType type, EncodeSkip skip)
    : CXMLTextNode(text, parent), nodeType(type), encodeSkip(skip) {}

XmlTextNode::~XmlTextNode() = default;

void XmlTextNode::Save(std::ostream& stream, bool formatted, char* indent) {
    if (encodeSkip == EncodeSkipNone) {
        CXMLTextNode::Save(stream, formatted, indent);
        return;
    }
    kasxmln::detail::saveText(
        stream, GetText(),
        {(encodeSkip & EncodeSkipAmpersand) == 0, (encodeSkip & EncodeSkipApostrophe) == 0,
         (encodeSkip & EncodeSkipQuote) == 0});
}

CXMLNode::NodeType XmlTextNode::GetNodeType() {
    return nodeType;
}

}  // namespace VelXmlN

// Element trees to node-library trees for Tree::putToStream.
#include <string>

#include <VelXmlN/XmlNode.h>

#include "document/Conversion.h"

namespace VelXmlN {
namespace detail {

void checkNoZeroByte(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        throw kasxmln::CXMLException(kasxmln::CXMLException::kCharacterError,
                                     kasxmln::CXMLException::kCharacterDetail, text);
    }
}

void convertElement(kasxmln::CXMLNode& node, const Data& element, EncodeSkip encodeSkip,
                    unsigned depth) {
    for (const AttributeData* attribute : element.getAttributes()) {
        checkNoZeroByte(attribute->getName());
        checkNoZeroByte(attribute->getData());
        node.SetAttribute(attribute->getName().c_str(), attribute->getData().c_str());
    }
    if (!element.getData().empty()) {
        checkNoZeroByte(element.getData());
        node.CreateTextChild(element.getData().c_str());
    }
    for (const Data* child : element.getChildren()) {
        if (child->getName().empty()) {
            checkNoZeroByte(child->getData());
            node.CreateTextChild(child->getData().c_str());
            continue;
        }
        // Refused before anything is written, so that every recursive walk (this one and the
        // saves) stays within the depth that the reader accepts.
        if (depth >= kasxmln::kMaxElementDepth) {
            throw kasxmln::CXMLException(kasxmln::CXMLException::kLimitError, 0,
                                         "element '" + child->getName() +
                                             "' is nested deeper than the limit of " +
                                             std::to_string(kasxmln::kMaxElementDepth) + " levels");
        }
        checkNoZeroByte(child->getName());
        XmlNode* output =
            XmlNode::insertChild(&node, child->getName().c_str(), nullptr, encodeSkip);
        if (output != nullptr) {
            convertElement(*output, *child, encodeSkip, depth + 1);
        }
    }
}

}  // namespace detail
}  // namespace VelXmlN

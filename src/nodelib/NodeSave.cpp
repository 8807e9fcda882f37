#include "nodelib/NodeSave.h"

#include <ostream>
#include <string>

namespace kasxmln {
namespace detail {

namespace {

void writeConverted(std::ostream& stream, CStringConverter& converter) {
    const char* bytes = nullptr;
    std::size_t length = 0;
    converter.ToUtf8(bytes, length);
    stream.write(bytes, static_cast<std::streamsize>(length));
}

void writeAttribute(std::ostream& stream, CStringConverter& converter, const CXMLAttribut& item) {
    converter.Assign(item.GetName());
    if (!converter.IsValidName()) {
        throw CXMLException(CXMLException::kNameError, CXMLException::kNameDetail, item.GetName());
    }
    stream << " ";
    writeConverted(stream, converter);
    stream << "=\"";
    converter.Assign(item.GetValue());
    writeConverted(stream, converter);
    stream << "\"";
}

// A line break and an indent. Kept out of saveElement, like the start tag, so that the frame
// that recursion repeats for every level stays small.
void writeBreak(std::ostream& stream, const char* indent) {
    CStringConverter converter(indent);
    stream << "\r\n";
    writeConverted(stream, converter);
}

// Checks and writes "<name" and the attributes; returns the converted name for the end tag.
std::string writeStartTag(CXMLNode& node, std::ostream& stream, CXMLAttribut* const* extra,
                          std::size_t extraCount) {
    const char* tagName = node.GetTagName();
    CStringConverter tag(tagName);
    if (!tag.IsValidName()) {
        throw CXMLException(CXMLException::kNameError, CXMLException::kNameDetail, tagName);
    }
    const char* tagBytes = nullptr;
    std::size_t tagLength = 0;
    tag.ToUtf8(tagBytes, tagLength);
    stream << "<";
    stream.write(tagBytes, static_cast<std::streamsize>(tagLength));

    CStringConverter piece(nullptr);
    for (CXMLAttribut** attribute = node.GetAttributes(); *attribute != nullptr; ++attribute) {
        writeAttribute(stream, piece, **attribute);
    }
    for (std::size_t i = 0; i < extraCount; ++i) {
        writeAttribute(stream, piece, *extra[i]);
    }
    return std::string(tagBytes, tagLength);
}

}  // namespace

void saveElement(CXMLNode& node, std::ostream& stream, bool formatted, const char* indent,
                 CXMLAttribut* const* extra, std::size_t extraCount) {
    const std::string tag = writeStartTag(node, stream, extra, extraCount);
    CXMLNode** children = node.GetChildren();
    if (children[0] == nullptr) {
        stream << "/>";
        return;
    }
    stream << ">";
    const char* givenIndent = indent != nullptr ? indent : "";
    std::string childIndent = std::string(givenIndent) + '\t';
    bool textSeen = false;
    for (std::size_t i = 0; children[i] != nullptr; ++i) {
        const CXMLNode::NodeType type = children[i]->GetNodeType();
        if (type == CXMLNode::kTextNode || type == CXMLNode::kCDataNode) {
            textSeen = true;
        }
        if (formatted && !textSeen) {
            writeBreak(stream, childIndent.c_str());
        }
        children[i]->Save(stream, formatted, &childIndent[0]);
        if (children[i + 1] == nullptr && formatted && !textSeen) {
            writeBreak(stream, givenIndent);
        }
    }
    stream << "</";
    stream.write(tag.data(), static_cast<std::streamsize>(tag.size()));
    stream << ">";
}

void saveText(std::ostream& stream, const char* text, Escapes escapes) {
    CStringConverter converter(text, escapes.ampersand, escapes.apostrophe, escapes.quote);
    writeConverted(stream, converter);
}

}  // namespace detail
}  // namespace kasxmln

#include "external/NodeSave.h"

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

// An indent is converted once, on first use, and then written as bytes.
class Indent {
  public:
    explicit Indent(const char* text) : text_(text) {}

    void write(std::ostream& stream) {
        if (!converted_) {
            CStringConverter converter(text_);
            const char* bytes = nullptr;
            std::size_t length = 0;
            converter.ToUtf8(bytes, length);
            bytes_.assign(bytes, length);
            converted_ = true;
        }
        stream << "\r\n";
        stream.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    }

  private:
    const char* text_;
    std::string bytes_;
    bool converted_ = false;
};

}  // namespace

void saveElement(CXMLNode& node, std::ostream& stream, bool formatted, const char* indent,
                 CXMLAttribut* const* extra, std::size_t extraCount) {
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

    CXMLNode** children = node.GetChildren();
    if (children[0] == nullptr) {
        stream << "/>";
        return;
    }
    stream << ">";
    const char* givenIndent = indent != nullptr ? indent : "";
    std::string childIndentText = std::string(givenIndent) + '\t';
    Indent outer(givenIndent);
    Indent inner(childIndentText.c_str());
    bool textSeen = false;
    for (std::size_t i = 0; children[i] != nullptr; ++i) {
        CXMLNode* child = children[i];
        const CXMLNode::NodeType type = child->GetNodeType();
        if (type == CXMLNode::kTextNode || type == CXMLNode::kCDataNode) {
            textSeen = true;
        }
        if (formatted && !textSeen) {
            inner.write(stream);
        }
        child->Save(stream, formatted, &childIndentText[0]);
        if (children[i + 1] == nullptr && formatted && !textSeen) {
            outer.write(stream);
        }
    }
    stream << "</";
    stream.write(tagBytes, static_cast<std::streamsize>(tagLength));
    stream << ">";
}

void saveText(std::ostream& stream, const char* text, bool escapeAmpersand, bool escapeApostrophe,
              bool escapeQuote) {
    CStringConverter converter(text, escapeAmpersand, escapeApostrophe, escapeQuote);
    writeConverted(stream, converter);
}

}  // namespace detail
}  // namespace kasxmln

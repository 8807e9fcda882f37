// XML text to element trees for Tree::buildOfStream: reading the stream and the node conversion.
#include <algorithm>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "document/Conversion.h"
#include "external/NodeAccess.h"

namespace VelXmlN {
namespace detail {

namespace {

using kasxmln::CXMLAttribut;
using kasxmln::CXMLNode;
using kasxmln::CXMLTextNode;
using kasxmln::detail::NodeAccess;

// Read in blocks of this size when the stream cannot tell how much is left.
constexpr std::size_t kReadBlock = 1u << 16;

// Up to this many attributes a linear search for repeated names is cheaper than a hash table.
constexpr std::size_t kLinearAttributeSearch = 8;

std::string takeText(CXMLNode& node, bool release) {
    if (release && NodeAccess::isLibraryText(node)) {
        return std::move(NodeAccess::text(static_cast<CXMLTextNode&>(node)));
    }
    const auto* text = dynamic_cast<const CXMLTextNode*>(&node);
    return text != nullptr ? std::string(text->GetText()) : std::string();
}

void setName(Data& target, CXMLNode& node, bool release) {
    if (release && NodeAccess::isLibraryElement(node)) {
        target.setName(NodeAccess::tagName(node));
    } else {
        target.setName(node.GetTagName());
    }
}

// A repeated name keeps its first place and takes the last value, as Data::setAttribute does.
void setAttributes(Data& target, CXMLNode& node) {
    CXMLAttribut** attributes = node.GetAttributes();
    std::size_t count = 0;
    while (attributes[count] != nullptr) {
        ++count;
    }
    if (count <= kLinearAttributeSearch) {
        for (std::size_t i = 0; i < count; ++i) {
            target.setAttribute(attributes[i]->GetName(), attributes[i]->GetValue(), true);
        }
        return;
    }
    std::vector<AttributeData*>& list = target.getAttributes();
    list.reserve(list.size() + count);
    std::unordered_map<std::string_view, AttributeData*> byName;
    byName.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view name = attributes[i]->GetName();
        const auto found = byName.find(name);
        if (found != byName.end()) {
            found->second->setData(attributes[i]->GetValue());
            found->second->setEntityFlag(true);
            continue;
        }
        auto attribute =
            std::make_unique<AttributeData>(attributes[i]->GetName(), attributes[i]->GetValue());
        AttributeData* added = attribute.get();
        list.push_back(added);
        attribute.release();
        byName.emplace(added->getName(), added);
    }
}

void destroySlot(CXMLNode** slot) noexcept {
    CXMLNode* node = *slot;
    *slot = nullptr;
    delete node;
}

// Name and attributes; an only text child becomes the value. Returns whether children remain to
// be walked.
bool fillElement(Data& target, CXMLNode& node, bool release) {
    setName(target, node, release);
    setAttributes(target, node);
    CXMLNode** children = node.GetChildren();
    if (children[0] == nullptr) {
        return false;
    }
    if (children[1] == nullptr && children[0]->GetNodeType() == CXMLNode::kTextNode) {
        target.setData(takeText(*children[0], release));
        if (release) {
            destroySlot(children);
        }
        return false;
    }
    // children[1] may be the terminator already (one element child): count from there.
    std::size_t count = 1;
    while (children[count] != nullptr) {
        ++count;
    }
    target.getChildren().reserve(count);
    return true;
}

struct Frame {
    CXMLNode* node;
    Data* target;
    CXMLNode** children;
    std::size_t next;
    CXMLNode** slot;  // where the node sits in its parent's array; null for the top node
};

void convert(Data& root, CXMLNode& source, bool release) {
    if (!fillElement(root, source, release)) {
        return;
    }
    std::vector<Frame> stack;
    stack.push_back(Frame{&source, &root, source.GetChildren(), 0, nullptr});
    while (!stack.empty()) {
        Frame& top = stack.back();
        CXMLNode** slot = top.children + top.next;
        CXMLNode* child = *slot;
        if (child == nullptr) {
            CXMLNode** finished = top.slot;
            stack.pop_back();
            if (release && finished != nullptr) {
                destroySlot(finished);
            }
            continue;
        }
        ++top.next;
        Data* parent = top.target;
        if (child->GetNodeType() == CXMLNode::kTextNode) {
            std::string text = takeText(*child, release);
            auto piece = std::make_unique<Data>();
            // A mixed-content piece is kept unchanged; setData only trims spaces at the ends, so
            // it can take the text over whenever there are none.
            if (text.empty() || (text.front() != ' ' && text.back() != ' ')) {
                piece->setData(std::move(text));
            } else {
                piece->setDataPlain(text);
            }
            parent->addChild(std::move(piece));
            if (release) {
                destroySlot(slot);
            }
            continue;
        }
        Data* element = parent->addChild(std::make_unique<Data>());
        if (fillElement(*element, *child, release)) {
            stack.push_back(Frame{child, element, child->GetChildren(), 0, slot});
        } else if (release) {
            destroySlot(slot);
        }
    }
}

}  // namespace

void convertNode(Data* target, CXMLNode* source) {
    if (target != nullptr && source != nullptr) {
        convert(*target, *source, false);
    }
}

void convertNodeReleasing(Data& target, CXMLNode& source) {
    convert(target, source, true);
}

std::string readRest(std::istream& in) {
    using traits = std::istream::traits_type;
    std::string bytes;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) {
        return bytes;
    }
    // A seekable stream tells how much is left, so the text is read into one buffer of the
    // right size; other streams are read in growing blocks.
    const std::streampos here = buffer->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (here != std::streampos(-1)) {
        const std::streampos end = buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in);
        buffer->pubseekpos(here, std::ios_base::in);
        if (end != std::streampos(-1) && end > here) {
            bytes.reserve(static_cast<std::size_t>(end - here));
        }
    }
    for (;;) {
        if (bytes.size() == bytes.capacity()) {
            if (traits::eq_int_type(buffer->sgetc(), traits::eof())) {
                break;
            }
            bytes.reserve(std::max(bytes.capacity() * 2, bytes.capacity() + kReadBlock));
        }
        const std::size_t filled = bytes.size();
        const std::size_t room = bytes.capacity() - filled;
        bytes.resize(bytes.capacity());
        const std::streamsize got =
            buffer->sgetn(&bytes[filled], static_cast<std::streamsize>(room));
        bytes.resize(filled + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got <= 0) {
            break;
        }
    }
    return bytes;
}

}  // namespace detail
}  // namespace VelXmlN

// Tree::putToStream writes the element tree straight to the stream. These properties hold it to
// the writing it replaces: build a node-library document whose root is the library's node and
// whose elements below it are XmlNode (with XmlTextNode texts when the encode skip is not 0),
// then let the document save itself. On random trees, odd ones included (repeated and empty
// attributes, invalid names, control characters, zero bytes, text that is not ASCII), both give
// the same bytes, or the same exception after the same bytes.
#include <VelXmlN/Tree.h>
#include <VelXmlN/XmlNode.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

using kasxmln::CXMLException;
using kasxmln::CXMLNode;
using testsupport::CodePageScope;
using testsupport::visible;
using VelXmlN::Data;
using VelXmlN::EncodeSkip;
using VelXmlN::NarrowCodePage;
using VelXmlN::Tree;
using VelXmlN::XmlNode;

namespace {

// The node library's strings end at a zero byte, so the conversion refuses texts holding one.
void checkNoZeroByte(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        throw CXMLException(CXMLException::kCharacterError, CXMLException::kCharacterDetail, text);
    }
}

// The element conversion, written from its description.
void convertElement(CXMLNode& node, const Data& element, EncodeSkip encodeSkip) {
    for (const VelXmlN::AttributeData* attribute : element.getAttributes()) {
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
            // A text piece holds its value alone: anything more is refused as an invalid name.
            if (!child->getAttributes().empty() || !child->getChildren().empty()) {
                throw CXMLException(CXMLException::kNameError, CXMLException::kNameDetail, "");
            }
            checkNoZeroByte(child->getData());
            node.CreateTextChild(child->getData().c_str());
            continue;
        }
        checkNoZeroByte(child->getName());
        XmlNode* output =
            XmlNode::insertChild(&node, child->getName().c_str(), nullptr, encodeSkip);
        convertElement(*output, *child, encodeSkip);
    }
}

struct Written {
    std::string bytes;
    bool failed = false;
    int code = 0;
    unsigned detail = 0;
    std::string message;
};

// What `write` puts in a stream, and the exception it ends with, if any.
template <typename Write>
Written capture(Write write) {
    Written written;
    std::ostringstream out;
    try {
        write(out);
    } catch (const CXMLException& error) {
        written.failed = true;
        written.code = error.GetCode();
        written.detail = error.GetDetail();
        written.message = error.GetMessageText();
    }
    written.bytes = out.str();
    return written;
}

Written throughNodes(const Data& root, EncodeSkip encodeSkip) {
    kasxmln::CXMLDocument* document =
        kasxmln::CXMLManager::GetInstance()->CreateDocument(nullptr, nullptr);
    const Written written = capture([&](std::ostream& out) {
        checkNoZeroByte(root.getName());
        convertElement(*document->CreateRootNode(root.getName().c_str()), root, encodeSkip);
        document->Save(out, true);
    });
    document->Release();
    return written;
}

Written straight(const Tree& tree) {
    return capture([&](std::ostream& out) { tree.putToStream(out); });
}

void expectSame(const Written& got, const Written& expected) {
    EXPECT_EQ(got.bytes.size(), expected.bytes.size());
    EXPECT_EQ(visible(got.bytes.substr(0, 2000)), visible(expected.bytes.substr(0, 2000)));
    EXPECT_TRUE(got.bytes == expected.bytes);
    EXPECT_EQ(got.failed, expected.failed);
    EXPECT_EQ(got.code, expected.code);
    EXPECT_EQ(got.detail, expected.detail);
    EXPECT_EQ(visible(got.message), visible(expected.message));
}

class TreeMaker {
  public:
    // Names that are not ASCII are chosen to be valid in the code page in use.
    TreeMaker(unsigned seed, bool utf8) : random_(seed), utf8_(utf8) {}

    // Usually a tree that can be written; `odd` makes one in about three carry something that
    // cannot (an invalid name, a control character or a zero byte).
    void fill(Data& element, int depth, bool odd) {
        element.setName(name(odd));
        const int attributes = below(5);
        for (int i = 0; i < attributes; ++i) {
            // Names repeat, and empty values come and go, to cover how the node keeps them.
            const std::string attributeName =
                below(8) == 0 ? name(odd) : "a" + std::to_string(below(3));
            auto* attribute = new VelXmlN::AttributeData(attributeName, text(odd));
            element.getAttributes().push_back(attribute);
        }
        if (below(3) == 0) {
            element.setDataPlain(text(odd));
        }
        const int children = depth > 0 ? below(5) : 0;
        for (int i = 0; i < children; ++i) {
            Data* child = element.addChild(std::make_unique<Data>());
            if (below(3) == 0) {
                child->setDataPlain(text(odd));  // a nameless child: a text piece
                if (odd && below(30) == 0) {
                    // ...that holds more than a text piece can carry.
                    below(2) == 0 ? child->setAttribute("a", "v") : (void)child->createChild("c");
                }
            } else {
                fill(*child, depth - 1, odd);
            }
        }
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  private:
    std::string name(bool odd) {
        static const char* const kNames[] = {"r", "item", "b:c", "x-y.z", "_u"};
        static const char* const kOdd[] = {"1a", "a b", "a<", "\xFF"};
        if (below(6) == 0) {
            return utf8_ ? (below(2) == 0 ? "\xC3\xA4l" : "\xE4\xB8\xAD") : "\xE4l\xE9";
        }
        if (odd && below(50) == 0) {
            const int which = below(5);
            return which == 4 ? std::string("z\0", 2) : std::string(kOdd[which]);
        }
        return kNames[below(5)];
    }

    std::string text(bool odd) {
        static const char* const kPieces[] = {"plain",
                                              " spaced ",
                                              "<>&'\"",
                                              "\t\n\r",
                                              "\xC3\xA4\xE2\x82\xAC",
                                              "\xF0\x9F\x98\x80",
                                              "",
                                              "&amp;",
                                              "x",
                                              "1.5",
                                              "\x80\x9F",
                                              "\xE9t\xE9"};
        std::string out;
        const int count = below(4);
        for (int i = 0; i < count; ++i) {
            out += kPieces[below(12)];
        }
        if (below(150) == 0) {
            // Long texts make the writer check the tree in a walk of its own and write out.
            out += std::string(300000, 'w');
        }
        if (odd && below(100) == 0) {
            out += below(2) == 0 ? std::string("\x01", 1) : std::string("\0", 1);
        }
        return out;
    }

    std::mt19937 random_;
    bool utf8_;
};

void checkRandomTrees(NarrowCodePage codePage, unsigned firstSeed) {
    CodePageScope scope(codePage);
    for (unsigned seed = firstSeed; seed < firstSeed + 300; ++seed) {
        TreeMaker maker(seed, codePage == NarrowCodePage::Utf8);
        Tree tree;
        tree.setRoot(new Data());
        maker.fill(*tree.getRoot(), 1 + maker.below(4), seed % 3 == 0);
        const auto encodeSkip = static_cast<EncodeSkip>(maker.below(8));
        tree.setEncodeSkip(encodeSkip);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", encode skip " +
                     std::to_string(encodeSkip));
        expectSame(straight(tree), throughNodes(*tree.getRoot(), encodeSkip));
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

}  // namespace

TEST(WriterEquivalence, RandomTreesGiveTheBytesOfTheNodeDocumentInUtf8) {
    checkRandomTrees(NarrowCodePage::Utf8, 1);
}

TEST(WriterEquivalence, RandomTreesGiveTheBytesOfTheNodeDocumentInWindows1252) {
    checkRandomTrees(NarrowCodePage::Windows1252, 7000);
}

TEST(WriterEquivalence, AfterLongTextsALaterFailureStillComesAsBefore) {
    // Output held back is given out once the tree has been checked in a walk of its own; what
    // fails later still finds the same bytes in the stream, and a zero byte anywhere none.
    const auto make = [](const std::string& lastName, const std::string& lastValue) {
        auto tree = std::make_unique<Tree>("r");
        tree->getRoot()
            ->addChild(std::make_unique<Data>())
            ->setDataPlain(std::string(3 << 20, 'x'));
        tree->getRoot()->createChild("a");
        tree->getRoot()->createChild(lastName)->setAttribute("v", lastValue);
        return tree;
    };
    for (const auto& last : {std::make_pair(std::string("b"), std::string("1")),
                             std::make_pair(std::string("1b"), std::string("1")),
                             std::make_pair(std::string("b"), std::string("1\x01")),
                             std::make_pair(std::string("b"), std::string("1\0", 2))}) {
        SCOPED_TRACE(visible(last.first + "=" + last.second));
        const std::unique_ptr<Tree> tree = make(last.first, last.second);
        expectSame(straight(*tree), throughNodes(*tree->getRoot(), VelXmlN::EncodeSkipNone));
    }
}

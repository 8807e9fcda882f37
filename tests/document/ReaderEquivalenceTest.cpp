// Tree::buildOfStream builds its elements straight from the parser's events. These properties
// hold it to the two-step reading it replaces: load the text into a node tree
// (CXMLManager::LoadDocument) and copy that tree into elements by the node conversion. On random
// documents both give the same elements, field by field; on broken ones both refuse with the
// same exception, and the tree keeps its root. Each document is read from a stream that seeks
// (parsed in blocks straight from it) and from one that cannot (taken into memory first).
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using kasxmln::CXMLException;
using kasxmln::CXMLNode;
using testsupport::CodePageScope;
using testsupport::visible;
using VelXmlN::AttributeData;
using VelXmlN::Data;
using VelXmlN::NarrowCodePage;
using VelXmlN::Tree;

namespace {

// The node conversion, written from its description: the name; each attribute through
// setAttribute (a repeated name keeps its place and takes the last value); an only text child as
// the value (trimmed of spaces by setData); any other text as a nameless child, unchanged; any
// other node as a child element, filled the same way.
void convertNode(Data& target, CXMLNode& node) {
    target.setName(node.GetTagName());
    for (kasxmln::CXMLAttribut** attribute = node.GetAttributes(); *attribute != nullptr;
         ++attribute) {
        target.setAttribute((*attribute)->GetName(), (*attribute)->GetValue(), true);
    }
    CXMLNode** children = node.GetChildren();
    for (std::size_t i = 0; children[i] != nullptr; ++i) {
        if (children[i]->GetNodeType() == CXMLNode::kTextNode) {
            const char* text = static_cast<kasxmln::CXMLTextNode*>(children[i])->GetText();
            if (i == 0 && children[1] == nullptr) {
                target.setData(text);
            } else {
                target.addChild(std::make_unique<Data>())->setDataPlain(text);
            }
            continue;
        }
        convertNode(*target.addChild(std::make_unique<Data>()), *children[i]);
    }
}

std::unique_ptr<Data> readInTwoSteps(const std::string& text) {
    kasxmln::CXMLDocument* document = kasxmln::CXMLManager::GetInstance()->LoadDocument(
        text.data(), static_cast<unsigned>(text.size()), false, false, nullptr, false, false);
    auto root = std::make_unique<Data>();
    convertNode(*root, *document->GetRootNode());
    document->Release();
    return root;
}

// Every field of the elements and their attributes, parent links included, as text.
void fields(const Data& element, const Data* parent, std::string& out) {
    const auto bit = [](bool value) { return value ? '1' : '0'; };
    out += element.getName() + "|" + visible(element.getData()) + "|" +
           bit(element.getParent() == parent) + bit(element.getEntityFlag()) +
           bit(element.getSelect()) + bit(element.getExpand()) +
           bit(element.getPointer() != nullptr) + "{";
    for (const AttributeData* a : element.getAttributes()) {
        out += a->getName() + "=" + visible(a->getData()) + "|" + bit(a->getEntityFlag()) +
               bit(a->getSelect()) + bit(a->getPointer() != nullptr) + " ";
    }
    out += "}[";
    for (const Data* child : element.getChildren()) {
        fields(*child, &element, out);
        out += ",";
    }
    out += "]";
}

std::string fields(const Data& root) {
    std::string out;
    fields(root, nullptr, out);
    return out;
}

// A stream buffer that cannot seek and hands out a few bytes at a time.
class Trickle : public std::streambuf {
  public:
    explicit Trickle(const std::string& text) : text_(text) {}

  protected:
    int_type underflow() override {
        if (offset_ >= text_.size()) {
            return traits_type::eof();
        }
        const std::size_t count = std::min<std::size_t>(5, text_.size() - offset_);
        std::memcpy(buffer_, text_.data() + offset_, count);
        offset_ += count;
        setg(buffer_, buffer_, buffer_ + count);
        return traits_type::to_int_type(buffer_[0]);
    }

  private:
    const std::string& text_;
    std::size_t offset_ = 0;
    char buffer_[5];
};

class DocumentMaker {
  public:
    explicit DocumentMaker(unsigned seed) : random_(seed) {}

    // A document in UTF-8, with or without a declaration, sometimes with a type declaration that
    // declares entities and attribute defaults, or names an external subset (which makes the
    // loader read the text twice).
    std::string document() {
        std::string text;
        if (below(2) == 0) {
            text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
            text += below(2) == 0 ? "\r\n" : "\n";
        }
        const int doctype = below(4);
        if (doctype == 1) {
            text +=
                "<!DOCTYPE r [\n<!ENTITY e1 \"one &amp; two\">\n<!ENTITY e2 \"<m>in</m> out\">\n"
                "<!ATTLIST item d CDATA \"default\">\n]>\n";
            entities_ = true;
        } else if (doctype == 2) {
            text += "<!DOCTYPE r SYSTEM \"never-read.dtd\">\n";
            entities_ = false;
        } else {
            entities_ = false;
        }
        if (below(3) == 0) {
            text += "<!-- before -->\n<?pi before?>\n";
        }
        element(text, 0);
        if (below(3) == 0) {
            text += "\n<!-- after -->\n";
        }
        return text;
    }

    // The same document broken at one place.
    std::string broken(std::string text) {
        const std::size_t at = static_cast<std::size_t>(below(static_cast<int>(text.size())));
        switch (below(5)) {
            case 0:
                return text.substr(0, at);
            case 1:
                return text.insert(at, "<");
            case 2:
                return text.insert(at, "&");
            case 3:
                return text.insert(at, "\xFF");
            default:
                return text.insert(at, "&undeclared;");
        }
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  private:
    void element(std::string& text, int depth) {
        static const char* const kNames[] = {
            "item", "a", "b:c", "x-y", "\xC3\xA9t\xC3\xA9", "\xE4\xB8\xAD", "n.1"};
        const std::string name = kNames[below(7)];
        text += "<" + name;
        const int attributes = below(4);
        for (int i = 0; i < attributes; ++i) {
            text += (below(2) == 0 ? " " : "\n\t") + std::string("at") + std::to_string(i) + "=";
            const char quote = below(2) == 0 ? '"' : '\'';
            text += quote + attributeValue() + quote;
        }
        if (below(6) == 0) {
            text += below(2) == 0 ? "/>" : " />";
            return;
        }
        text += ">";
        const int pieces = depth < 5 ? below(6) : below(2);
        for (int i = 0; i < pieces; ++i) {
            switch (below(depth < 5 ? 9 : 7)) {
                case 0:
                    text += "<!-- note -->";
                    break;
                case 1:
                    text += "<?target data?>";
                    break;
                case 2:
                    text += "<![CDATA[" + words() + " <not> & ]]>";
                    break;
                case 3: {
                    static const char* const kBlanks[] = {" ", "\n", "\r\n\t", "  \t ", "\n    "};
                    text += kBlanks[below(5)];
                    break;
                }
                case 4:
                case 5:
                case 6:
                    text += content();
                    break;
                default:
                    element(text, depth + 1);
                    break;
            }
        }
        text += "</" + name + ">";
    }

    std::string attributeValue() {
        static const char* const kPieces[] = {
            "v",        " spaced ",  "&lt;&amp;&gt;", "&quot;&apos;",
            "&#x20AC;", "&#x1F600;", "\t\n\r",        "\xC3\xA4",
            "",         "a&#10;b",   "1.5",           "&#xE9;"};
        std::string value;
        const int count = below(4);
        for (int i = 0; i < count; ++i) {
            value += kPieces[below(12)];
        }
        if (entities_ && below(4) == 0) {
            value += "&e1;";
        }
        return value;
    }

    std::string words() {
        static const char* const kWords[] = {"alpha", "b", "\xC3\xBC\x62\x65r", "\xF0\x9F\x98\x80",
                                             "1.25",  "z"};
        std::string out = kWords[below(6)];
        for (int i = below(4); i > 0; --i) {
            out += " " + std::string(kWords[below(6)]);
        }
        return out;
    }

    std::string content() {
        std::string out;
        switch (below(8)) {
            case 0:
                out = " " + words() + " ";
                break;
            case 1:
                out = words() + " &amp; &#65;&#x42; " + words();
                break;
            case 2:
                out = entities_ ? "&e1;" + words() + "&e2;" : words();
                break;
            case 3: {
                // Longer than the parser's blocks, so that it arrives in several pieces.
                const int count = 3000 + below(4000);
                for (int i = 0; i < count; ++i) {
                    out += i % 7 == 0 ? "\xF0\x9F\x98\x80" : "word ";
                }
                break;
            }
            default:
                out = words();
                break;
        }
        return out;
    }

    std::mt19937 random_;
    bool entities_ = false;
};

struct Outcome {
    std::unique_ptr<Data> root;
    bool failed = false;
    int code = 0;
    unsigned detail = 0;
    std::string message;
};

Outcome inTwoSteps(const std::string& text) {
    Outcome outcome;
    try {
        outcome.root = readInTwoSteps(text);
    } catch (const CXMLException& error) {
        outcome.failed = true;
        outcome.code = error.GetCode();
        outcome.detail = error.GetDetail();
        outcome.message = error.GetMessageText();
    }
    return outcome;
}

// Reads `text` into a tree that already has a root, from a stream that seeks or not, placed
// after a prefix that is not part of the document; checks what the two-step reading expects.
void expectSameReading(const std::string& text, const Outcome& expected, bool seekable) {
    SCOPED_TRACE(seekable ? "from a stream that seeks" : "from a stream that cannot seek");
    const std::string prefix = "ignored prefix";
    const std::string whole = prefix + text;
    std::istringstream seeking(whole);
    Trickle trickle(whole);
    std::istream unseekable(&trickle);
    std::istream& in = seekable ? static_cast<std::istream&>(seeking) : unseekable;
    in.ignore(static_cast<std::streamsize>(prefix.size()));

    Tree tree("old");
    Data* old = tree.getRoot();
    try {
        tree.buildOfStream(in);
        ASSERT_FALSE(expected.failed)
            << "read, but the two-step reading threw " << expected.message;
        ASSERT_NE(tree.getRoot(), nullptr);
        EXPECT_EQ(fields(*tree.getRoot()), fields(*expected.root));
    } catch (const CXMLException& error) {
        ASSERT_TRUE(expected.failed) << "threw " << error.GetMessageText();
        EXPECT_EQ(error.GetCode(), expected.code);
        EXPECT_EQ(error.GetDetail(), expected.detail);
        EXPECT_EQ(std::string(error.GetMessageText()), expected.message);
        EXPECT_EQ(tree.getRoot(), old);
        EXPECT_EQ(old->getName(), "old");
    }
    // However the read ended, the whole text was taken and the stream is still good.
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.rdbuf()->sgetc(), std::char_traits<char>::eof());
}

void checkRandomDocuments(NarrowCodePage codePage, unsigned firstSeed) {
    CodePageScope scope(codePage);
    for (unsigned seed = firstSeed; seed < firstSeed + 120; ++seed) {
        DocumentMaker maker(seed);
        std::string text = maker.document();
        if (seed % 3 == 0) {
            text = maker.broken(text);
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + visible(text.substr(0, 300)));
        const Outcome expected = inTwoSteps(text);
        expectSameReading(text, expected, true);
        expectSameReading(text, expected, false);
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

}  // namespace

TEST(ReaderEquivalence, RandomDocumentsGiveTheElementsOfTheTwoStepReadingInUtf8) {
    checkRandomDocuments(NarrowCodePage::Utf8, 1000);
}

TEST(ReaderEquivalence, RandomDocumentsGiveTheElementsOfTheTwoStepReadingInWindows1252) {
    checkRandomDocuments(NarrowCodePage::Windows1252, 5000);
}

TEST(ReaderEquivalence, ADocumentInUtf16ReadsTheSameFromEveryStream) {
    // "<r a='\u00e4'>x<b/>\U0001F600</r>" in UTF-16 LE with a byte order mark.
    const std::u16string units = u"\uFEFF<r a='\u00e4'>x<b/>\U0001F600 </r>";
    std::string text;
    for (const char16_t unit : units) {
        text += static_cast<char>(unit & 0xFF);
        text += static_cast<char>(unit >> 8);
    }
    const Outcome expected = inTwoSteps(text);
    ASSERT_FALSE(expected.failed) << expected.message;
    expectSameReading(text, expected, true);
    expectSameReading(text, expected, false);
}

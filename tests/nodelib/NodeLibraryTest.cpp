// The node library's nodes, documents, exception and converter, without parsing.
#include <VelXmlN/kasxmln.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

using kasxmln::CStringConverter;
using kasxmln::CXMLAttribut;
using kasxmln::CXMLDocument;
using kasxmln::CXMLException;
using kasxmln::CXMLManager;
using kasxmln::CXMLNode;
using testsupport::visible;

namespace {

struct Releaser {
    void operator()(CXMLDocument* document) const { document->Release(); }
};
using Document = std::unique_ptr<CXMLDocument, Releaser>;

Document newDocument(const char* root) {
    return Document(CXMLManager::GetInstance()->CreateDocument(root, nullptr));
}

std::string names(CXMLNode* node) {
    std::string out;
    for (CXMLNode** child = node->GetChildren(); *child != nullptr; ++child) {
        const char* name = (*child)->GetTagName();
        out += *name != '\0' ? name : "#";
        out += ' ';
    }
    return out;
}

std::string attributes(CXMLNode* node) {
    std::string out;
    for (CXMLAttribut** attribute = node->GetAttributes(); *attribute != nullptr; ++attribute) {
        out += std::string((*attribute)->GetName()) + "=" + (*attribute)->GetValue() + " ";
    }
    return out;
}

std::string saved(CXMLDocument& document, bool formatted = true) {
    std::ostringstream out;
    document.Save(out, formatted);
    return out.str();
}

}  // namespace

TEST(NodeLibrary, ManagerMakesDocumentsWithAndWithoutRoot) {
    Document empty(CXMLManager::GetInstance()->CreateDocument(nullptr, nullptr));
    EXPECT_EQ(empty->GetRootNode(), nullptr);
    EXPECT_EQ(saved(*empty), "") << "a document without root writes nothing";
    Document rooted(CXMLManager::GetInstance()->CreateDocument("r", "utf-8"));
    ASSERT_NE(rooted->GetRootNode(), nullptr);
    EXPECT_STREQ(rooted->GetRootNode()->GetTagName(), "r");
    EXPECT_XML_THROW(CXMLManager::GetInstance()->CreateDocument("r", "ISO-8859-1"),
                     CXMLException::kUsageError, 0,
                     "CreateDocument: documents are written as UTF-8, not 'ISO-8859-1'");
}

TEST(NodeLibrary, ChildrenAreANullTerminatedArrayInDocumentOrder) {
    Document document = newDocument("r");
    CXMLNode* root = document->GetRootNode();
    EXPECT_EQ(root->GetChildren()[0], nullptr);
    CXMLNode* a = root->CreateChild("a", nullptr);
    root->CreateTextChild("t");
    CXMLNode* c = root->CreateChild("c", nullptr);
    root->CreateChild("b", c);                             // before c
    root->CreateChild("z", a->CreateChild("x", nullptr));  // not a child: appended
    EXPECT_EQ(names(root), "a # b c z ");
    EXPECT_EQ(a->GetParentNode(), root);
    EXPECT_EQ(root->GetParentNode(), nullptr);
    EXPECT_EQ(root->GetChildren()[1]->GetNodeType(), CXMLNode::kTextNode);
    EXPECT_STREQ(root->GetChildren()[1]->GetTagName(), "");
    EXPECT_EQ(root->GetNodeType(), CXMLNode::kElementNode);
    EXPECT_EQ(root->CreateChild(nullptr, nullptr), nullptr);

    auto* text = dynamic_cast<kasxmln::CXMLTextNode*>(root->GetChildren()[1]);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetText(), "t");
    EXPECT_EQ(text->CreateChild("no", nullptr), nullptr) << "a text has no children";
    EXPECT_EQ(text->CreateTextChild("no"), nullptr);
    text->SetAttribute("no", "1");
    EXPECT_EQ(text->GetAttributes()[0], nullptr);

    // A caller may take a child out by overwriting its slot; it then owns the node.
    CXMLNode** slots = root->GetChildren();
    CXMLNode* taken = slots[0];
    slots[0] = root->GetChildren()[4];
    slots[4] = nullptr;
    delete taken;
    EXPECT_EQ(names(root), "z # b c ");
}

TEST(NodeLibrary, SetAttributeReplacesInPlaceAndAnEmptyValueRemoves) {
    Document document = newDocument("r");
    CXMLNode* root = document->GetRootNode();
    root->SetAttribute("a", "1");
    root->SetAttribute("b", "2");
    root->SetAttribute("c", "3");
    root->SetAttribute("a", "one");
    EXPECT_EQ(attributes(root), "a=one b=2 c=3 ");
    root->SetAttribute("b", "");
    root->SetAttribute("c", nullptr);
    root->SetAttribute("missing", "");
    root->SetAttribute(nullptr, "x");
    EXPECT_EQ(attributes(root), "a=one ");
    root->SetAttribute("d", "4");
    EXPECT_EQ(attributes(root), "a=one d=4 ");
}

TEST(NodeLibrary, DeepTreesAreDestroyedWithoutRecursion) {
    Document document = newDocument("r");
    CXMLNode* node = document->GetRootNode();
    for (int i = 0; i < 200000; ++i) {
        node = node->CreateChild("d", nullptr);
    }
    document.reset();  // would overflow the stack if destruction recursed
}

TEST(NodeLibrary, DocumentSaveUnformattedHasNoLineBreaks) {
    Document document = newDocument("root");
    CXMLNode* root = document->GetRootNode();
    root->SetAttribute("v", "<\"&'>");
    root->CreateChild("a", nullptr)->CreateChild("b", nullptr);
    root->CreateTextChild("x & y");
    root->CreateChild("c", nullptr)->SetAttribute("k", "1");
    EXPECT_EQ(saved(*document, false),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root "
              "v=\"&#x3c;&#x22;&#x26;&#x27;&#x3e;\"><a><b/></a>x &#x26; y<c k=\"1\"/></root>");
}

// What the exception's what() says is checked with the writer and the flat functions, where
// the messages arise.
TEST(StringConverter, EscapesTheFiveCharactersAsTheFlagsSay) {
    const auto convert = [](const char* text, bool a, bool p, bool q) {
        CStringConverter converter(text, a, p, q);
        const char* bytes = nullptr;
        std::size_t length = 0;
        converter.ToUtf8(bytes, length);
        return std::string(bytes, length);
    };
    EXPECT_EQ(convert("<>&'\"\t\n\r", false, false, false), "&#x3c;&#x3e;&'\"\t\n\r");
    EXPECT_EQ(convert("<>&'\"", true, false, true), "&#x3c;&#x3e;&#x26;'&#x22;");
    EXPECT_EQ(convert(nullptr, true, true, true), "");
    EXPECT_STREQ(CXMLException(6, 0, static_cast<const char*>(nullptr)).GetMessageText(), "");
    EXPECT_XML_THROW(convert("a\x01z", true, true, true), CXMLException::kCharacterError, 10,
                     "a\x01z");
    EXPECT_XML_THROW(convert("\xC3\xA4\x1F", true, true, true), CXMLException::kCharacterError, 10,
                     "\xC3\xA4\x1F");
}

TEST(StringConverter, AssignReplacesTheSourceAndNamesFollowXml10) {
    // The narrow literals here are UTF-8 (on Windows the System code page is not).
    const testsupport::CodePageScope utf8(VelXmlN::NarrowCodePage::Utf8);
    CStringConverter converter("first");
    converter.Assign("x<");
    EXPECT_STREQ(converter.GetSource(), "x<");
    const char* bytes = nullptr;
    std::size_t length = 0;
    converter.ToUtf8(bytes, length);
    EXPECT_EQ(std::string(bytes, length), "x&#x3c;");
    converter.Assign(nullptr);
    EXPECT_STREQ(converter.GetSource(), "");
    for (const char* valid : {"a", "_a", ":a", "a1.-_:", "ns:item", "\xC3\xA4", "\xE4\xB8\xAD",
                              "V\xF0\x9F\x98\x80", "\xF0\x90\x80\x80"}) {
        converter.Assign(valid);
        EXPECT_TRUE(converter.IsValidName()) << valid;
    }
    for (const char* invalid : {"", "1a", "-a", ".a", "a b", "a<", "a&",
                                "\xC2\xB7"
                                "a",
                                "a\xFF", "a\xC3", "\xF3\xB0\x80\x80"}) {
        converter.Assign(invalid);
        EXPECT_FALSE(converter.IsValidName()) << visible(invalid);
    }
}

// The ASCII way and the UTF-16 way of the converter give the same bytes: every random text is
// converted once as it is and once behind a non-ASCII character, which takes the other way.
TEST(StringConverter, BothWaysGiveTheSameBytes) {
    // The narrow literals here are UTF-8 (on Windows the System code page is not).
    const testsupport::CodePageScope utf8(VelXmlN::NarrowCodePage::Utf8);
    static const char* const kPieces[] = {"a",  "Z",  " ",  "<",     ">", "&", "'",  "\"",
                                          "\t", "\n", "\r", "&amp;", "0", "~", "]]>"};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (unsigned n = random() % 12; n > 0; --n) {
            text += kPieces[random() % 15];
        }
        const bool ampersand = random() % 2 == 0;
        const bool apostrophe = random() % 2 == 0;
        const bool quote = random() % 2 == 0;
        const auto convert = [&](const std::string& source) {
            CStringConverter converter(source.c_str(), ampersand, apostrophe, quote);
            const char* bytes = nullptr;
            std::size_t length = 0;
            converter.ToUtf8(bytes, length);
            return std::string(bytes, length);
        };
        EXPECT_EQ("\xC3\xA4" + convert(text), convert("\xC3\xA4" + text)) << visible(text);
    }
}

// The exact bytes that Tree::putToStream writes, rule by rule.
#include <VelXmlN/Tree.h>
#include <VelXmlN/XmlNode.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

using kasxmln::CXMLException;
using testsupport::CodePageScope;
using testsupport::visible;
using VelXmlN::Data;
using VelXmlN::Tree;
using VelXmlN::XmlNode;

namespace {

const std::string kPrologue = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

std::string written(const Tree& tree) {
    std::ostringstream out;
    tree.putToStream(out);
    return out.str();
}

// What was written before putToStream threw.
std::string writtenUntilFailure(const Tree& tree) {
    std::ostringstream out;
    EXPECT_THROW(tree.putToStream(out), CXMLException);
    return out.str();
}

// A tree whose root `r` has one child element `e`, returned for filling.
Data* single(Tree& tree) {
    return tree.createRoot("r")->createChild("e");
}

}  // namespace

// The layout, escaping, encode skips, code pages and most failures are held to the node
// document's own writing by WriterEquivalenceTest (and the node document's layout by the XmlNode
// test below); here are the refusals that random trees do not reach, with their messages.
TEST(Writer, InvalidNamesThrowAfterWhatCameBefore) {
    Tree tree;
    Data* e = single(tree);
    e->setAttribute("a", std::string("1"));
    e->setAttribute("bad name", std::string("2"));
    EXPECT_EQ(visible(writtenUntilFailure(tree)), visible(kPrologue + "<r>\r\n\t<e a=\"1\""));
    EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "bad name");
    Tree badRoot("");
    EXPECT_XML_THROW(written(badRoot), CXMLException::kNameError, 6, "");
    EXPECT_EQ(written(Tree()), "") << "no root, nothing";
}

// Every byte sequence the code page does not define would be written as U+FFFD: two such
// attribute names would become one repeated name and the document could not be read back.
TEST(Writer, NamesWithBytesTheCodePageDoesNotDefineThrow) {
    Tree tree;
    Data* e = single(tree);
    {
        CodePageScope scope(VelXmlN::NarrowCodePage::Utf8);
        e->setAttribute("\xC3\xA4\xFF", std::string("1"));
        e->setAttribute("\xC3\xA4\xFE", std::string("2"));
        EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "\xC3\xA4\xFF");
        e->removeAttribute("\xC3\xA4\xFF");
        e->removeAttribute("\xC3\xA4\xFE");
        e->setName("e\xC3");
        EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "e\xC3");
    }
    CodePageScope scope(VelXmlN::NarrowCodePage::Windows1252);
    e->setName("e\x81");
    EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "e\x81");
}

TEST(Writer, CharactersNoXmlDocumentCanHoldThrowWithWhereTheyStand) {
    // The narrow literals here are UTF-8 (on Windows the System code page is not).
    const CodePageScope utf8(VelXmlN::NarrowCodePage::Utf8);
    Tree tree;
    Data* e = single(tree);
    const auto message = [&tree] {
        std::ostringstream out;
        try {
            tree.putToStream(out);
        } catch (const CXMLException& error) {
            EXPECT_EQ(error.GetCode(), CXMLException::kCharacterError);
            return error.what() + std::string(out.str().empty() ? "" : " after output");
        }
        return std::string("no exception");
    };
    // The two non-characters at the end of the basic plane.
    e->setAttribute("v", std::string("\xC3\xA4\xEF\xBF\xBE"));
    EXPECT_EQ(message(),
              "character U+FFFE at byte 2 cannot be written as XML: "
              "'\xC3\xA4\xEF\xBF\xBE' after output");
    e->setAttribute("v", std::string("fine"));
    e->setDataPlain("x\xEF\xBF\xBF");
    EXPECT_XML_THROW(written(tree), CXMLException::kCharacterError, 10, "x\xEF\xBF\xBF");
    // A zero byte cannot pass through the node library's strings: refused before writing.
    e->setDataPlain(std::string("a\0b", 3));
    EXPECT_EQ(message(), "control character U+0000 at byte 1 cannot be written as XML: 'a\\x00b'");
}

namespace {

struct Releaser {
    void operator()(kasxmln::CXMLDocument* document) const { document->Release(); }
};

std::string save(kasxmln::CXMLDocument& document) {
    std::ostringstream out;
    document.Save(out, true);
    return out.str().substr(kPrologue.size());
}

}  // namespace

TEST(XmlNode, KeepsEmptyValuedAttributesAndReplacesLibraryNodes) {
    std::unique_ptr<kasxmln::CXMLDocument, Releaser> document(
        kasxmln::CXMLManager::GetInstance()->CreateDocument("r", nullptr));
    kasxmln::CXMLNode* root = document->GetRootNode();
    kasxmln::CXMLNode* last = root->CreateChild("last", nullptr);
    XmlNode* node = XmlNode::insertChild(root, "n", last, VelXmlN::EncodeSkipQuote);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(root->GetChildren()[0], node) << "inserted before the reference";
    EXPECT_EQ(node->GetParentNode(), root);
    node->SetAttribute("e", "");
    node->SetAttribute("e", "");
    node->SetAttribute("k", "1");
    EXPECT_EQ(save(*document), "<r>\r\n\t<n k=\"1\" e=\"\" e=\"\"/>\r\n\t<last/>\r\n</r>\r\n");
    node->SetAttribute("e", "v");  // the library keeps it now; one empty record goes
    EXPECT_EQ(save(*document), "<r>\r\n\t<n k=\"1\" e=\"v\" e=\"\"/>\r\n\t<last/>\r\n</r>\r\n");

    XmlNode* child = XmlNode::insertChild(node, "c", nullptr, VelXmlN::EncodeSkipQuote);
    static_cast<kasxmln::CXMLNode*>(child)->CreateTextChild("\"q\"&");
    EXPECT_EQ(save(*document),
              "<r>\r\n\t<n k=\"1\" e=\"v\" e=\"\">\r\n\t\t<c>\"q\"&#x26;</c>\r\n\t</n>\r\n"
              "\t<last/>\r\n</r>\r\n");

    XmlNode copy(*node);
    EXPECT_STREQ(copy.GetTagName(), "n");
    EXPECT_EQ(copy.GetChildren()[0], nullptr) << "children are not copied";
    std::ostringstream out;
    char indent[] = "";
    static_cast<kasxmln::CXMLNode&>(copy).Save(out, true, indent);
    EXPECT_EQ(out.str(), "<n k=\"1\" e=\"v\" e=\"\"/>");
    copy = *child;
    EXPECT_STREQ(copy.GetTagName(), "c");
}

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
using VelXmlN::EncodeSkip;
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

TEST(Writer, IndentsOneTabPerLevelWithCrLfAndClosesChildlessElements) {
    Tree tree("r");
    Data* a = tree.getRoot()->createChild("a");
    a->setAttribute("x", std::string("1"));
    tree.getRoot()->createChild("b")->createChild("c");
    tree.getRoot()->createChild("d")->createChild("e")->createChild("f");
    EXPECT_EQ(visible(written(tree)),
              visible(kPrologue +
                      "<r>\r\n\t<a x=\"1\"/>\r\n\t<b>\r\n\t\t<c/>\r\n\t</b>\r\n\t<d>\r\n\t\t<e>\r\n"
                      "\t\t\t<f/>\r\n\t\t</e>\r\n\t</d>\r\n</r>\r\n"));
    EXPECT_EQ(written(Tree("only")), kPrologue + "<only/>\r\n");
    EXPECT_EQ(written(Tree()), "") << "no root, nothing";
}

TEST(Writer, EmptyValuedAttributesComeLastBelowTheRootAndVanishAtTheRoot) {
    Tree tree;
    Data* e = single(tree);
    for (Data* element : {tree.getRoot(), e}) {
        element->setAttribute("a", std::string("1"));
        element->setAttribute("b", std::string(""));
        element->setAttribute("c", std::string("3"));
    }
    EXPECT_EQ(
        visible(written(tree)),
        visible(kPrologue + "<r a=\"1\" c=\"3\">\r\n\t<e a=\"1\" c=\"3\" b=\"\"/>\r\n</r>\r\n"));
}

TEST(Writer, EscapesNamesValuesAndTextsInLowerCaseHex) {
    Tree tree;
    Data* e = single(tree);
    e->setAttribute("v", std::string("x<y & 'z' \"q\" >"));
    e->setAttribute("w", std::string("tab\tlf\ncr\r"));
    e->setDataPlain("a<b>&'\"");
    EXPECT_EQ(visible(written(tree)),
              visible(kPrologue +
                      "<r>\r\n\t<e v=\"x&#x3c;y &#x26; &#x27;z&#x27; &#x22;q&#x22; &#x3e;\" "
                      "w=\"tab\tlf\ncr\r\">a&#x3c;b&#x3e;&#x26;&#x27;&#x22;</e>\r\n</r>\r\n"));
}

TEST(Writer, ValueComesFirstAndLineBreaksStopAtTheFirstText) {
    Tree tree("r");
    Data* v = tree.getRoot()->createChild("v");
    v->setDataPlain("val");
    v->createChild("k")->createChild("deep");
    Data* m = tree.getRoot()->createChild("m");
    m->createChild("b");
    m->createChild("")->setDataPlain(" t ");
    m->createChild("c")->createChild("inner");
    EXPECT_EQ(visible(written(tree)),
              visible(kPrologue +
                      "<r>\r\n\t<v>val<k>\r\n\t\t\t<deep/>\r\n\t\t</k></v>\r\n\t<m>\r\n\t\t<b/> t "
                      "<c>\r\n\t\t\t<inner/>\r\n\t\t</c></m>\r\n</r>\r\n"))
        << "the flag belongs to one element: children of <k> and <c> are laid out again";
}

TEST(Writer, EncodeSkipLeavesItsCharactersInTextsBelowTheRoot) {
    const auto textOf = [](EncodeSkip skip) {
        Tree tree;
        tree.setEncodeSkip(skip);
        tree.getRoot();
        single(tree)->setDataPlain("a&amp;b 'q' \"d\" <x>");
        tree.getRoot()->setDataPlain("&'\"");  // the root's own text is always escaped
        tree.getRoot()->getChildren()[0]->setAttribute("v", std::string("&'\""));
        const std::string all = written(tree);
        return all.substr(kPrologue.size());
    };
    EXPECT_EQ(textOf(VelXmlN::EncodeSkipNone),
              "<r>&#x26;&#x27;&#x22;<e v=\"&#x26;&#x27;&#x22;\">a&#x26;amp;b &#x27;q&#x27; "
              "&#x22;d&#x22; &#x3c;x&#x3e;</e></r>\r\n");
    EXPECT_EQ(textOf(static_cast<EncodeSkip>(7)),
              "<r>&#x26;&#x27;&#x22;<e v=\"&#x26;&#x27;&#x22;\">a&amp;b 'q' \"d\" "
              "&#x3c;x&#x3e;</e></r>\r\n");
    EXPECT_EQ(textOf(VelXmlN::EncodeSkipAmpersand),
              "<r>&#x26;&#x27;&#x22;<e v=\"&#x26;&#x27;&#x22;\">a&amp;b &#x27;q&#x27; "
              "&#x22;d&#x22; &#x3c;x&#x3e;</e></r>\r\n");
    EXPECT_EQ(textOf(static_cast<EncodeSkip>(6)),
              "<r>&#x26;&#x27;&#x22;<e v=\"&#x26;&#x27;&#x22;\">a&#x26;amp;b 'q' \"d\" "
              "&#x3c;x&#x3e;</e></r>\r\n");
}

TEST(Writer, NarrowTextIsWrittenAsUtf8InEitherCodePage) {
    Tree tree;
    Data* e = single(tree);
    {
        CodePageScope scope(VelXmlN::NarrowCodePage::Windows1252);
        e->setAttribute("v", std::string("\xE4\x80"));
        EXPECT_EQ(visible(written(tree)),
                  visible(kPrologue + "<r>\r\n\t<e v=\"\xC3\xA4\xE2\x82\xAC\"/>\r\n</r>\r\n"));
    }
    {
        CodePageScope scope(VelXmlN::NarrowCodePage::Utf8);
        e->setAttribute("v", std::string("\xC3\xA4\xFF"));
        e->setName("\xC3\xA4");
        EXPECT_EQ(
            visible(written(tree)),
            visible(kPrologue + "<r>\r\n\t<\xC3\xA4 v=\"\xC3\xA4\xEF\xBF\xBD\"/>\r\n</r>\r\n"));
    }
}

TEST(Writer, InvalidNamesThrowAfterWhatCameBefore) {
    Tree tree;
    Data* e = single(tree);
    e->setName("1a");
    EXPECT_EQ(visible(writtenUntilFailure(tree)), visible(kPrologue + "<r>\r\n\t"));
    EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "1a");

    e->setName("e");
    e->setAttribute("a", std::string("1"));
    e->setAttribute("bad name", std::string("2"));
    EXPECT_EQ(visible(writtenUntilFailure(tree)), visible(kPrologue + "<r>\r\n\t<e a=\"1\""));
    EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "bad name");

    Tree badRoot("");
    EXPECT_XML_THROW(written(badRoot), CXMLException::kNameError, 6, "");
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
        e->setAttribute("\xC3\xA4\xEF\xBF\xBD", std::string("1"));
        EXPECT_EQ(visible(written(tree)),
                  visible(kPrologue + "<r>\r\n\t<e \xC3\xA4\xEF\xBF\xBD=\"1\"/>\r\n</r>\r\n"));
        e->setName("e\xC3");
        EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "e\xC3");
    }
    {
        CodePageScope scope(VelXmlN::NarrowCodePage::Windows1252);
        e->setName("e\x81");
        EXPECT_XML_THROW(written(tree), CXMLException::kNameError, 6, "e\x81");
    }
}

TEST(Writer, ControlCharactersAndZeroBytesThrow) {
    // The narrow literals here are UTF-8 (on Windows the System code page is not).
    const CodePageScope utf8(VelXmlN::NarrowCodePage::Utf8);
    Tree tree;
    Data* e = single(tree);
    e->setAttribute("v", std::string("a\x01z"));
    EXPECT_XML_THROW(written(tree), CXMLException::kCharacterError, 10, "a\x01z");
    e->setAttribute("v", std::string("fine"));
    e->setDataPlain("x\x1Fy");
    EXPECT_XML_THROW(written(tree), CXMLException::kCharacterError, 10, "x\x1Fy");

    // The two non-characters at the end of the basic plane: no XML document can hold them.
    e->setDataPlain("x\xEF\xBF\xBF");
    EXPECT_XML_THROW(written(tree), CXMLException::kCharacterError, 10, "x\xEF\xBF\xBF");
    e->setDataPlain("ok");
    e->setAttribute("v", std::string("\xC3\xA4\xEF\xBF\xBE"));
    try {
        written(tree);
        ADD_FAILURE() << "no exception";
    } catch (const CXMLException& error) {
        EXPECT_STREQ(error.what(),
                     "character U+FFFE at byte 2 cannot be written as XML: "
                     "'\xC3\xA4\xEF\xBF\xBE'");
    }
    e->setAttribute("v", std::string("fine"));

    // A zero byte cannot pass through the node library's strings: refused before writing.
    e->setDataPlain(std::string("a\0b", 3));
    std::ostringstream out;
    try {
        tree.putToStream(out);
        ADD_FAILURE() << "no exception";
    } catch (const CXMLException& error) {
        EXPECT_EQ(error.GetCode(), CXMLException::kCharacterError);
        EXPECT_STREQ(error.what(),
                     "control character U+0000 at byte 1 cannot be written as XML: 'a\\x00b'");
    }
    EXPECT_EQ(out.str(), "");
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

// Hostile documents through the three ways in: Tree::buildOfStream, VELXMLN_Read_Tree and
// VELXMLN_ReadFile. Each is refused with the same CXMLException on every way, and the document
// being read into keeps what it had; or, where the hostile part is something the document names,
// it is read without that part and nothing named is opened or contacted.
#include <VelXmlN/Tree.h>
#include <VelXmlN/kasxmln.h>
#include <VelXmlN/velxmln.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/NeverRead.h"
#include "support/TestSupport.h"

using kasxmln::CXMLException;
using testsupport::describe;
using testsupport::visible;
using VelXmlN::Data;
using VelXmlN::Tree;

namespace {

struct Refusal {
    int code;
    std::string message;
};

// The refusal of buildOfStream, which must keep the root and its current node.
Refusal refusalOfStream(const std::string& text) {
    Tree tree("old");
    tree.getRoot()->createChild("kept")->setDataPlain("yes");
    Data* const root = tree.getRoot();
    const std::string before = describe(root);
    tree.open("kept", false);
    Data* const current = tree.getCurrentNode();
    std::istringstream in(text);
    Refusal refusal{0, "not refused"};
    try {
        tree.buildOfStream(in);
    } catch (const CXMLException& thrown) {
        refusal = Refusal{thrown.GetCode(), thrown.GetMessageText()};
    }
    EXPECT_EQ(tree.getRoot(), root);
    EXPECT_EQ(describe(tree.getRoot()), before);
    EXPECT_EQ(tree.getCurrentNode(), current);
    return refusal;
}

// The refusal of the two flat file readers; VELXMLN_Read_Tree must keep the document's root and
// the handles into it.
Refusal refusalOfFiles(const std::string& text, const std::string& folder) {
    const std::string path = folder + "/hostile.xml";
    testsupport::writeFile(path, text);
    const int tree = VELXMLN_Get_Tree("hostile");
    const int root = VELXMLN_Create_Root_Tag(tree, "old");
    const int child = VELXMLN_Add_Child_Tag(root, "kept");
    Refusal fromTree{0, "not refused"};
    try {
        VELXMLN_Read_Tree(tree, path.c_str());
    } catch (const CXMLException& thrown) {
        fromTree = Refusal{thrown.GetCode(), thrown.GetMessageText()};
    }
    EXPECT_EQ(VELXMLN_Get_Root_Tag(tree), root);
    EXPECT_EQ(VELXMLN_Find_Child_Tag(root, "kept"), child);
    VELXMLN_Delete_Tree(tree);

    Refusal fromCurrent{0, "not refused"};
    try {
        VELXMLN_ReadFile(path.c_str());
    } catch (const CXMLException& thrown) {
        fromCurrent = Refusal{thrown.GetCode(), thrown.GetMessageText()};
    }
    VELXMLN_Stop();
    EXPECT_EQ(fromCurrent.code, fromTree.code);
    EXPECT_EQ(fromCurrent.message, fromTree.message);
    return fromTree;
}

// Expects `text` refused on every way with `code` and `message`.
void expectRefused(const std::string& text, int code, const std::string& message) {
    SCOPED_TRACE(visible(text.substr(0, 120)));
    testsupport::ScratchFolder folder;
    const Refusal stream = refusalOfStream(text);
    EXPECT_EQ(stream.code, code);
    EXPECT_EQ(stream.message, message);
    const Refusal files = refusalOfFiles(text, folder.file(""));
    EXPECT_EQ(files.code, code);
    EXPECT_EQ(files.message, message);
}

std::string laughs(const char* kind) {
    const std::string percent = kind;
    std::string text = "<!DOCTYPE l [<!ENTITY " + percent + "l0 'lol'>";
    for (int i = 1; i <= 9; ++i) {
        text += "<!ENTITY " + percent + "l" + std::to_string(i) + " '";
        for (int k = 0; k < 10; ++k) {
            text += (percent.empty() ? "&l" : "%l") + std::to_string(i - 1) + ";";
        }
        text += "'>";
    }
    return text;
}

}  // namespace

TEST(HostileDocuments, EntityBombsAreRefusedOnEveryWayIn) {
    expectRefused(laughs("") + "]><l>&l9;</l>", CXMLException::kParseError,
                  "parser has encountered more than '10000' entity expansions in the document; "
                  "this is the limit imposed by the application at line 1, column 536");
    // Parameter entities can only nest through an external subset, which is never read.
    expectRefused(laughs("% ") + "%l9;]><l/>", CXMLException::kParseError,
                  "parameter entity references are not allowed inside markup in internal subset "
                  "at line 1, column 50");
    // Quadratic blow-up: one large entity referred to many times.
    std::string quadratic = "<!DOCTYPE a [<!ENTITY e '" + std::string(50000, 'x') + "'>]><a>";
    for (int i = 0; i < 10000; ++i) {
        quadratic += "&e;";
    }
    expectRefused(quadratic + "</a>", CXMLException::kLimitError,
                  "the document expands to more than 100 times its own size (entity expansion) "
                  "at line 1, column 50537");
}

TEST(HostileDocuments, BrokenEncodingsAreRefusedOnEveryWayIn) {
    expectRefused(
        "<?xml version='1.0' encoding='no-such-encoding'?><a/>", CXMLException::kParseError,
        "unable to create converter for 'NO-SUCH-ENCODING' encoding at line 1, column 50");
    expectRefused("<?xml version='1.0' encoding='UTF-8'?><a>caf\xE9</a>",
                  CXMLException::kParseError, "invalid UTF-8 (bytes E9 3C) at line 1, column 45");
    // A sequence cut by the end of the text, after the root, on the fast path and the other one.
    expectRefused("<a/>\xE2\x82", CXMLException::kParseError,
                  "comment or processing instruction expected at line 1, column 5");
    expectRefused("<!DOCTYPE a [<!ELEMENT a EMPTY>]><a/>\xE2\x82", CXMLException::kParseError,
                  "invalid UTF-8 (the text ends inside the sequence E2 82) at line 1, column 38");
    expectRefused("<?xml version='1.0' encoding='US-ASCII'?><a>caf\xC3\xA9</a>",
                  CXMLException::kParseError,
                  "invalid character 0xC3 in a US-ASCII document at line 1, column 48");
    expectRefused(std::string("\xFF\xFE<\0a\0>\0", 8), CXMLException::kParseError,
                  "input ended before all started tags were ended; last tag started is 'a' at "
                  "line 1, column 4");
}

TEST(HostileDocuments, ZeroBytesAndControlCharactersAreRefusedOnEveryWayIn) {
    using namespace std::string_literals;
    expectRefused("<a>x\0y</a>"s, CXMLException::kParseError,
                  "invalid character 0x0 at line 1, column 6");
    // After the root too, on the fast path and on the other one, in any byte encoding.
    expectRefused("<a/>\n\0"s, CXMLException::kParseError,
                  "invalid character 0x0 at line 2, column 1");
    expectRefused("<!DOCTYPE a [<!ELEMENT a EMPTY>]><a/>\0"s, CXMLException::kParseError,
                  "invalid character 0x0 at line 1, column 38");
    expectRefused("<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>\0x"s,
                  CXMLException::kParseError, "invalid character 0x0 at line 1, column 52");
    expectRefused("<a b='\0'/>"s, CXMLException::kParseError,
                  "unexpected end of input at line 1, column 8");
    expectRefused("<a>\x1B[31m</a>", CXMLException::kParseError,
                  "invalid character 0x1B at line 1, column 5");
    expectRefused("<a b='\x07'/>", CXMLException::kParseError,
                  "invalid character 0x7 in attribute value 'b' at line 1, column 8");
    expectRefused("<a>&#1;</a>", CXMLException::kParseError,
                  "invalid character reference at line 1, column 8");
}

TEST(HostileDocuments, EveryTruncationOfADocumentIsRefusedOnEveryWayIn) {
    const std::string whole =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE p [<!ENTITY e \"x\">]>\n"
        "<p a=\"1\"><!-- c --><q b='&amp;'>&e;\xC3\xA9<![CDATA[<]]></q><?pi?>t</p>";
    testsupport::ScratchFolder folder;
    for (std::size_t length = 1; length < whole.size(); ++length) {
        const std::string part = whole.substr(0, length);
        SCOPED_TRACE(part);
        const Refusal stream = refusalOfStream(part);
        EXPECT_TRUE(stream.code == CXMLException::kParseError) << stream.message;
        const Refusal files = refusalOfFiles(part, folder.file(""));
        EXPECT_EQ(files.code, stream.code);
        EXPECT_EQ(files.message, stream.message);
    }
}

// What a document names is left out, on every way in, and nothing named is opened or contacted.
TEST(HostileDocuments, NamedFilesAndAddressesAreNeverReadOnAnyWayIn) {
    testsupport::ScratchFolder secrets;
    std::string secretFolder = secrets.file("");
    secretFolder.pop_back();
    const std::string leak = "<!ATTLIST item leaked CDATA \"yes\">";
    testsupport::writeFile(secrets.file("secret.dtd"), leak);
    testsupport::writeFile(secrets.file("parameters.ent"), leak);
    testsupport::writeFile(secrets.file("text.ent"), "<item leaked=\"yes\"/>");
    testsupport::writeFile(secrets.file("schema.xsd"), "<xs:schema/>");
    testsupport::ScratchFolder folder;
    const testsupport::Listener network;
    const std::string text = testsupport::substitute(
        testsupport::substitute(testsupport::kNaming, "{secrets}", secretFolder), "{net}",
        network.url());
    const std::string path = folder.file("doc.xml");
    testsupport::writeFile(path, text);
    const testsupport::FolderWatch watch(secretFolder);

    Tree tree;
    std::istringstream in(text);
    tree.buildOfStream(in);
    const std::string expected = describe(tree.getRoot());
    EXPECT_EQ(expected.find("leaked"), std::string::npos) << expected;
    EXPECT_NE(expected.find("item{a=\"1\" }"), std::string::npos) << expected;

    const int handle = VELXMLN_Get_Tree("named");
    VELXMLN_Read_Tree(handle, path.c_str());
    const int item = VELXMLN_Find_Child_Tag(VELXMLN_Get_Root_Tag(handle), "item");
    char value[16];
    int length = 0;
    VELXMLN_Get_Attribute(item, "leaked", value, sizeof value, &length);
    EXPECT_EQ(length, 0);
    VELXMLN_Get_Attribute(item, "a", value, sizeof value, &length);
    EXPECT_EQ(std::string(value), "1");
    VELXMLN_Delete_Tree(handle);

    EXPECT_EQ(VELXMLN_ReadFile(path.c_str()), 1);
    VELXMLN_Stop();

    EXPECT_FALSE(watch.touched()) << "a file the document names was opened";
    EXPECT_EQ(network.contacts(), 0) << "an address the document names was contacted";
}

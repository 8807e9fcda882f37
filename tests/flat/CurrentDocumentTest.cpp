// The flat functions on the current document: refusals, moving the current element, values as
// text, integers and reals, caller buffers, and reading files.
#include <VelXmlN/velxmln.h>

#include <VelXmlN/kasxmln.h>

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testsupport::readFile;
using testsupport::ScratchFolder;
using testsupport::writeFile;

namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

class CurrentDocument : public ::testing::Test {
  protected:
    CurrentDocument() { VELXMLN_Stop(); }
    ~CurrentDocument() override { VELXMLN_Stop(); }

    // The current element's text, or "<refused>".
    static std::string text() {
        char buffer[256];
        return VELXMLN_GetText(buffer, sizeof buffer, nullptr) == 1 ? buffer : "<refused>";
    }

    static std::string attribute(const char* name) {
        char buffer[256];
        return VELXMLN_GetAttributeText(name, buffer, sizeof buffer, nullptr) == 1 ? buffer
                                                                                   : "<refused>";
    }

    // The current document as written to a file.
    std::string written() {
        const std::string file = scratch / "written.xml";
        EXPECT_EQ(VELXMLN_WriteFile(file.c_str()), 1);
        return readFile(file).value_or("<no file>");
    }

    ScratchFolder scratch;
};

}  // namespace

TEST_F(CurrentDocument, WithoutADocumentOnlyReadOpenAndStopAreCarriedOut) {
    double real = 7.0;
    int integer = 7;
    char buffer[8] = "keep";
    int length = 7;
    const std::string file = scratch / "out.xml";
    EXPECT_EQ(VELXMLN_WriteFile(file.c_str()), 0);
    EXPECT_FALSE(testsupport::readFile(file));
    EXPECT_EQ(VELXMLN_Close(), 0);
    EXPECT_EQ(VELXMLN_GetReal(&real), 0);
    EXPECT_EQ(VELXMLN_SetReal(1.0), 0);
    EXPECT_EQ(VELXMLN_SetRealFormat(1.0, "%g"), 0);
    EXPECT_EQ(VELXMLN_GetInt(&integer), 0);
    EXPECT_EQ(VELXMLN_SetInt(1), 0);
    EXPECT_EQ(VELXMLN_GetText(buffer, sizeof buffer, &length), 0);
    EXPECT_EQ(VELXMLN_SetText("x"), 0);
    EXPECT_EQ(VELXMLN_AddTextLine("x"), 0);
    EXPECT_EQ(VELXMLN_GetAttributeReal("a", &real), 0);
    EXPECT_EQ(VELXMLN_SetAttributeReal("a", 1.0), 0);
    EXPECT_EQ(VELXMLN_SetAttributeRealFormat("a", 1.0, "%g"), 0);
    EXPECT_EQ(VELXMLN_GetAttributeInt("a", &integer), 0);
    EXPECT_EQ(VELXMLN_SetAttributeInt("a", 1), 0);
    EXPECT_EQ(VELXMLN_GetAttributeText("a", buffer, sizeof buffer, &length), 0);
    EXPECT_EQ(VELXMLN_SetAttributeText("a", "x"), 0);
    EXPECT_EQ(VELXMLN_AddAttributeTextLine("a", "x"), 0);
    EXPECT_EQ(real, 7.0);
    EXPECT_EQ(integer, 7);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(length, 7);
    EXPECT_EQ(VELXMLN_Stop(), 1);
    EXPECT_EQ(VELXMLN_Stop(), 1);
    EXPECT_EQ(VELXMLN_Open(nullptr), 0);
    EXPECT_EQ(VELXMLN_Close(), 0) << "a refused Open makes no document";
}

TEST_F(CurrentDocument, OpenAndCloseBuildNestedElements) {
    ASSERT_EQ(VELXMLN_Open("a"), 1);
    ASSERT_EQ(VELXMLN_Open("b"), 1);
    ASSERT_EQ(VELXMLN_Close(), 1);
    ASSERT_EQ(VELXMLN_Open("b"), 1) << "always a new child, even when one of that name exists";
    ASSERT_EQ(VELXMLN_SetText("second"), 1);
    EXPECT_EQ(written(), kHeader + "<a>\r\n\t<b/>\r\n\t<b>second</b>\r\n</a>\r\n");

    // Without a current element, opening the root's name makes the root current again.
    VELXMLN_Close();
    VELXMLN_Close();
    ASSERT_EQ(VELXMLN_Open("a"), 1);
    VELXMLN_SetAttributeInt("n", 1);
    // Another name opens a new child under the root.
    VELXMLN_Close();
    ASSERT_EQ(VELXMLN_Open("c"), 1);
    EXPECT_EQ(written(),
              kHeader + "<a n=\"1\">\r\n\t<b/>\r\n\t<b>second</b>\r\n\t<c/>\r\n</a>\r\n");
}

TEST_F(CurrentDocument, ClosingTheRootLeavesNoCurrentElementUntilTheNextClose) {
    VELXMLN_Open("a");
    VELXMLN_SetText("root text");
    ASSERT_EQ(VELXMLN_Close(), 1);

    // Getters and line appenders refuse; the other setters are carried out and change nothing.
    double real = 5.0;
    int integer = 5;
    char buffer[16];
    EXPECT_EQ(text(), "<refused>");
    EXPECT_EQ(VELXMLN_GetReal(&real), 0);
    EXPECT_EQ(VELXMLN_GetInt(&integer), 0);
    EXPECT_EQ(VELXMLN_AddTextLine("x"), 0);
    EXPECT_EQ(VELXMLN_AddAttributeTextLine("a", "x"), 0);
    EXPECT_EQ(VELXMLN_GetAttributeText("a", buffer, sizeof buffer, nullptr), 0);
    EXPECT_EQ(VELXMLN_SetText("changed"), 1);
    EXPECT_EQ(VELXMLN_SetRealFormat(1.5, "%.1f"), 1);
    EXPECT_EQ(VELXMLN_SetAttributeInt("a", 3), 1);
    EXPECT_EQ(real, 5.0);
    EXPECT_EQ(integer, 5);

    ASSERT_EQ(VELXMLN_Close(), 1);
    EXPECT_EQ(text(), "root text");
    EXPECT_EQ(attribute("a"), "<refused>");
}

TEST_F(CurrentDocument, TextComesBackWholeOrAsAnEmptyStringWithTheFullLength) {
    VELXMLN_Open("a");
    VELXMLN_SetText("hello");
    char buffer[8];
    int length = -1;
    ASSERT_EQ(VELXMLN_GetText(buffer, 6, &length), 1);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(length, 5);

    std::memcpy(buffer, "xxxxxxx", 8);
    length = -1;
    ASSERT_EQ(VELXMLN_GetText(buffer, 5, &length), 1) << "one byte short";
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(length, 5) << "the full length, so that the caller can make room";

    std::memcpy(buffer, "xxxxxxx", 8);
    EXPECT_EQ(VELXMLN_GetText(buffer, 0, &length), 1);
    EXPECT_STREQ(buffer, "xxxxxxx") << "a buffer of no bytes is not written";
    EXPECT_EQ(VELXMLN_GetText(nullptr, 8, &length), 0);

    // The same rules for attributes.
    VELXMLN_SetAttributeText("k", "value");
    length = -1;
    ASSERT_EQ(VELXMLN_GetAttributeText("k", buffer, 5, &length), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(length, 5);
    ASSERT_EQ(VELXMLN_GetAttributeText("k", buffer, 6, &length), 1);
    EXPECT_STREQ(buffer, "value");
    EXPECT_EQ(VELXMLN_GetAttributeText("missing", buffer, 8, &length), 0);
    EXPECT_EQ(VELXMLN_GetAttributeText("k", nullptr, 8, &length), 0);
}

TEST_F(CurrentDocument, NumbersAndFormats) {
    VELXMLN_Open("a");
    double real = -1.0;
    int integer = -1;
    EXPECT_EQ(VELXMLN_SetReal(0.1), 1);
    EXPECT_EQ(text(), "0.10000000000000000555");
    VELXMLN_SetText("  12.75abc");
    EXPECT_EQ(VELXMLN_GetReal(&real), 1);
    EXPECT_EQ(real, 12.75);
    EXPECT_EQ(VELXMLN_GetInt(&integer), 1);
    EXPECT_EQ(integer, 12);
    VELXMLN_SetText("abc");
    EXPECT_EQ(VELXMLN_GetReal(&real), 1) << "no number is still a carried-out read";
    EXPECT_EQ(real, 0.0);
    EXPECT_EQ(VELXMLN_GetReal(nullptr), 0);
    EXPECT_EQ(VELXMLN_GetInt(nullptr), 0);
    EXPECT_EQ(VELXMLN_SetText(nullptr), 0);
    EXPECT_EQ(text(), "abc");

    // Refused formats change nothing and throw nothing.
    EXPECT_EQ(VELXMLN_SetRealFormat(3.14159, "%.2f"), 1);
    EXPECT_EQ(VELXMLN_SetAttributeRealFormat("r", -0.0001, "%.2f"), 1);
    EXPECT_EQ(attribute("r"), "0.00") << "a negative zero is made positive";
    for (const char* format : {"%d", "%f %f", "%.5000f", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(VELXMLN_SetRealFormat(1.0, format), 0);
        EXPECT_EQ(VELXMLN_SetAttributeRealFormat("r", 1.0, format), 0);
    }
    EXPECT_EQ(VELXMLN_SetAttributeRealFormat(nullptr, 1.0, "%g"), 0);
    EXPECT_EQ(text(), "3.14");
    EXPECT_EQ(attribute("r"), "0.00");
    // The answer does not depend on whether there is an element to change.
    VELXMLN_Close();
    EXPECT_EQ(VELXMLN_SetRealFormat(1.0, "%d"), 0);
    EXPECT_EQ(VELXMLN_SetRealFormat(1.0, "%g"), 1);
}

TEST_F(CurrentDocument, LinesAreAppendedAfterALineFeed) {
    VELXMLN_Open("a");
    EXPECT_EQ(VELXMLN_AddTextLine("x"), 1);
    EXPECT_EQ(text(), "x");
    EXPECT_EQ(VELXMLN_AddTextLine("y"), 1);
    EXPECT_EQ(text(), "x\ny");
    EXPECT_EQ(VELXMLN_AddTextLine(" z "), 1);
    EXPECT_EQ(text(), "x\ny\n z") << "stored as SetText does: trimmed at both ends";
    EXPECT_EQ(VELXMLN_AddTextLine(nullptr), 0);

    EXPECT_EQ(VELXMLN_AddAttributeTextLine("lines", "first"), 1);
    EXPECT_EQ(attribute("lines"), "first") << "a missing attribute is created";
    EXPECT_EQ(VELXMLN_AddAttributeTextLine("lines", " second "), 1);
    EXPECT_EQ(attribute("lines"), "first\n second ") << "attribute texts are kept unchanged";
    EXPECT_EQ(VELXMLN_AddAttributeTextLine(nullptr, "x"), 0);
    EXPECT_EQ(VELXMLN_AddAttributeTextLine("lines", nullptr), 0);
}

TEST_F(CurrentDocument, AttributesAsTextIntegersAndReals) {
    VELXMLN_Open("a");
    EXPECT_EQ(VELXMLN_SetAttributeText("t", " kept as is "), 1);
    EXPECT_EQ(attribute("t"), " kept as is ");
    EXPECT_EQ(VELXMLN_SetAttributeInt("i", -12), 1);
    EXPECT_EQ(VELXMLN_SetAttributeReal("z", -0.0), 1);
    EXPECT_EQ(attribute("z"), "0");

    double real = 9.0;
    int integer = 9;
    VELXMLN_SetAttributeText("mixed", "2.5abc");
    EXPECT_EQ(VELXMLN_GetAttributeReal("mixed", &real), 1);
    EXPECT_EQ(real, 2.5);
    EXPECT_EQ(VELXMLN_GetAttributeInt("mixed", &integer), 1);
    EXPECT_EQ(integer, 2);
    real = 9.0;
    integer = 9;
    EXPECT_EQ(VELXMLN_GetAttributeReal("missing", &real), 0);
    EXPECT_EQ(VELXMLN_GetAttributeInt("missing", &integer), 0);
    EXPECT_EQ(real, 9.0) << "a missing attribute leaves the variable alone";
    EXPECT_EQ(integer, 9);
    EXPECT_EQ(VELXMLN_GetAttributeReal("mixed", nullptr), 0);
    EXPECT_EQ(VELXMLN_GetAttributeInt(nullptr, &integer), 0);
    EXPECT_EQ(VELXMLN_SetAttributeText("t", nullptr), 0);
    EXPECT_EQ(VELXMLN_SetAttributeInt(nullptr, 1), 0);

    // Setting an existing attribute keeps its place.
    VELXMLN_SetAttributeInt("t", 1);
    EXPECT_EQ(written(), kHeader + "<a t=\"1\" i=\"-12\" z=\"0\" mixed=\"2.5abc\"/>\r\n");
}

TEST_F(CurrentDocument, ReadingReplacesTheDocumentWhateverHappens) {
    const std::string file = scratch / "in.xml";
    writeFile(file, "<doc version=\"2\">\n  <item>first</item>\n</doc>\n");
    VELXMLN_Open("old");
    ASSERT_EQ(VELXMLN_ReadFile(file.c_str()), 1);
    EXPECT_EQ(text(), "<refused>") << "a read document has no current element";
    VELXMLN_Close();
    int version = 0;
    EXPECT_EQ(VELXMLN_GetAttributeInt("version", &version), 1);
    EXPECT_EQ(version, 2);
    VELXMLN_Open("item");
    EXPECT_EQ(text(), "") << "Open makes a new child, it does not find one";

    // A null name is refused without touching the document; a missing file ends it.
    EXPECT_EQ(VELXMLN_ReadFile(nullptr), 0);
    EXPECT_EQ(VELXMLN_Close(), 1);
    EXPECT_EQ(VELXMLN_ReadFile((scratch / "missing.xml").c_str()), 0);
    EXPECT_EQ(VELXMLN_Close(), 1) << "an empty current document is left";
    EXPECT_EQ(text(), "<refused>") << "without a root, closing finds no element";
    EXPECT_EQ(VELXMLN_ReadFile(scratch.path().c_str()), 0) << "a folder is no file";

    // A malformed file: the exception passes out and the new, empty document stays.
    writeFile(file, "<doc><unclosed></doc>");
    VELXMLN_Open("old");
    EXPECT_THROW(VELXMLN_ReadFile(file.c_str()), kasxmln::CXMLException);
    EXPECT_EQ(VELXMLN_Close(), 1);
    EXPECT_EQ(text(), "<refused>");
    EXPECT_EQ(VELXMLN_WriteFile(file.c_str()), 0) << "a document without a root is not written";
}

// Sax2Interface alone: local names, fatal errors against exceptions, the narrow conversion of keys.
#include "sax/ScanSupport.h"

using testsupport::Maps;
using Texts = std::vector<std::string>;

namespace {

TEST(Sax2Interface, KeysAndElementsByLocalName) {
    testsupport::ScanFolder folder;
    VelXmlN::Sax2Interface scanner(folder.write(
        "doc.xml",
        "<root xmlns:p=\"urn:p\"><p:item p:id=\"1\" id=\"2\"/><item id=\"3\" p:id=\"4\"/></root>"));
    // Of two attributes with one local name, the one the parser reports later wins.
    EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"id", "2"}}, {{"id", "4"}}}));
    EXPECT_EQ(scanner.getAttributes("root/p:item"), Maps{});
    EXPECT_EQ(scanner.getAttributes("root"), Maps{{}})
        << "namespace declarations are no attributes";
}

TEST(Sax2Interface, FatalErrorsPerScanExceptionsAcrossScans) {
    testsupport::ScanFolder folder;
    const std::string truncated = "<root><item a=\"1\"/><item a=\"2\"/><item a=";
    const std::string file = folder.write("doc.xml", truncated);
    VelXmlN::Sax2Interface scanner(file);
    EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"a", "1"}}, {{"a", "2"}}}));
    ASSERT_EQ(scanner.getErrorTexts().size(), 1u);
    EXPECT_FALSE(scanner.getErrorTexts()[0].empty());
    EXPECT_EQ(scanner.getExceptions(), Texts{});

    folder.write("doc.xml", "<root><item/></root>");
    EXPECT_EQ(scanner.getAttributes("root/item"), Maps{{}});
    EXPECT_EQ(scanner.getErrorTexts(), Texts{});

    folder.write("doc.xml", truncated);
    scanner.getAttributes("root/item");
    EXPECT_EQ(scanner.getErrorTexts().size(), 1u);
    std::string deep;
    for (int level = 0; level < 1001; ++level) {
        deep += "<b>";
    }
    folder.write("doc.xml", deep);
    const std::string refused =
        "element 'b' is nested deeper than the limit of 1000 levels at "
        "line 1, column 3004 of file '" +
        file + "'";
    EXPECT_EQ(scanner.getAttributes("b"), Maps{});
    EXPECT_EQ(scanner.getErrorTexts(), Texts{}) << "only the fatal errors of the latest scan";
    EXPECT_EQ(scanner.getAttributes("b"), Maps{});
    EXPECT_EQ(scanner.getExceptions(), (Texts{refused, refused}));
}

TEST(Sax2Interface, KeysThatReadAlikeKeepTheValueOfTheLaterWideKey) {
    testsupport::ScanFolder folder;
    testsupport::CodePageScope windows(VelXmlN::NarrowCodePage::Windows1252);
    // U+5B57 and U+540D both read as "?"; U+5B57 sorts later, whatever the order in the file.
    VelXmlN::Sax2Interface scanner(folder.write(
        "doc.xml", "<root a\xE5\xAD\x97=\"later\" a\xE5\x90\x8D=\"earlier\" b=\"1\"/>"));
    EXPECT_EQ(scanner.getAttributes("root"), (Maps{{{"a?", "later"}, {"b", "1"}}}));
}

}  // namespace

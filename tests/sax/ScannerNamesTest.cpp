// What differs between the scanners: Sax2Interface keys elements and attributes by local name and
// narrows keys that can read alike; SaxInterface keeps names as the node library delivers them.
// (Fatal errors against exceptions are in BadInputTest.)
#include "sax/ScanSupport.h"

using testsupport::Maps;

namespace {

TEST(Sax2Interface, KeysAndElementsByLocalName) {
    testsupport::ScratchFolder folder;
    VelXmlN::Sax2Interface scanner(folder.write(
        "doc.xml",
        "<root xmlns:p=\"urn:p\"><p:item p:id=\"1\" id=\"2\"/><item id=\"3\" p:id=\"4\"/></root>"));
    // Of two attributes with one local name, the one the parser reports later wins.
    EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"id", "2"}}, {{"id", "4"}}}));
    EXPECT_EQ(scanner.getAttributes("root/p:item"), Maps{});
    EXPECT_EQ(scanner.getAttributes("root"), Maps{{}})
        << "namespace declarations are no attributes";
}

TEST(Sax2Interface, KeysThatReadAlikeKeepTheValueOfTheLaterWideKey) {
    testsupport::ScratchFolder folder;
    testsupport::CodePageScope windows(VelXmlN::NarrowCodePage::Windows1252);
    // U+5B57 and U+540D both read as "?"; U+5B57 sorts later, whatever the order in the file.
    VelXmlN::Sax2Interface scanner(folder.write(
        "doc.xml", "<root a\xE5\xAD\x97=\"later\" a\xE5\x90\x8D=\"earlier\" b=\"1\"/>"));
    EXPECT_EQ(scanner.getAttributes("root"), (Maps{{{"a?", "later"}, {"b", "1"}}}));
}

TEST(SaxInterface, NamesAsTheNodeLibraryDeliversThem) {
    testsupport::ScratchFolder folder;
    VelXmlN::SaxInterface scanner(folder.write(
        "doc.xml",
        "<root xmlns:p=\"urn:p\"><p:item p:id=\"1\" id=\"2\"/><item id=\"3\" p:id=\"4\"/></root>"));
    EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"id", "3"}, {"p:id", "4"}}}));
    EXPECT_EQ(scanner.getAttributes("root/p:item"), (Maps{{{"id", "2"}, {"p:id", "1"}}}));
    EXPECT_EQ(scanner.getAttributes("root"), (Maps{{{"xmlns:p", "urn:p"}}}));
}

}  // namespace

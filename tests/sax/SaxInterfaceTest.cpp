// SaxInterface alone: names exactly as the node library delivers them.
#include "sax/ScanSupport.h"

using testsupport::Maps;

namespace {

TEST(SaxInterface, NamesAsTheNodeLibraryDeliversThem) {
    testsupport::ScanFolder folder;
    VelXmlN::SaxInterface scanner(folder.write(
        "doc.xml",
        "<root xmlns:p=\"urn:p\"><p:item p:id=\"1\" id=\"2\"/><item id=\"3\" p:id=\"4\"/></root>"));
    EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"id", "3"}, {"p:id", "4"}}}));
    EXPECT_EQ(scanner.getAttributes("root/p:item"), (Maps{{{"id", "2"}, {"p:id", "1"}}}));
    EXPECT_EQ(scanner.getAttributes("root"), (Maps{{{"xmlns:p", "urn:p"}}}));
}

TEST(SaxInterface, AFailureAfterASuccessAddsOneException) {
    testsupport::ScanFolder folder;
    const std::string file = folder.write("doc.xml", "<root a=\"1\"/>");
    VelXmlN::SaxInterface scanner(file);
    EXPECT_EQ(scanner.getAttributes("root"), (Maps{{{"a", "1"}}}));
    folder.write("doc.xml", "<root><item a=\"1\"/><item");
    EXPECT_EQ(scanner.getAttributes("root/item"), Maps{}) << "nothing of a failed scan";
    EXPECT_EQ(scanner.getErrorTexts(), std::vector<std::string>{});
    ASSERT_EQ(scanner.getExceptions().size(), 1u);
    EXPECT_NE(scanner.getExceptions()[0].find(file), std::string::npos);
}

}  // namespace

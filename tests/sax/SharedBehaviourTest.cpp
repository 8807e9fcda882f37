// What both scanners do alike: the same file and path give the same maps in the same order.
#include "sax/ScanSupport.h"

using testsupport::Maps;

namespace {

const char* const kItems =
    "<root id=\"r\"><item a=\"1\" b=\"2\"/><other><item c=\"3\"/></other><item/></root>";

std::string utf16le(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

struct Case {
    const char* what;
    std::string document;
    const char* path;
    Maps expected;
};

std::vector<Case> cases() {
    std::string manyItems = "<root>";
    Maps manyMaps;
    for (int i = 0; i < 40; ++i) {
        manyItems += "<item i=\"" + std::to_string(i) + "\"/><skip/>";
        manyMaps.push_back({{"i", std::to_string(i)}});
    }
    manyItems += "</root>";
    return {
        {"elements at the path, in order", kItems, "root/item", {{{"a", "1"}, {"b", "2"}}, {}}},
        {"paths start at the root", kItems, "item", {}},
        {"a deeper path", kItems, "root/other/item", {{{"c", "3"}}}},
        {"empty names of a path are dropped",
         kItems,
         "/root//item/",
         {{{"a", "1"}, {"b", "2"}}, {}}},
        {"an empty path", kItems, "", {}},
        {"same name nested: exact depth only",
         "<root><a n=\"1\"><a n=\"2\"><a n=\"4\"/></a></a><a n=\"3\"/></root>",
         "root/a",
         {{{"n", "1"}}, {{"n", "3"}}}},
        {"values decoded and normalised, empty values kept",
         "<root z=\"1\" a=\"&lt;&#x41;&amp;&quot;\" B=\"\" t=\"x&#9;y\nz\"/>",
         "root",
         {{{"z", "1"}, {"a", "<A&\""}, {"B", ""}, {"t", "x\ty z"}}}},
        {"comments, instructions, CDATA and text change nothing",
         "<?xml version=\"1.0\"?><!-- c --><root><?pi x?>text<item a=\"1\"><![CDATA[<item "
         "a='2'/>]]></item><!-- <item a=\"3\"/> --></root>",
         "root/item",
         {{{"a", "1"}}}},
        {"UTF-16 with a byte order mark",
         utf16le(kItems),
         "root/item",
         {{{"a", "1"}, {"b", "2"}}, {}}},
        {"non-ASCII names and values in UTF-8",
         "<root><\xC3\xA4 \xC3\xBC=\"\xC3\xB6\xE2\x82\xAC\xF0\x9F\x98\x80\"/></root>",
         "root/\xC3\xA4",
         {{{"\xC3\xBC", "\xC3\xB6\xE2\x82\xAC\xF0\x9F\x98\x80"}}}},
        {"defaults of the internal DTD subset",
         "<!DOCTYPE root [<!ATTLIST item d CDATA \"dflt\">]><root><item a=\"1\"/></root>",
         "root/item",
         {{{"a", "1"}, {"d", "dflt"}}}},
        {"validity errors are ignored",
         "<!DOCTYPE root [<!ELEMENT root EMPTY>]><root><item a=\"1\" x=\"y\"/></root>",
         "root/item",
         {{{"a", "1"}, {"x", "y"}}}},
        {"an external DTD that does not exist is not needed",
         "<!DOCTYPE root SYSTEM \"no/such/folder/missing.dtd\"><root a=\"1\"/>",
         "root",
         {{{"a", "1"}}}},
        {"many elements keep their order", manyItems, "root/item", manyMaps},
    };
}

template <typename Scanner>
class BothScanners : public ::testing::Test {};
TYPED_TEST_SUITE(BothScanners, testsupport::Scanners);

TYPED_TEST(BothScanners, CollectTheAttributesOfTheElementsAtThePath) {
    // The narrow literals here are UTF-8 (on Windows the System code page is not).
    const testsupport::CodePageScope utf8(VelXmlN::NarrowCodePage::Utf8);
    testsupport::ScratchFolder folder;
    for (const Case& test : cases()) {
        SCOPED_TRACE(test.what);
        TypeParam scanner(folder.write("doc.xml", test.document));
        EXPECT_EQ(scanner.getAttributes(test.path), test.expected);
        EXPECT_EQ(scanner.getErrorTexts(), std::vector<std::string>{});
        EXPECT_EQ(scanner.getExceptions(), std::vector<std::string>{});
    }
}

TYPED_TEST(BothScanners, ConvertThroughTheNarrowCodePage) {
    testsupport::ScratchFolder folder;
    testsupport::CodePageScope windows(VelXmlN::NarrowCodePage::Windows1252);
    // U+0100 has no place in Windows-1252 and reads as "?"; the euro sign is byte 80.
    TypeParam scanner(folder.write(
        "doc.xml", "<root><\xC3\xA4 v=\"\xC3\xA4\xE2\x82\xAC\xC4\x80X\" \xC3\xBC=\"\"/></root>"));
    EXPECT_EQ(scanner.getAttributes("root/\xE4"), (Maps{{{"v", "\xE4\x80?X"}, {"\xFC", ""}}}));
}

TYPED_TEST(BothScanners, CopiesAndMovesKeepTheFileAndTheMessages) {
    testsupport::ScratchFolder folder;
    const std::string file = folder.write("doc.xml", "<root a=\"1\"/>");
    TypeParam failed(folder / "missing.xml");
    failed.getAttributes("root");
    const std::vector<std::string> errors = failed.getErrorTexts();
    const std::vector<std::string> exceptions = failed.getExceptions();
    ASSERT_EQ(errors.size() + exceptions.size(), 1u);

    TypeParam copy(failed);
    EXPECT_EQ(copy.getErrorTexts(), errors);
    EXPECT_EQ(copy.getExceptions(), exceptions);

    TypeParam good(file);
    EXPECT_EQ(good.getAttributes("root"), (Maps{{{"a", "1"}}}));
    good = failed;
    EXPECT_EQ(good.getExceptions(), exceptions);
    good = TypeParam(file);
    EXPECT_EQ(good.getAttributes("root"), (Maps{{{"a", "1"}}}));
    EXPECT_EQ(good.getExceptions(), std::vector<std::string>{});
    EXPECT_EQ(failed.getExceptions(), exceptions) << "the copies scan on their own";
}

}  // namespace

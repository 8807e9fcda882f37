// Unreadable and hostile input: no crash, no hang, the messages recorded where each scanner keeps
// them, and the object scans the next file as if nothing had happened.
#include "sax/ScanSupport.h"

#include <filesystem>
#include <random>
#include <type_traits>

using testsupport::Maps;

namespace {

enum class Kind { File, Missing, Directory };

struct BadInput {
    const char* what;
    std::string document;
    Kind kind;
    bool sax2Throws;      // Sax2Interface: an exception rather than a fatal error
    Maps sax2Maps;        // Sax2Interface: the maps of the elements before a fatal error
    std::string message;  // both scanners: the start of our own message; "" for the parser's
};

std::string entities(const std::string& body, const std::string& content) {
    const std::string big(100000, 'x');
    return "<!DOCTYPE root [<!ENTITY a \"" + big + "\"><!ENTITY b \"" + body + "\">]>\n<root>" +
           content + "</root>";
}

std::string repeat(const std::string& text, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

std::vector<BadInput> badInputs() {
    std::string laughs = "<!DOCTYPE root [<!ENTITY l0 \"lol\">";
    for (int level = 1; level <= 6; ++level) {
        laughs += "<!ENTITY l" + std::to_string(level) + " \"" +
                  repeat("&l" + std::to_string(level - 1) + ";", 10) + "\">";
    }
    laughs += "]><root><item/>&l6;</root>";
    std::mt19937 random(6);
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>(random());
    }
    const std::string amplification = "the document expands to more than 100 times its own size";
    return {
        {"missing file", "", Kind::Missing, false, {}, ""},
        {"directory instead of a file", "", Kind::Directory, false, {}, ""},
        {"empty file", "", Kind::File, false, {}, ""},
        {"truncated document",
         "<root><item a=\"1\"/><item a=\"2\"",
         Kind::File,
         false,
         {{{"a", "1"}}},
         ""},
        {"invalid UTF-8", "<root \xC3\x28=\"1\"/>", Kind::File, false, {}, ""},
        {"binary garbage", garbage, Kind::File, false, {}, ""},
        {"entity expansion bomb", laughs, Kind::File, false, {{}}, ""},
        {"entity text amplification",
         entities(repeat("&a;", 100), repeat("&b;", 99)),
         Kind::File,
         true,
         {},
         amplification},
        {"attribute amplification",
         entities("", repeat("<item v=\"&a;\"/>", 200)),
         Kind::File,
         true,
         {},
         amplification},
        {"100,000-deep nesting",
         repeat("<a>", 100000) + repeat("</a>", 100000),
         Kind::File,
         true,
         {},
         "element 'a' is nested deeper than the limit of 1000 levels at line 1, column 3004"},
    };
}

template <typename Scanner>
class BadInputs : public ::testing::Test {};
TYPED_TEST_SUITE(BadInputs, testsupport::Scanners);

TYPED_TEST(BadInputs, AreRecordedAndLeaveTheScannerUsable) {
    constexpr bool sax2 = std::is_same_v<TypeParam, VelXmlN::Sax2Interface>;
    testsupport::ScanFolder folder;
    const std::string file = folder.path("input.xml");
    TypeParam scanner(file);
    std::size_t exceptions = 0;
    for (const BadInput& input : badInputs()) {
        SCOPED_TRACE(input.what);
        std::filesystem::remove(file);
        if (input.kind == Kind::File) {
            folder.write("input.xml", input.document);
        } else if (input.kind == Kind::Directory) {
            std::filesystem::create_directory(file);
        }
        const Maps found = scanner.getAttributes("root/item");
        const bool thrown = !sax2 || input.sax2Throws;
        exceptions += thrown ? 1 : 0;
        ASSERT_EQ(scanner.getExceptions().size(), exceptions);
        EXPECT_EQ(scanner.getErrorTexts().size(), thrown ? 0u : 1u);
        const std::string& message =
            thrown ? scanner.getExceptions().back() : scanner.getErrorTexts().front();
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(found, sax2 ? input.sax2Maps : Maps{});
        // The limits are one set-up shared by both scanners: each refuses with the same message.
        EXPECT_EQ(message.rfind(input.message, 0), 0u) << message;
        if (!input.message.empty()) {
            const std::string where = " of file '" + file + "'";
            EXPECT_EQ(message.substr(message.size() - where.size()), where);
        }

        std::filesystem::remove(file);
        folder.write("input.xml", "<root><item a=\"ok\"/></root>");
        EXPECT_EQ(scanner.getAttributes("root/item"), (Maps{{{"a", "ok"}}}));
        EXPECT_EQ(scanner.getErrorTexts(), std::vector<std::string>{});
        EXPECT_EQ(scanner.getExceptions().size(), exceptions) << "kept across scans";
    }
}

}  // namespace

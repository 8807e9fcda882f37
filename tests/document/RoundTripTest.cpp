// Write then read gives the tree that was written: for random trees, for realistic documents,
// and for the same document in every encoding.
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using testsupport::CodePageScope;
using testsupport::dataPath;
using testsupport::describe;
using testsupport::fileText;
using VelXmlN::Data;
using VelXmlN::EncodeSkip;
using VelXmlN::Tree;

namespace {

std::string written(const Tree& tree) {
    std::ostringstream out;
    tree.putToStream(out);
    return out.str();
}

std::string readAndDescribe(const std::string& text) {
    std::istringstream in(text);
    Tree tree(in);
    return describe(tree.getRoot());
}

// Random trees in the form that survives the text exactly: an element holds either a value
// (without spaces at its ends) or child elements with, between them, texts that are not blank.
// Attribute values hold no tab or line feed (parsers turn those into spaces), and the root has
// no empty-valued attribute (the node library drops those); empty values are written last.
class TreeMaker {
  public:
    explicit TreeMaker(unsigned seed) : random_(seed) {}

    void fill(Data& element, int depth, bool isRoot) {
        static const char* const kNames[] = {"a",     "item",      "_x",          "ns:el",
                                             "b.c-d", "\xC3\xA4l", "\xE4\xB8\xAD"};
        element.setName(kNames[below(7)]);
        std::vector<std::string> empty;
        for (int i = below(4); i > 0; --i) {
            const std::string value = text(false);
            const std::string name = "k" + std::to_string(i);
            if (!value.empty()) {
                element.setAttribute(name, value);
            } else if (!isRoot) {
                empty.push_back(name);
            }
        }
        for (const std::string& name : empty) {
            element.setAttribute(name, std::string());
        }
        const int children = depth > 0 ? below(5) : 0;
        if (children == 0) {
            element.setData(text(true));  // trimmed of spaces
            if (element.getData().find_first_not_of(" \t\n") == std::string::npos) {
                element.setDataPlain("");  // white space only text is not reported
            }
            return;
        }
        for (int i = 0; i < children; ++i) {
            fill(*element.createChild("x"), depth - 1, false);
            if (i + 1 < children && below(3) == 0) {
                element.createChild("")->setDataPlain(text(true) + "p");
            }
        }
    }

  private:
    int below(int bound) { return static_cast<int>(random_() % static_cast<unsigned>(bound)); }

    std::string text(bool content) {
        static const char* const kPieces[] = {"plain",
                                              " ",
                                              "<",
                                              ">",
                                              "&",
                                              "'",
                                              "\"",
                                              "&amp;",
                                              "\xC3\xA9",
                                              "\xE2\x82\xAC",
                                              "\xF0\x9F\x98\x80",
                                              "]]>",
                                              "0.1",
                                              "\t",
                                              "\n"};
        std::string out;
        for (int i = below(6); i > 0; --i) {
            out += kPieces[below(content ? 15 : 13)];
        }
        return out;
    }

    std::mt19937 random_;
};

}  // namespace

TEST(RoundTrip, RandomTreesComeBackEqual) {
    CodePageScope scope(VelXmlN::NarrowCodePage::Utf8);
    for (unsigned seed = 1; seed <= 300; ++seed) {
        TreeMaker maker(seed);
        Tree tree("r");
        maker.fill(*tree.getRoot(), 5, true);
        tree.setEncodeSkip(static_cast<EncodeSkip>(seed % 2 == 0 ? 0 : 6));
        const std::string text = written(tree);
        ASSERT_EQ(readAndDescribe(text), describe(tree.getRoot())) << "seed " << seed << "\n"
                                                                   << text;
    }
}

TEST(RoundTrip, RealisticDocumentsReadWriteReadTheSame) {
    const std::map<std::string, std::string> known{
        {"cdata.xml",
         "script{}\"\"[code{}\"if (a < b && c > d) { say(\"<hi>\"); }\"[],joined{}\"before "
         "<inside> after\"[],only{}\"\"[],]"},
        {"comments-pi.xml", "doc{}\"\"[a{}\"onetwothree\"[],b{attr=\"v\" }\"\"[],]"}};
    for (const char* name : {"config.xml", "records.xml", "mixed-content.xml", "namespaces.xml",
                             "cdata.xml", "comments-pi.xml", "entities.xml"}) {
        std::istringstream in(fileText(dataPath(name)));
        Tree first(in);
        if (known.count(name) != 0) {
            EXPECT_EQ(describe(first.getRoot()), known.at(name));
        }
        const std::string text = written(first);
        EXPECT_EQ(readAndDescribe(text), describe(first.getRoot())) << name;
        std::istringstream again(text);
        EXPECT_EQ(written(Tree(again)), text) << name << ": writing is stable";
    }

    // Tab and line feed reach an attribute value only as references; written as they are, a
    // parser reads them back as spaces. Documented, not worked around.
    std::istringstream in("<a v='x&#9;y&#10;z'/>");
    Tree tree(in);
    EXPECT_EQ(describe(tree.getRoot()), "a{v=\"x\ty\nz\" }\"\"[]");
    EXPECT_EQ(readAndDescribe(written(tree)), "a{v=\"x y z\" }\"\"[]");
}

TEST(RoundTrip, EveryEncodingReadsToTheSameTree) {
    CodePageScope scope(VelXmlN::NarrowCodePage::Windows1252);
    const std::string expected =
        "text{lang=\"fr\" note=\"\xDCn\xEF"
        "c\xF6"
        "d\xE9\" }\"Caf\xE9 \x96 na\xEFve \x93quotes\x94 "
        "\x80"
        "5\"[]";
    for (const char* name :
         {"encoding-utf8.xml", "encoding-utf8-bom.xml", "encoding-utf8-undeclared.xml",
          "encoding-utf16le-bom.xml", "encoding-utf16be-bom.xml", "encoding-utf16le.xml",
          "encoding-utf16be.xml", "encoding-iso-8859-1.xml", "encoding-windows-1252.xml",
          "encoding-us-ascii.xml"}) {
        std::istringstream in(fileText(dataPath(name)));
        Tree tree(in);
        EXPECT_EQ(testsupport::visible(describe(tree.getRoot())), testsupport::visible(expected))
            << name;
        EXPECT_EQ(readAndDescribe(written(tree)), expected) << name;
    }
}

// Path strings built for elements, plain and with attribute predicates, and whether they lead back.
#include <VelXmlN/XPathNavigator.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using VelXmlN::AttributeData;
using VelXmlN::Data;
using VelXmlN::XPathNavigator;

TEST(PathBuild, PlainPathsRunFromTheTopmostElementAndPredicatesGoOnEveryStepWithTheAttribute) {
    Data a("a");
    a.setAttribute("id", "1");
    Data* b = a.createChild("b");
    Data* c = b->createChild("c");
    Data* twin = b->createChild("c");
    c->setAttribute("id", "7");
    c->getAttributes().push_back(new AttributeData("id", "8"));
    b->setAttribute("other", "2");
    const XPathNavigator navigator(b);

    EXPECT_EQ(XPathNavigator::makeXPath(a), "/a");
    EXPECT_EQ(XPathNavigator::makeXPath(*c), "/a/b/c");
    EXPECT_EQ(XPathNavigator::makeXPath(*twin), "/a/b/c") << "no positions are written";
    EXPECT_EQ(navigator.buildXPath(c), "/a/b/c") << "the start element plays no part";
    EXPECT_EQ(XPathNavigator::makeXPath(Data()), "/");
    EXPECT_EQ(navigator.buildXPath(nullptr), "");
    EXPECT_EQ(navigator.buildXPath(nullptr, "id"), "");

    EXPECT_EQ(navigator.buildXPath(c, "id"), "/a[@id='1']/b/c[@id='7']")
        << "the first attribute of the name is written";
    EXPECT_EQ(navigator.buildXPath(c, "missing"), XPathNavigator::makeXPath(*c));
    c->setAttribute("id", "");
    EXPECT_EQ(navigator.buildXPath(c, "id"), "/a[@id='1']/b/c[@id='']");

    b->setName("x/y");
    EXPECT_EQ(XPathNavigator::makeXPath(*c), "/a/x/y/c") << "names go in unescaped";
}

TEST(PathBuild, BuiltPathsSelectTheirElementUnlessAValueHoldsQuoteOrSlash) {
    Data doc("doc");
    std::vector<Data*> names;
    for (const char* id : {"1", "2", "it", "it's", "a/b"}) {
        Data* item = doc.createChild("item");
        item->setAttribute("id", id);
        names.push_back(item->createChild("name"));
    }
    const XPathNavigator navigator(&doc);

    EXPECT_EQ(navigator.select(navigator.buildXPath(names[1], "id")), std::vector<Data*>{names[1]});
    EXPECT_EQ(navigator.select(XPathNavigator::makeXPath(*names[1])), names)
        << "a plain path names every element with the same names";

    const std::string quoted = navigator.buildXPath(names[3], "id");
    EXPECT_EQ(quoted, "/doc/item[@id='it's']/name");
    EXPECT_EQ(navigator.select(quoted), std::vector<Data*>{names[2]})
        << "the value read back ends at the second quote";

    const std::string slashed = navigator.buildXPath(names[4], "id");
    EXPECT_EQ(slashed, "/doc/item[@id='a/b']/name");
    EXPECT_TRUE(navigator.select(slashed).empty()) << "the slash splits the step";
}

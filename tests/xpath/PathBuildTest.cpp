// Path strings built for elements, plain and with attribute predicates, and whether they lead back.
#include <VelXmlN/XPathNavigator.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

TEST(PathBuild, BuiltPathsSelectTheirElementUnlessAValueHoldsAQuote) {
    Data doc("doc");
    std::vector<Data*> names;
    for (const char* id : {"1", "2", "it", "it's"}) {
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
}

TEST(PathBuild, PathsBuiltForRandomValuesWithSlashesSelectTheirElement) {
    std::mt19937 random(11);
    const std::vector<std::string> values = {
        "/", "a/b", "text/plain", "/usr/share/", "//", "x]/y", "[/]", "=/=", "1"};
    for (int round = 0; round < 100; ++round) {
        Data root("r");
        std::vector<Data*> all{&root};
        for (int i = 0; i < 30; ++i) {
            Data* child = all[random() % all.size()]->createChild(random() % 2 ? "a" : "b");
            if (random() % 4 != 0) {
                child->setAttribute("k", values[random() % values.size()]);
            }
            all.push_back(child);
        }
        const XPathNavigator navigator(&root);
        for (const Data* element : all) {
            const std::string path = navigator.buildXPath(element, "k");
            const std::vector<Data*> found = navigator.select(path);
            EXPECT_NE(std::find(found.begin(), found.end(), element), found.end()) << path;
        }
    }
}

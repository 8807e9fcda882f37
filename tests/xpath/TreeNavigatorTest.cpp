// Navigators made from documents.
#include <VelXmlN/Tree.h>
#include <VelXmlN/XPathNavigator.h>

#include <gtest/gtest.h>

#include <sstream>

using VelXmlN::Data;
using VelXmlN::Tree;
using VelXmlN::XPathNavigator;

TEST(TreeNavigator, BoundToTheRootAtCreation) {
    std::istringstream text("<doc><item id='1'/><item id='2'><name/></item></doc>");
    Tree tree(text);
    const auto navigator = tree.createNavigator();
    const auto items = navigator->select("/doc/item[@id='2']/name");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(XPathNavigator::makeXPath(*items[0]), "/doc/item/name");

    // A later root does not move a navigator that already exists.
    Data* oldRoot = tree.getRoot();
    tree.setRoot(new Data("other"));
    EXPECT_EQ(navigator->select("/doc").size(), 1u);
    EXPECT_EQ(tree.createNavigator()->select("/other").size(), 1u);
    delete oldRoot;
}

TEST(TreeNavigator, NoRootSelectsNothing) {
    EXPECT_TRUE(Tree().createNavigator()->select("/").empty());
}

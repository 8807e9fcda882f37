// Tree::buildOfStream: what each construct becomes, where reading starts, and what becomes of
// the current node when the root is replaced.
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/TestSupport.h"

using testsupport::dataPath;
using testsupport::describe;
using testsupport::fileText;
using VelXmlN::Data;
using VelXmlN::Tree;

namespace {

std::string readBack(const std::string& text) {
    std::istringstream in(text);
    Tree tree(in);
    return describe(tree.getRoot());
}

}  // namespace

TEST(Reader, AttributesAndAnOnlyTextBecomeValuesTrimmedOfSpaces) {
    EXPECT_EQ(readBack("<a x='1'> hello </a>"), "a{x=\"1\" }\"hello\"[]");
    EXPECT_EQ(readBack("<a>\t tab stays \t</a>"), "a{}\"\t tab stays \t\"[]");
    EXPECT_EQ(readBack("<a></a>"), "a{}\"\"[]");
    EXPECT_EQ(readBack("<a/>"), "a{}\"\"[]");
    EXPECT_EQ(readBack("<a><b>1</b><b>2</b></a>"), "a{}\"\"[b{}\"1\"[],b{}\"2\"[],]");

    std::istringstream in("<a x='1' y=''/>");
    Tree tree(in);
    const Data* root = tree.getRoot();
    ASSERT_EQ(root->getAttributes().size(), 2u);
    EXPECT_TRUE(root->getAttributes()[1]->getEntityFlag());
    EXPECT_FALSE(root->getAttributes()[1]->getSelect());
    EXPECT_EQ(root->getAttributes()[1]->getPointer(), nullptr);
    EXPECT_TRUE(root->getEntityFlag());
    EXPECT_EQ(root->getParent(), nullptr);
}

TEST(Reader, TextsBesideElementsBecomeNamelessChildrenUnchanged) {
    EXPECT_EQ(readBack("<a> one <b/> two </a>"), "a{}\"\"[{}\" one \"[],b{}\"\"[],{}\" two \"[],]");
    std::istringstream in(fileText(dataPath("mixed-content.xml")));
    Tree tree(in);
    const Data* first = tree.getRoot()->getChildren()[0];
    ASSERT_EQ(first->getChildren().size(), 5u);
    EXPECT_EQ(first->getChildren()[0]->getData(), "Plain text with ");
    EXPECT_EQ(first->getChildren()[0]->getParent(), first);
    EXPECT_EQ(first->getChildren()[4]->getData(), " words, and a trailing tail.");
    EXPECT_EQ(tree.getRoot()->getChildren()[3]->getData(), "only text");
}

TEST(Reader, ReadsFromTheStreamPositionAndKeepsTheRootOnAnEmptyRest) {
    std::istringstream in("garbage<a>x</a>");
    in.seekg(7);
    Tree tree(in);
    EXPECT_EQ(describe(tree.getRoot()), "a{}\"x\"[]");
    tree.buildOfStream(in);  // at the end now: nothing changes
    EXPECT_EQ(describe(tree.getRoot()), "a{}\"x\"[]");
}

TEST(Reader, ReplacingTheRootClearsACurrentNodeThatLayInIt) {
    Tree tree("old");
    tree.setCurrentNode(tree.getRoot()->createChild("inside"));
    std::istringstream first("<new/>");
    tree.buildOfStream(first);
    EXPECT_EQ(tree.getRoot()->getName(), "new");
    EXPECT_EQ(tree.getCurrentNode(), nullptr);

    Data outside("outside");
    tree.setCurrentNode(&outside);
    std::istringstream second("<newer/>");
    tree.buildOfStream(second);
    EXPECT_EQ(tree.getCurrentNode(), &outside) << "a node outside the tree is left alone";
}

// Tree: building with open and close, the forwarders, replaced roots, copies and the output file
// mode. What reading makes of each construct is held to the node library's reading by
// ReaderEquivalenceTest.
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#include <ios>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

using kasxmln::CXMLException;
using testsupport::describe;
using VelXmlN::Data;
using VelXmlN::Tree;

TEST(Tree, OpenAndCloseMoveTheCurrentNode) {
    Tree tree;
    Data* root = tree.open("doc", false);
    EXPECT_EQ(root, tree.getRoot());
    EXPECT_EQ(root->getName(), "doc");
    Data* child = tree.open("doc", false);
    EXPECT_EQ(child->getParent(), root) << "a second open builds a child of that name";
    tree.close();
    EXPECT_EQ(tree.getCurrentNode(), root);
    EXPECT_EQ(tree.open("doc", false), child) << "the first child of that name";
    tree.close();
    EXPECT_NE(tree.open("doc", true), child) << "forceNew appends another";
    tree.close();
    tree.close();
    EXPECT_EQ(tree.getCurrentNode(), nullptr) << "closing at the root leaves no current node";
    tree.setValue(1.5, "%g");  // no current node: nothing happens
    EXPECT_EQ(root->getData(), "");
    EXPECT_EQ(tree.open("doc", true), root) << "the root is found again by name";
    tree.close();
    tree.close();
    EXPECT_EQ(tree.getCurrentNode(), root) << "closing without a current node lands on the root";
    EXPECT_EQ(root->getChildren().size(), 2u);

    Tree other("root");
    EXPECT_EQ(other.open("x", false)->getParent(), other.getRoot())
        << "a root of another name becomes current and gets the child";
}

TEST(Tree, ForwardersActOnTheCurrentNodeOrNothing) {
    Tree tree("doc");
    EXPECT_EQ(tree.findAttribute("a"), nullptr);
    tree.setAttribute("a", 1.5);  // no current node
    EXPECT_TRUE(tree.getRoot()->getAttributes().empty());
    tree.open("doc", false);
    Data* item = tree.open("item", false);
    tree.setValue(2.25, "%8.3f");
    tree.setAttribute("a", -0.0);
    tree.setAttribute("b", 1.0 / 3.0, "%.2f");
    EXPECT_EQ(describe(item), "item{a=\"0\" b=\"0.33\" }\"2.250\"[]");
    EXPECT_EQ(tree.findAttribute("b"), item->findAttribute("b"));
    item->createChild("x");
    item->createChild("y");
    tree.remove("x");
    EXPECT_EQ(describe(item), "item{a=\"0\" b=\"0.33\" }\"2.250\"[y{}\"\"[],]");
    tree.flush();
    EXPECT_EQ(describe(item), "item{}\"2.250\"[]");
    EXPECT_EQ(tree.findRoot("item", true), item);
    tree.flushRoot();
    EXPECT_TRUE(tree.getRoot()->getChildren().empty());
}

TEST(Tree, RootOwnershipFollowsSetRootAndCreateRoot) {
    Tree tree("first");
    Data* first = tree.getRoot();
    Data* adopted = new Data("adopted");
    tree.setRoot(adopted);
    EXPECT_EQ(tree.getRoot(), adopted);
    delete first;  // handed back to the caller
    tree.setCurrentNode(adopted);
    Data* created = tree.createRoot("created");
    EXPECT_EQ(created->getName(), "created");
    EXPECT_EQ(tree.getCurrentNode(), nullptr) << "it lay in the destroyed root";
}

TEST(Tree, ReadingANewRootClearsACurrentNodeThatLayInTheOldOne) {
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

TEST(Tree, CopyFromGoesThroughTheText) {
    Tree source("src");
    source.setEncodeSkip(VelXmlN::EncodeSkipAmpersand);
    Data* item = source.getRoot()->createChild("item");
    item->setDataPlain("  padded  ");
    item->setAttribute("flag", 1, false);
    item->setSelect(true);
    item->setPointer(&source);
    Tree copy;
    copy.copyFrom(source);
    EXPECT_EQ(describe(copy.getRoot()), "src{}\"\"[item{flag=\"1\" }\"padded\"[],]");
    const Data* copied = copy.getRoot()->getChildren()[0];
    EXPECT_TRUE(copied->getAttributes()[0]->getEntityFlag());
    EXPECT_FALSE(copied->getSelect());
    EXPECT_EQ(copied->getPointer(), nullptr);
    EXPECT_EQ(copy.getEncodeSkip(), VelXmlN::EncodeSkipNone) << "encode skip is not copied";

    Tree empty;
    copy.copyFrom(empty);
    EXPECT_EQ(copy.getName(), "src") << "a tree without root changes nothing";

    Tree broken("bad name");
    EXPECT_THROW(copy.copyFrom(broken), CXMLException);
    EXPECT_EQ(copy.getName(), "src");

    copy.copyFrom(copy);
    EXPECT_EQ(describe(copy.getRoot()), "src{}\"\"[item{flag=\"1\" }\"padded\"[],]");
}

// Callers open their output files with this mode: a file is rewritten, and its line ends are
// written as they are.
TEST(Tree, OutputFilesOpenTruncatedAndBinary) {
    EXPECT_EQ(Tree::getOFStreamOpenMode(),
              static_cast<int>(std::ios_base::out | std::ios_base::binary));
}

// The tree and tag tables on their own: numbering, one handle per element, and handles of
// destroyed elements that never reach freed memory.
#include "flat/HandleTables.h"

#include <VelXmlN/kasxmln.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using VelXmlN::Data;
using VelXmlN::detail::HandleTables;

namespace {

std::istringstream text(const std::string& xml) {
    return std::istringstream(xml);
}

}  // namespace

TEST(HandleTables, TreeHandlesCountUpAndNeverTakeOverALiveDocument) {
    HandleTables tables;
    EXPECT_EQ(tables.getTree("a"), 1);
    EXPECT_EQ(tables.getTree("b"), 2);
    EXPECT_EQ(tables.getTree(""), 3);
    EXPECT_EQ(tables.getTree("b"), 2) << "a name names one document";
    EXPECT_EQ(tables.getTree(""), 3);

    // Deleting the highest: the count plus one is free, numbering goes on as without deletions.
    ASSERT_TRUE(tables.deleteTree(3));
    EXPECT_EQ(tables.tree(3), nullptr);
    EXPECT_EQ(tables.getTree("d"), 3);

    // Deleting a lower one: the count plus one (3) is still "d", so the new document goes above.
    VelXmlN::Tree* d = tables.tree(3);
    ASSERT_TRUE(tables.deleteTree(1));
    EXPECT_EQ(tables.getTree("e"), 4);
    EXPECT_EQ(tables.tree(3), d) << "the live document keeps its handle";
    EXPECT_EQ(tables.getTree("d"), 3);
    ASSERT_TRUE(tables.deleteTree(2));
    EXPECT_EQ(tables.getTree("f"), 5);

    EXPECT_FALSE(tables.deleteTree(1)) << "a handle deleted once is gone";
    EXPECT_FALSE(tables.deleteTree(0));
    EXPECT_FALSE(tables.deleteTree(-1));
    EXPECT_EQ(tables.tree(0), nullptr);
    EXPECT_EQ(tables.treeCount(), 3u);

    // A deleted name is registered anew when asked for again.
    const int again = tables.getTree("a");
    EXPECT_NE(tables.tree(again), nullptr);
    EXPECT_EQ(tables.treeCount(), 4u);
}

TEST(HandleTables, NewElementAtAFreedAddressNeverInheritsItsHandle) {
    HandleTables tables;
    const int tree = tables.getTree("t");
    const int root = tables.createRootTag(tree, "root");
    Data* parent = tables.element(root);
    // Elements made outside the tables get their handles only when asked for: a freed address
    // that is reused by such an element must not be found in the index.
    Data* old = parent->createChild("x");
    const int oldHandle = tables.tagHandleOf(old, root);
    const void* oldAddress = old;
    ASSERT_TRUE(tables.deleteChild(root, "x"));
    bool reused = false;
    for (int i = 0; i < 1000 && !reused; ++i) {
        Data* fresh = parent->createChild("y");
        reused = fresh == oldAddress;
        const int handle = tables.tagHandleOf(fresh, root);
        EXPECT_NE(handle, oldHandle);
        EXPECT_EQ(tables.element(handle), fresh);
    }
    EXPECT_EQ(tables.element(oldHandle), nullptr);
    if (!reused) {
        GTEST_SKIP() << "the allocator never gave the freed address back";
    }
}

// What the C functions cannot show: every way of destroying elements takes their addresses out of
// the index, and only theirs.
TEST(HandleTables, DestroyedElementsLeaveTheIndex) {
    HandleTables tables;
    const int kept = tables.getTree("kept");
    tables.createRootTag(kept, "k");
    const int tree = tables.getTree("t");
    const int detached = tables.createRootTag(tree, "first");
    tables.addChild(detached, "c");
    const int root = tables.createRootTag(tree, "second");
    const int child = tables.addChild(root, "child");
    tables.addChild(tables.addChild(child, "x"), "y");
    EXPECT_EQ(tables.liveTagCount(), 7u);

    EXPECT_TRUE(tables.deleteChild(root, "child"));
    EXPECT_EQ(tables.liveTagCount(), 4u) << "the child and its two descendants";

    auto broken = text("<a><b></a>");
    EXPECT_THROW(tables.readTree(tree, broken), kasxmln::CXMLException);
    auto empty = text("");
    EXPECT_TRUE(tables.readTree(tree, empty));
    EXPECT_EQ(tables.element(root), tables.tree(tree)->getRoot()) << "nothing read, nothing lost";
    auto good = text("<read/>");
    EXPECT_TRUE(tables.readTree(tree, good));
    EXPECT_EQ(tables.element(root), nullptr);
    EXPECT_EQ(tables.liveTagCount(), 3u) << "the replaced root only; the detached one stays";

    ASSERT_TRUE(tables.deleteTree(tree));
    EXPECT_EQ(tables.element(detached), nullptr);
    EXPECT_EQ(tables.liveTagCount(), 1u);
    // A new document under the same number starts with no handles of the old one.
    EXPECT_EQ(tables.getTree("new"), tree);
    EXPECT_EQ(tables.rootTag(tree), -1);
}

TEST(HandleTables, AbandonedDocumentsAreNotDestroyed) {
    auto tables = std::make_unique<HandleTables>();
    const int tree = tables->getTree("t");
    VelXmlN::Tree* document = tables->tree(tree);
    const int root = tables->createRootTag(tree, "first");
    tables->createRootTag(tree, "second");
    Data* detached = tables->element(root);
    tables->abandonDocuments();
    EXPECT_EQ(tables->treeCount(), 0u);
    EXPECT_EQ(tables->tagCount(), 0u);
    tables.reset();
    // Still alive: the caller of abandonDocuments is their owner now.
    EXPECT_EQ(document->getRoot()->getName(), "second");
    EXPECT_EQ(detached->getName(), "first");
    delete document;
    delete detached;
}

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

TEST(HandleTables, TagHandlesCountAcrossDocumentsAndEachElementHasOne) {
    HandleTables tables;
    const int first = tables.getTree("first");
    const int second = tables.getTree("second");
    EXPECT_EQ(tables.rootTag(first), -1) << "a new document has no root";
    EXPECT_EQ(tables.createRootTag(first, "root"), 1);
    EXPECT_EQ(tables.addChild(1, "a"), 2);
    EXPECT_EQ(tables.addChild(1, "b"), 3);
    EXPECT_EQ(tables.createRootTag(second, "other"), 4);
    EXPECT_EQ(tables.rootTag(first), 1) << "the root keeps the handle it was created with";

    // An element built outside the tables gets its handle on first request, then keeps it.
    Data* root = tables.element(1);
    Data* grandchild = tables.element(2)->createChild("c");
    EXPECT_EQ(tables.tagHandleOf(grandchild, 2), 5);
    EXPECT_EQ(tables.tagHandleOf(grandchild, 2), 5);
    EXPECT_EQ(tables.tagHandleOf(root->getChildren()[1], 1), 3);
    EXPECT_EQ(tables.tagHandleOf(nullptr, 1), -1);
    EXPECT_EQ(tables.tagCount(), 5u);

    EXPECT_EQ(tables.element(0), nullptr);
    EXPECT_EQ(tables.element(-1), nullptr);
    EXPECT_EQ(tables.element(6), nullptr);
    EXPECT_EQ(tables.addChild(6, "x"), -1);
    EXPECT_EQ(tables.createRootTag(99, "x"), -1);
}

TEST(HandleTables, DeletingAChildClearsTheHandlesOfItsWholeSubtree) {
    HandleTables tables;
    const int tree = tables.getTree("t");
    const int root = tables.createRootTag(tree, "root");
    const int doomed = tables.addChild(root, "doomed");
    const int child = tables.addChild(doomed, "child");
    const int grandchild = tables.addChild(child, "grandchild");
    const int sibling = tables.addChild(root, "sibling");

    EXPECT_FALSE(tables.deleteChild(root, "missing"));
    EXPECT_TRUE(tables.deleteChild(root, "doomed"));
    EXPECT_EQ(tables.element(doomed), nullptr);
    EXPECT_EQ(tables.element(child), nullptr);
    EXPECT_EQ(tables.element(grandchild), nullptr);
    ASSERT_NE(tables.element(sibling), nullptr);
    EXPECT_EQ(tables.element(sibling)->getName(), "sibling");
    EXPECT_EQ(tables.liveTagCount(), 2u);
    EXPECT_FALSE(tables.deleteChild(doomed, "child")) << "a cleared handle is invalid";

    // New elements, whatever address they land on, get new numbers; the old ones stay invalid.
    for (int i = 0; i < 50; ++i) {
        const int fresh = tables.addChild(root, "fresh");
        EXPECT_EQ(fresh, grandchild + 2 + i);
        EXPECT_EQ(tables.element(child), nullptr);
    }
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

TEST(HandleTables, DeletingATreeClearsEveryHandleInItDetachedRootsIncluded) {
    HandleTables tables;
    const int kept = tables.getTree("kept");
    const int keptRoot = tables.createRootTag(kept, "k");
    const int tree = tables.getTree("t");
    const int firstRoot = tables.createRootTag(tree, "first");
    const int firstChild = tables.addChild(firstRoot, "c");
    const int secondRoot = tables.createRootTag(tree, "second");
    ASSERT_NE(tables.element(firstRoot), nullptr) << "a detached root stays usable";
    EXPECT_EQ(tables.element(firstChild)->getParent(), tables.element(firstRoot));
    EXPECT_EQ(tables.addChild(firstRoot, "d"), secondRoot + 1);
    EXPECT_EQ(tables.rootTag(tree), secondRoot);
    EXPECT_EQ(tables.tree(tree)->getRoot()->getName(), "second");

    ASSERT_TRUE(tables.deleteTree(tree));
    for (int tag = firstRoot; tag <= secondRoot + 1; ++tag) {
        EXPECT_EQ(tables.element(tag), nullptr) << tag;
    }
    EXPECT_NE(tables.element(keptRoot), nullptr);
    EXPECT_EQ(tables.liveTagCount(), 1u);

    // A new document under the same number starts with no handles of the old one.
    EXPECT_EQ(tables.getTree("new"), tree);
    EXPECT_EQ(tables.rootTag(tree), -1);
}

TEST(HandleTables, ReadingReplacesTheRootAndClearsOnlyItsHandles) {
    HandleTables tables;
    const int tree = tables.getTree("t");
    const int oldRoot = tables.createRootTag(tree, "old");
    const int oldChild = tables.addChild(oldRoot, "child");
    const int detached = oldRoot;
    const int currentRoot = tables.createRootTag(tree, "current");
    const int currentChild = tables.addChild(currentRoot, "child");

    // Nothing to read, or a document that cannot be read: nothing changes.
    auto empty = text("");
    EXPECT_TRUE(tables.readTree(tree, empty));
    EXPECT_NE(tables.element(currentChild), nullptr);
    auto broken = text("<a><b></a>");
    EXPECT_THROW(tables.readTree(tree, broken), kasxmln::CXMLException);
    EXPECT_EQ(tables.tree(tree)->getRoot(), tables.element(currentRoot));
    EXPECT_NE(tables.element(currentChild), nullptr);

    auto good = text("<read><x/></read>");
    EXPECT_TRUE(tables.readTree(tree, good));
    EXPECT_EQ(tables.element(currentRoot), nullptr);
    EXPECT_EQ(tables.element(currentChild), nullptr);
    EXPECT_NE(tables.element(detached), nullptr) << "a detached root is not the one replaced";
    EXPECT_NE(tables.element(oldChild), nullptr);
    const int readRoot = tables.rootTag(tree);
    EXPECT_EQ(readRoot, currentChild + 1);
    EXPECT_EQ(tables.element(readRoot)->getName(), "read");

    auto again = text("<b/>");
    EXPECT_FALSE(tables.readTree(tree + 1, again));
    EXPECT_TRUE(tables.deleteTree(tree));
    EXPECT_EQ(tables.liveTagCount(), 0u);
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

// The element records: lists, searches, copies, imports and the text trimming rule.
#include <VelXmlN/Data.h>
#include <VelXmlN/VelXmlData.h>

#include "elements/RecordPool.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using VelXmlN::AttributeData;
using VelXmlN::Data;

namespace {

std::string childNames(const Data& element) {
    std::string names;
    for (const Data* child : element.getChildren()) {
        names += child->getName().empty() ? "_" : child->getName();
    }
    return names;
}

}  // namespace

TEST(Data, SetDataTrimsSpacesOnly) {
    Data e;
    e.setData(std::string("  a b  "));
    EXPECT_EQ(e.getData(), "a b");
    e.setData(std::string("\ta "));
    EXPECT_EQ(e.getData(), "\ta");
    e.setData(std::string(" x\r\n"));
    EXPECT_EQ(e.getData(), "x\r\n");
    e.setDataPlain("  a ");
    EXPECT_EQ(e.getData(), "  a ");
}

TEST(Data, AnyBytesAreStoredUnchanged) {
    std::string bytes;
    for (int c = 0; c < 256; ++c) {
        bytes.push_back(static_cast<char>(c));
    }
    Data e(bytes);
    e.setDataPlain(bytes);
    e.setAttribute(bytes, bytes, false);
    EXPECT_EQ(e.getName(), bytes);
    EXPECT_EQ(e.getData(), bytes);
    ASSERT_NE(e.findAttribute(bytes), nullptr);
    EXPECT_EQ(e.findAttribute(bytes)->getData(), bytes);
    EXPECT_EQ(e.findAttribute(bytes.substr(0, 255)), nullptr);
}

TEST(Data, ChildListOperations) {
    Data root("r");
    Data linked("c", &root);
    EXPECT_EQ(linked.getParent(), &root);
    EXPECT_TRUE(root.getChildren().empty()) << "the constructor must not link into the parent";
    Data* a = root.createChild("a");
    Data* b = root.addChild(new Data("b"));
    Data* c = root.addChild(std::make_unique<Data>("c"));
    EXPECT_EQ(a->getParent(), &root);
    root.addChildFirst(new Data("f"));
    EXPECT_TRUE(root.addChildBefore(new Data("x"), b));
    auto* after = new Data("y");
    EXPECT_TRUE(root.addChildAfter(after, c));
    EXPECT_EQ(childNames(root), "faxbcy");
    EXPECT_EQ(after->getParent(), &root);

    Data loose("loose");
    auto orphan = std::make_unique<Data>("o");
    EXPECT_FALSE(root.addChildBefore(orphan.get(), &loose));
    EXPECT_FALSE(root.addChildAfter(orphan.get(), &loose));
    EXPECT_EQ(orphan->getParent(), nullptr);

    root.removeChild(b);
    std::unique_ptr<Data> taken(b);
    EXPECT_EQ(childNames(root), "faxcy");
    EXPECT_EQ(b->getParent(), &root) << "removeChild leaves the parent link";
    EXPECT_FALSE(root.childExist(b));
    EXPECT_TRUE(root.childExist(c));
    root.removeChild(&loose);  // absent: nothing happens
    EXPECT_EQ(childNames(root), "faxcy");

    // flush drops children and attributes and keeps the element's own fields.
    root.setDataPlain("text");
    root.setSelect(true);
    root.setAttribute("a", 1);
    c->createChild("d");
    root.flush();
    EXPECT_TRUE(root.getChildren().empty() && root.getAttributes().empty());
    EXPECT_TRUE(root.getName() == "r" && root.getData() == "text" && root.getSelect());
}

TEST(Data, OpenChildAndRemoveByName) {
    Data root("r");
    Data* a1 = root.openChild("a", false);
    EXPECT_EQ(root.openChild("a", false), a1);
    Data* a2 = root.openChild("a", true);
    Data* a3 = root.openChild("a", true);
    EXPECT_NE(a2, a1);
    EXPECT_NE(a3, a2);
    EXPECT_EQ(childNames(root), "aaa");
    EXPECT_EQ(root.findChild("a"), a1);

    root.remove("a");
    EXPECT_EQ(root.getChildren().size(), 2u);
    EXPECT_EQ(root.getChildren()[0], a2);
    root.remove("nope");
    EXPECT_EQ(root.getChildren().size(), 2u);
}

TEST(Data, AttributeListOperations) {
    Data e;
    EXPECT_TRUE(e.getEntityFlag());
    EXPECT_TRUE(AttributeData("k", "v").getEntityFlag());
    e.setAttribute("k", std::string("v1"), true);
    e.setAttribute("m", std::string("v2"), true);
    AttributeData* k = e.findAttribute("k");
    k->setSelect(true);
    int marker = 0;
    k->setPointer(&marker);
    e.setAttribute("k", std::string("v3"), false);
    ASSERT_EQ(e.getAttributes().size(), 2u);
    EXPECT_EQ(e.getAttributes()[0], k) << "an update keeps the attribute's place";
    EXPECT_EQ(k->getData(), "v3");
    EXPECT_FALSE(k->getEntityFlag());
    EXPECT_TRUE(k->getSelect());
    EXPECT_EQ(k->getPointer(), &marker);

    e.getAttributes().push_back(new AttributeData("k", "second"));
    EXPECT_EQ(e.findAttribute("k")->getData(), "v3") << "the first of a name wins";
    EXPECT_TRUE(e.removeAttribute("k"));
    EXPECT_EQ(e.findAttribute("k")->getData(), "second");
    EXPECT_FALSE(e.removeAttribute("absent"));
    EXPECT_EQ(e.findAttribute("K"), nullptr) << "names are case-sensitive";
}

TEST(FindTree, DirectChildrenFirstThenSubtreesOneAfterAnother) {
    // root -> a -> (b -> t1), c -> t2: each child subtree is searched in order, with the direct
    // children of each level checked before going deeper inside that subtree.
    Data root("root");
    Data* a = root.createChild("a");
    Data* target1 = a->createChild("b")->createChild("t");
    root.createChild("c")->createChild("t");
    EXPECT_EQ(root.findTree("t", false), nullptr);
    EXPECT_EQ(root.findTree("t", true), target1);
    Data* aDirect = a->createChild("t");
    EXPECT_EQ(root.findTree("t", true), aDirect);
    Data* direct = root.createChild("t");
    EXPECT_EQ(root.findTree("t", true), direct) << "a direct child wins over an earlier subtree";
    EXPECT_EQ(root.findTree("root", false), &root);
    a->createChild("");
    EXPECT_EQ(root.findTree("", true), nullptr);
}

TEST(Data, FirstSelected) {
    Data root("root");
    Data* a = root.createChild("a");
    Data* a1 = a->createChild("a1");
    Data* b = root.createChild("b");
    EXPECT_EQ(root.getFirstSelectXMLData(), nullptr);
    b->setSelect(true);
    a1->setSelect(true);
    EXPECT_EQ(root.getFirstSelectXMLData(), a1) << "depth first, in document order";
    root.setSelect(true);
    EXPECT_EQ(root.getFirstSelectXMLData(), &root);

    EXPECT_EQ(root.getFirstSelectXMLAttributeData(), nullptr);
    b->setAttribute("x", std::string("1"));
    b->findAttribute("x")->setSelect(true);
    a1->setAttribute("y", std::string("1"));
    a1->setAttribute("z", std::string("1"));
    a1->findAttribute("z")->setSelect(true);
    EXPECT_EQ(root.getFirstSelectXMLAttributeData(), a1->findAttribute("z"));
}

TEST(Data, AssignmentCopiesDeeply) {
    int marker = 0;
    Data source("src");
    source.setDataPlain("  text  ");
    source.setSelect(true);
    source.setExpand(true);
    source.setAttribute("a", std::string("1"), false);
    source.findAttribute("a")->setPointer(&marker);
    source.findAttribute("a")->setSelect(true);
    Data* child = source.createChild("child");
    child->setEntityFlag(false);
    child->setPointer(&marker);
    child->setSelect(true);
    child->createChild("grandchild")->setDataPlain("g");

    Data parent("parent");
    Data* target = parent.createChild("target");
    target->setEntityFlag(false);
    target->setPointer(&parent);
    target->createChild("old");
    *target = source;

    EXPECT_EQ(target->getData(), "text") << "the text goes through the trimming setter";
    EXPECT_TRUE(target->getSelect());
    EXPECT_TRUE(target->getExpand());
    EXPECT_FALSE(target->getEntityFlag()) << "own flag kept";
    EXPECT_EQ(target->getPointer(), &parent) << "own pointer kept";
    EXPECT_EQ(target->getParent(), &parent) << "own parent kept";
    ASSERT_EQ(childNames(*target), "child");
    const Data* copiedChild = target->getChildren()[0];
    EXPECT_NE(copiedChild, child);
    EXPECT_EQ(copiedChild->getParent(), target);
    EXPECT_TRUE(copiedChild->getEntityFlag()) << "a new child starts with the defaults";
    EXPECT_EQ(copiedChild->getPointer(), nullptr);
    EXPECT_TRUE(copiedChild->getSelect());
    EXPECT_EQ(copiedChild->getChildString("grandchild"), "g");
    const AttributeData* copiedAttribute = target->findAttribute("a");
    EXPECT_NE(copiedAttribute, source.findAttribute("a"));
    EXPECT_FALSE(copiedAttribute->getEntityFlag());
    EXPECT_TRUE(copiedAttribute->getSelect());
    EXPECT_EQ(copiedAttribute->getPointer(), &marker);

    Data constructed(source);
    EXPECT_EQ(constructed.getParent(), nullptr);
    EXPECT_EQ(childNames(constructed), "child");
}

TEST(Data, AssignmentFromItselfOrItsSubtreeIsSafe) {
    Data root("root");
    Data* a = root.createChild("a");
    a->createChild("b")->setDataPlain("deep");
    const Data& same = root;
    root = same;
    EXPECT_EQ(root.findTree("b", true)->getData(), "deep");

    Data* again = root.getChildren()[0];
    root = *again;  // the source dies with the old subtree; it must be read first
    EXPECT_EQ(root.getName(), "a");
    EXPECT_EQ(childNames(root), "b");
    EXPECT_EQ(root.getChildString("b"), "deep");
}

TEST(Data, ImportFromRecordLibrary) {
    VelXmlData source("item", "  x  ", true);
    source.addAttribute("id", "7");
    source.addAttribute("id", "8");
    auto* child = source.addChild(std::make_unique<VelXmlData>("sub", "s"));
    child->addChild(std::make_unique<VelXmlData>("leaf"));

    Data target("old");
    target.setSelect(true);
    target.setEntityFlag(false);
    target.createChild("gone");
    target = source;
    EXPECT_EQ(target.getData(), "x");
    EXPECT_TRUE(target.getExpand());
    EXPECT_TRUE(target.getSelect()) << "select is not imported";
    EXPECT_FALSE(target.getEntityFlag());
    ASSERT_EQ(target.getAttributes().size(), 2u) << "attributes are appended, not merged";
    EXPECT_EQ(target.getAttributes()[1]->getData(), "8");
    EXPECT_TRUE(target.getAttributes()[0]->getEntityFlag());
    EXPECT_EQ(childNames(target), "sub");
    EXPECT_NE(target.findTree("leaf", true), nullptr);

    AttributeData attribute("keep", "old");
    attribute.setSelect(true);
    attribute.setEntityFlag(false);
    attribute = *source.getAttributes()[0];
    EXPECT_EQ(attribute.getData(), "7");
    EXPECT_TRUE(attribute.getSelect());
    EXPECT_FALSE(attribute.getEntityFlag());
}

TEST(Data, MillionLevelChainNeedsNoRecursion) {
    // A recursive destructor, flush or copy would need a million stack frames here.
    constexpr int kDepth = 1000000;
    auto root = std::make_unique<Data>("level");
    Data* tip = root.get();
    for (int i = 0; i < kDepth; ++i) {
        tip = tip->createChild("level");
    }
    tip->setDataPlain("bottom");

    Data copy;
    copy = *root;
    EXPECT_EQ(copy.findTree("level", true), &copy);
    const Data* walk = &copy;
    int depth = 0;
    while (!walk->getChildren().empty()) {
        walk = walk->getChildren()[0];
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(walk->getData(), "bottom");
    EXPECT_EQ(copy.getFirstSelectXMLData(), nullptr);

    VelXmlData imported("level");
    VelXmlData* importTip = &imported;
    for (int i = 0; i < kDepth; ++i) {
        importTip = importTip->addChild(std::make_unique<VelXmlData>("level"));
    }
    Data fromImport;
    fromImport = imported;

    copy.flush();
    EXPECT_TRUE(copy.getChildren().empty());
    root.reset();
}

// Records of one thread are deleted on another, and threads end holding freed records: each
// record keeps its contents until it is deleted, whatever thread made the memory free.
TEST(Data, RecordsMayBeDeletedOnAnyThread) {
    constexpr int kTrees = 8;
    constexpr int kChildren = 3000;
    std::vector<std::unique_ptr<Data>> trees(kTrees);
    std::vector<std::thread> makers;
    for (int t = 0; t < kTrees; ++t) {
        makers.emplace_back([&trees, t] {
            auto root = std::make_unique<Data>("t" + std::to_string(t));
            for (int i = 0; i < kChildren; ++i) {
                Data* child = root->createChild("c");
                child->setAttribute("i", i);
                // Freed here, on a thread that ends before its blocks are used again.
                delete new Data("scratch");
            }
            trees[static_cast<std::size_t>(t)] = std::move(root);
        });
    }
    for (std::thread& maker : makers) {
        maker.join();
    }
    // Half the trees die on other threads while the rest are checked and then die here.
    std::vector<std::thread> killers;
    for (int t = 0; t < kTrees; t += 2) {
        killers.emplace_back(
            [tree = std::move(trees[static_cast<std::size_t>(t)])]() mutable { tree.reset(); });
    }
    std::vector<std::unique_ptr<Data>> fresh;
    for (int i = 0; i < kChildren; ++i) {
        fresh.push_back(std::make_unique<Data>("new"));
    }
    for (std::thread& killer : killers) {
        killer.join();
    }
    for (int t = 1; t < kTrees; t += 2) {
        const Data& root = *trees[static_cast<std::size_t>(t)];
        EXPECT_EQ(root.getName(), "t" + std::to_string(t));
        ASSERT_EQ(root.getChildren().size(), static_cast<std::size_t>(kChildren));
        for (int i = 0; i < kChildren; ++i) {
            const Data& child = *root.getChildren()[static_cast<std::size_t>(i)];
            ASSERT_EQ(child.getName(), "c");
            ASSERT_EQ(child.getAttributes()[0]->getInteger(), i);
        }
    }
    for (const std::unique_ptr<Data>& made : fresh) {
        EXPECT_EQ(made->getName(), "new");
    }
}

// The pool's chunks go back to the global allocator once every block cut from them is deleted:
// the chunks a thread has filled at once, the one it is filling when the thread ends, whichever
// thread deletes the blocks; a thread's records made after its chunks were retired (by a
// thread-local destructor) too. This program has its own copy of the pool, used here only.
TEST(RecordPool, ChunksGoBackWhenTheirBlocksAreDeleted) {
    using VelXmlN::detail::allocateRecord;
    using VelXmlN::detail::recordChunks;
    using VelXmlN::detail::releaseRecord;
    if (!VELXMLN_RECORD_POOL) {
        GTEST_SKIP() << "this build takes every record from the global allocator";
    }
    constexpr std::size_t kSize = 200;
    constexpr std::size_t kBlocks = 16000;  // about three chunks
    constexpr std::size_t kChunk = 1024 * 1024;
    std::vector<void*> blocks;
    const auto make = [&blocks] {
        for (std::size_t i = 0; i < kBlocks; ++i) {
            blocks.push_back(allocateRecord(kSize));
            std::memset(blocks.back(), static_cast<int>(i & 0x7F), kSize);
        }
    };
    const auto release = [&blocks] {
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            // Nothing else was cut from a block's memory while it lived.
            ASSERT_EQ(static_cast<unsigned char*>(blocks[i])[kSize - 1], i & 0x7F);
            releaseRecord(blocks[i], kSize);
        }
        blocks.clear();
    };

    // On the thread that is filling: all but the chunk in use go back.
    std::size_t before = recordChunks();
    make();
    EXPECT_GE(recordChunks(), before + kBlocks * kSize / kChunk);
    release();
    EXPECT_LE(recordChunks(), before + 1);

    // Made on a thread that ends, deleted here afterwards: every chunk goes back.
    before = recordChunks();
    std::thread(make).join();
    EXPECT_GE(recordChunks(), before + kBlocks * kSize / kChunk);
    release();
    EXPECT_EQ(recordChunks(), before);

    // Made on one thread and deleted on another while both live.
    std::thread maker(make);
    maker.join();
    std::thread deleter(release);
    deleter.join();
    EXPECT_EQ(recordChunks(), before);

    // Made and deleted by a thread-local destructor that runs after the pool's own: such a block
    // has a chunk of its own, freed with it.
    struct Late {
        ~Late() { releaseRecord(allocateRecord(kSize), kSize); }
    };
    std::thread([] {
        thread_local Late late;
        static_cast<void>(&late);
        releaseRecord(allocateRecord(kSize), kSize);
    }).join();
    EXPECT_EQ(recordChunks(), before);
}

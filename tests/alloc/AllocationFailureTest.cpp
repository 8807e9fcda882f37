// Every allocation of reading, writing, copying, comparing and selecting a small document is made
// to fail in turn: the operation must throw std::bad_alloc (nothing else, never terminate), give
// back every block it made, and leave what it was working on intact where it promises to.
#include <VelXmlN/Compare.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/Tree.h>
#include <VelXmlN/XPathNavigator.h>
#include <VelXmlN/kasxmln.h>
#include <VelXmlN/velxmln.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <sstream>
#include <string>

#include "FailingAllocator.h"
#include "support/TestSupport.h"

using testsupport::describe;
using VelXmlN::Data;
using VelXmlN::Tree;

namespace {

// A program's replacement of operator new reaches only its own allocations on Windows: the DLLs
// (the library, libstdc++, Xerces-C) keep their own, so no allocation of the library can be made
// to fail from here.
#ifdef _WIN32
#define SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED() \
    GTEST_SKIP() << "a replaced operator new does not reach a DLL's allocations on Windows"
#else
#define SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED() static_cast<void>(0)
#endif

// Small, but it passes through every part of the reader: a declaration, a type declaration with
// an internal entity (which makes the loader read twice), attributes, references, CDATA, a
// comment, mixed content and repeated names.
const char* const kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plant [<!ENTITY maker \"Acme &amp; Sons\">]>\n"
    "<plant id=\"7\" kind=\"press\">\n"
    "  <!-- a comment -->\n"
    "  <unit id=\"1\" name=\"&maker;\">  3.25  </unit>\n"
    "  <unit id=\"2\"><![CDATA[<raw>]]> &lt;text&gt; \xC3\xA9</unit>\n"
    "  <note>before <b>bold</b> after</note>\n"
    "</plant>\n";

// The same tree from a document without a type declaration, which the fast reader takes.
const char* const kFastDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plant id=\"7\" kind=\"press\">\n"
    "  <!-- a comment -->\n"
    "  <unit id=\"1\" name=\"Acme &amp; Sons\">  3.25  </unit>\n"
    "  <unit id=\"2\"><![CDATA[<raw>]]> &lt;text&gt; \xC3\xA9</unit>\n"
    "  <note>before <b>bold</b> after</note>\n"
    "</plant>\n";

// Makes allocation 1, 2, ... of `operation` fail until it runs without reaching the failing one.
// `check(failed)` runs after each trial, while the products of the operation still live;
// `cleanUp` then destroys them, after which no block of the trial may remain; gtest checks are
// made only outside the trial. Returns the number of allocations of the complete run.
std::size_t failEachAllocation(const std::string& what, const std::function<void()>& prepare,
                               const std::function<void()>& operation,
                               const std::function<void(bool failed)>& check,
                               const std::function<void()>& cleanUp) {
    // One complete run first, so that one-time set-up (the parser library, static tables) is
    // not counted as a leak of the trials.
    prepare();
    operation();
    cleanUp();
    for (std::size_t failAt = 1;; ++failAt) {
        prepare();
        bool badAlloc = false;
        std::string other;  // what was thrown when it was neither nothing nor bad_alloc
        testsupport::reset();
        testsupport::begin(failAt);
        try {
            operation();
        } catch (const std::bad_alloc&) {
            badAlloc = true;
        } catch (const std::exception& thrown) {
            testsupport::end();
            other = thrown.what();
        } catch (...) {
            testsupport::end();
            other = "an exception of unknown type";
        }
        testsupport::end();
        const bool failed = testsupport::failed();
        if (!other.empty()) {
            ADD_FAILURE() << what << ": allocation " << failAt << " failed and '" << other
                          << "' was thrown instead of std::bad_alloc";
        } else if (failed != badAlloc) {
            ADD_FAILURE() << what << ": allocation " << failAt
                          << (failed ? " failed but the operation completed"
                                     : " was never reached but std::bad_alloc was thrown");
        }
        check(failed);
        cleanUp();
        EXPECT_EQ(testsupport::outstanding(), 0)
            << what << ": blocks left over when allocation " << failAt << " failed";
        if (!failed || ::testing::Test::HasFailure()) {
            return failAt - 1;
        }
    }
}

std::unique_ptr<Tree> sampleTree() {
    std::istringstream in(kDocument);
    auto tree = std::make_unique<Tree>();
    tree->buildOfStream(in);
    return tree;
}

// A document with an earlier root, to see that a failed read keeps it.
std::unique_ptr<Tree> treeWithOldRoot() {
    auto tree = std::make_unique<Tree>("old");
    tree->getRoot()->setAttribute("a", 1);
    tree->getRoot()->createChild("kept")->setDataPlain("yes");
    return tree;
}

}  // namespace

TEST(AllocationFailure, ReadingKeepsThePreviousRootAndLeaksNothing) {
    SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED();
    const std::string expected = describe(sampleTree()->getRoot());
    for (const char* document : {kDocument, kFastDocument}) {
        std::unique_ptr<Tree> tree;
        Data* oldRoot = nullptr;
        std::string oldText;
        const std::size_t total = failEachAllocation(
            document == kDocument ? "buildOfStream" : "buildOfStream, fast reader",
            [&] {
                tree = treeWithOldRoot();
                oldRoot = tree->getRoot();
                oldText = describe(oldRoot);
            },
            [&] {
                std::istringstream in(document);
                tree->buildOfStream(in);
            },
            [&](bool failed) {
                if (failed) {
                    EXPECT_EQ(tree->getRoot(), oldRoot);
                    EXPECT_EQ(describe(tree->getRoot()), oldText);
                } else {
                    EXPECT_EQ(describe(tree->getRoot()), expected);
                }
            },
            [&] { tree.reset(); });
        EXPECT_GT(total, 10u);
    }
}

TEST(AllocationFailure, ReadingAFileThroughTheFlatFunctionsKeepsTheDocument) {
    SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED();
    testsupport::ScratchFolder folder;
    const std::string path = folder.file("plant.xml");
    testsupport::writeFile(path, kDocument);
    int tree = -1;
    failEachAllocation(
        "VELXMLN_Read_Tree",
        [&] {
            tree = VELXMLN_Get_Tree("allocation failures");
            VELXMLN_Set_Attribute(VELXMLN_Create_Root_Tag(tree, "old"), "a", "1");
        },
        [&] { VELXMLN_Read_Tree(tree, path.c_str()); },
        [&](bool failed) {
            char name[32];
            int length = 0;
            VELXMLN_Get_Tag_Name(VELXMLN_Get_Root_Tag(tree), name, sizeof name, &length);
            EXPECT_EQ(std::string(name), failed ? "old" : "plant");
        },
        [&] { VELXMLN_Delete_Tree(tree); });
}

TEST(AllocationFailure, WritingLeavesTheTreeAndLeaksNothing) {
    SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED();
    const std::unique_ptr<Tree> tree = sampleTree();
    const std::string before = describe(tree->getRoot());
    std::ostringstream reference;
    tree->putToStream(reference);
    std::string written;
    failEachAllocation(
        "putToStream", [] {},
        [&] {
            // A stream reports a failed write through its state, as every output does; asked to,
            // it throws what stopped it.
            std::ostringstream out;
            out.exceptions(std::ios_base::badbit);
            tree->putToStream(out);
            written = out.str();
        },
        [&](bool failed) {
            EXPECT_EQ(describe(tree->getRoot()), before);
            if (!failed) {
                EXPECT_EQ(written, reference.str());
            }
        },
        [&] { std::string().swap(written); });
}

TEST(AllocationFailure, CopyingKeepsTheTargetOrMakesAFullCopy) {
    SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED();
    const std::unique_ptr<Tree> source = sampleTree();
    const std::string expected = describe(source->getRoot());
    std::unique_ptr<Tree> target;
    Data* oldRoot = nullptr;
    std::string oldText;
    failEachAllocation(
        "copyFrom",
        [&] {
            target = treeWithOldRoot();
            oldRoot = target->getRoot();
            oldText = describe(oldRoot);
        },
        [&] { target->copyFrom(*source); },
        [&](bool failed) {
            if (failed) {
                EXPECT_EQ(target->getRoot(), oldRoot);
                EXPECT_EQ(describe(target->getRoot()), oldText);
            } else {
                EXPECT_EQ(describe(target->getRoot()), expected);
            }
        },
        [&] { target.reset(); });

    // Element assignment promises only that nothing leaks: what it copied so far stays, owned.
    // (It stores values as setData does, so the result is compared with an ordinary copy.)
    const std::string copied = describe(std::make_unique<Data>(*source->getRoot()).get());
    std::unique_ptr<Data> element;
    failEachAllocation(
        "Data assignment", [&] { element = std::make_unique<Data>("old"); },
        [&] {
            *element = *source->getRoot();
            Data copy(*source->getRoot());
        },
        [&](bool failed) {
            if (!failed) {
                EXPECT_EQ(describe(element.get()), copied);
            }
        },
        [&] { element.reset(); });
}

TEST(AllocationFailure, ComparingAndSelectingLeakNothing) {
    SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED();
    const std::unique_ptr<Tree> a = sampleTree();
    const std::unique_ptr<Tree> b = sampleTree();
    b->getRoot()->getChildren()[0]->setAttribute("id", 9);
    b->getRoot()->createChild("extra");
    std::size_t differences = 0;
    failEachAllocation(
        "findDifferences", [] {},
        [&] { differences = VelXmlN::Compare::findDifferences(a->getRoot(), b->getRoot()).size(); },
        [&](bool failed) {
            if (!failed) {
                EXPECT_GE(differences, 2u);
            }
        },
        [] {});

    std::size_t found = 0;
    failEachAllocation(
        "select", [] {},
        [&] {
            const VelXmlN::XPathNavigator navigator(a->getRoot());
            found = navigator.select("//unit").size() +
                    navigator.select("plant/unit[@id='2']").size() +
                    navigator.buildXPath(a->getRoot()->getChildren()[1], "id").size();
        },
        [&](bool failed) {
            if (!failed) {
                EXPECT_EQ(found, 3u + std::string("/plant[@id='7']/unit[@id='2']").size());
            }
        },
        [] {});
}

TEST(AllocationFailure, LoadingANodeDocumentLeaksNothing) {
    SKIP_WHERE_THE_ALLOCATOR_CANNOT_BE_REPLACED();
    for (const char* text : {kDocument, kFastDocument}) {
        kasxmln::CXMLDocument* document = nullptr;
        failEachAllocation(
            text == kDocument ? "LoadDocument" : "LoadDocument, fast reader", [] {},
            [&] {
                document = kasxmln::CXMLManager::GetInstance()->LoadDocument(
                    text, static_cast<unsigned int>(std::strlen(text)), false, false, nullptr,
                    false, false);
            },
            [&](bool failed) {
                if (!failed) {
                    ASSERT_NE(document, nullptr);
                    EXPECT_STREQ(document->GetRootNode()->GetTagName(), "plant");
                }
            },
            [&] {
                if (document != nullptr) {
                    document->Release();
                    document = nullptr;
                }
            });
    }
}

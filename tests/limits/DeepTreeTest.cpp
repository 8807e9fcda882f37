// Trees at the nesting limit work everywhere on a 1 MiB stack; deeper ones are refused with a
// clear error by reading and writing and handled by everything that walks without recursion
// (comparison and selection one level beyond are covered by the walks far beyond).
#include <VelXmlN/Compare.h>
#include <VelXmlN/Tree.h>
#include <VelXmlN/XPathNavigator.h>
#include <VelXmlN/kasxmln.h>
#include <VelXmlN/velxmln.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/SmallStack.h"
#include "support/TestSupport.h"

using kasxmln::CXMLException;
using testsupport::onSmallStack;
using VelXmlN::Compare;
using VelXmlN::Data;
using VelXmlN::Tree;
using VelXmlN::XPathNavigator;

namespace {

constexpr unsigned kLimit = kasxmln::kMaxElementDepth;

// A chain of `levels` elements "d" with a "level" attribute, the bottom one holding a text.
std::unique_ptr<Tree> chain(unsigned levels) {
    auto tree = std::make_unique<Tree>("d");
    Data* node = tree->getRoot();
    for (unsigned level = 1; level < levels; ++level) {
        node = node->createChild("d");
        node->setAttribute("level", static_cast<int>(level));
    }
    node->setDataPlain("bottom");
    return tree;
}

std::string repeated(const std::string& piece, unsigned count) {
    std::string text;
    for (unsigned i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

std::string nestedText(unsigned levels) {
    return repeated("<d>", levels) + repeated("</d>", levels);
}

// The child path of the bottom element of a chain: "d/d/.../d".
std::string chainPath(unsigned levels) {
    return "d" + repeated("/d", levels - 1);
}

std::string message(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const CXMLException& thrown) {
        return std::to_string(thrown.GetCode()) + ": " + thrown.GetMessageText();
    }
    return "no exception";
}

int depthOfFlatTree(int tag) {
    int depth = 0;
    while (tag > 0) {
        ++depth;
        tag = VELXMLN_Find_Child_Tag(tag, "d");
    }
    return depth;
}

}  // namespace

TEST(DeepTrees, AtTheLimitEverythingWorksOnASmallStack) {
    testsupport::ScratchFolder folder;
    const std::string path = folder.file("deep.xml");
    const std::string copyPath = folder.file("copy.xml");
    const std::unique_ptr<Tree> tree = chain(kLimit);
    Tree copy;
    std::size_t differences = 1;
    bool equal = false;
    std::size_t selected = 0;
    std::size_t found = 0;
    std::string built;
    int flatDepth = 0;
    int currentRead = 0;
    onSmallStack([&] {
        copy.copyFrom(*tree);
        differences = Compare::findDifferences(tree->getRoot(), copy.getRoot()).size();
        equal = Compare::areEqual(tree->getRoot(), copy.getRoot());
        const XPathNavigator navigator(copy.getRoot());
        selected = navigator.select(chainPath(kLimit)).size();
        found = navigator.select("//d").size();
        Data* bottom = copy.getRoot();
        while (!bottom->getChildren().empty()) {
            bottom = bottom->getChildren()[0];
        }
        built = navigator.buildXPath(bottom, "level");

        const int handle = VELXMLN_Get_Tree("deep");
        {
            std::ofstream out(path, std::ios_base::binary);
            tree->putToStream(out);
        }
        VELXMLN_Read_Tree(handle, path.c_str());
        VELXMLN_Write_Tree(handle, copyPath.c_str());
        flatDepth = depthOfFlatTree(VELXMLN_Get_Root_Tag(handle));
        VELXMLN_Delete_Tree(handle);
        currentRead = VELXMLN_ReadFile(copyPath.c_str()) + VELXMLN_WriteFile(path.c_str());
        VELXMLN_Stop();
    });
    EXPECT_EQ(differences, 0u);
    EXPECT_TRUE(equal);
    EXPECT_EQ(selected, 1u);
    EXPECT_EQ(found, kLimit);
    EXPECT_EQ(built.substr(0, 23), "/d/d[@level='1']/d[@lev");
    EXPECT_EQ(built.substr(built.size() - 16), "/d[@level='999']");
    EXPECT_EQ(flatDepth, static_cast<int>(kLimit));
    EXPECT_EQ(currentRead, 2);
    EXPECT_EQ(testsupport::fileText(path), testsupport::fileText(copyPath));
}

// Whether the flat functions pass on the reader's and the writer's refusals as they are is tested
// with hostile documents and the flat files; here, the refusals themselves.
TEST(DeepTrees, OneLevelBeyondIsRefusedByReadingAndWriting) {
    const std::string limit = "2: element 'd' is nested deeper than the limit of 1000 levels";
    const std::unique_ptr<Tree> deeper = chain(kLimit + 1);
    Tree target("kept");
    Data* const kept = target.getRoot();
    std::string read, written, copied;
    std::string output = "untouched";
    onSmallStack([&] {
        std::istringstream in(nestedText(kLimit + 1));
        read = message([&] { target.buildOfStream(in); });
        std::ostringstream out;
        written = message([&] { deeper->putToStream(out); });
        output = out.str();
        copied = message([&] { target.copyFrom(*deeper); });
    });
    EXPECT_EQ(read, limit + " at line 1, column 3004");
    EXPECT_EQ(written, limit);
    EXPECT_EQ(output, "") << "refused before anything is written";
    EXPECT_EQ(copied, limit);
    EXPECT_EQ(target.getRoot(), kept);
}

// Far beyond the limit: the walks that keep their own stack (destruction, element copies,
// comparison, selection) still work on the small stack, and reading and writing refuse at once.
TEST(DeepTrees, FarBeyondTheLimitWalksWithoutRecursionStillWork) {
    constexpr unsigned kFar = 100000;
    bool equal = false;
    std::size_t selected = 0;
    std::string read, written;
    onSmallStack([&] {
        std::unique_ptr<Tree> tree = chain(kFar);
        Data copy(*tree->getRoot());
        equal = Compare::areEqual(tree->getRoot(), &copy) &&
                Compare::findDifferences(tree->getRoot(), &copy).empty();
        selected = XPathNavigator(&copy).select("//d").size();
        std::ostringstream out;
        written = message([&] { tree->putToStream(out); });
        tree.reset();
        Tree target;
        std::istringstream in(nestedText(kFar));
        read = message([&] { target.buildOfStream(in); });
    });
    EXPECT_TRUE(equal);
    EXPECT_EQ(selected, kFar);
    EXPECT_EQ(read.substr(0, 65),
              "2: element 'd' is nested deeper than the limit of 1000 levels at ");
    EXPECT_EQ(written, "2: element 'd' is nested deeper than the limit of 1000 levels");
}

// The depth limit keeps every recursive walk of reading and writing within a 1 MiB stack.
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/TestSupport.h"
#if defined(__unix__)
#include "support/SmallStack.h"
#endif

using VelXmlN::Data;
using VelXmlN::Tree;

#if defined(__unix__)
using testing_support::onSmallStack;

TEST(DepthLimit, TheDeepestAllowedDocumentIsReadWrittenAndCopiedOnASmallStack) {
    Tree tree("d");
    Data* node = tree.getRoot();
    for (unsigned level = 1; level < kasxmln::kMaxElementDepth; ++level) {
        node = node->createChild("d");
        node->setAttribute("level", static_cast<int>(level));
    }
    node->setDataPlain("bottom");
    std::string text;
    Tree back;
    Tree copy;
    onSmallStack([&] {
        std::ostringstream out;
        tree.putToStream(out);
        text = out.str();
        std::istringstream in(text);
        back.buildOfStream(in);
        copy.copyFrom(back);
    });
    EXPECT_EQ(testing_support::describe(back.getRoot()), testing_support::describe(tree.getRoot()));
    EXPECT_EQ(testing_support::describe(copy.getRoot()), testing_support::describe(tree.getRoot()));
}
#endif

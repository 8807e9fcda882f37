// The depth limit keeps every recursive walk of reading and writing within a 1 MiB stack.
#include <VelXmlN/Tree.h>

#include <gtest/gtest.h>

#if defined(__unix__)
#include <pthread.h>
#endif

#include <functional>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

using VelXmlN::Data;
using VelXmlN::Tree;

#if defined(__unix__)
namespace {

constexpr std::size_t kStack = 1024 * 1024;

// Runs `job` on a thread whose stack is 1 MiB; an overflow crashes the test.
void onSmallStack(std::function<void()> job) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kStack), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

}  // namespace

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

// Runs a piece of a test on a thread with a 1 MiB stack, the budget every walk over a tree must
// keep to; std::thread cannot choose its stack size.
#ifndef VELXMLN_TESTS_SUPPORT_SMALLSTACK_H
#define VELXMLN_TESTS_SUPPORT_SMALLSTACK_H

#include <gtest/gtest.h>

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>

namespace testsupport {

constexpr std::size_t kSmallStack = 1024 * 1024;

/// Runs `job` on a thread whose stack is kSmallStack bytes and waits for it; an overflow crashes
/// the test. An exception leaving `job` is handed back to the caller.
inline void onSmallStack(const std::function<void()>& job) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kSmallStack), 0);
    struct Work {
        const std::function<void()>* job;
        std::exception_ptr failure;
    } work{&job, nullptr};
    auto run = [](void* argument) -> void* {
        auto* given = static_cast<Work*>(argument);
        try {
            (*given->job)();
        } catch (...) {
            given->failure = std::current_exception();
        }
        return nullptr;
    };
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    if (work.failure) {
        std::rethrow_exception(work.failure);
    }
}

}  // namespace testsupport

#endif

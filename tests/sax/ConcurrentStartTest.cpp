// The parser library starts once per process behind one guard that both scanners share, so two
// threads may make the first scans of a process at the same time.
#include "sax/ScanSupport.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

using testsupport::Maps;

namespace {

TEST(ConcurrentStart, TwoThreadsMakeTheFirstScansAtOnce) {
    // The statement of a thread-safe death test runs in a new process that runs this test alone
    // from its start, so the parser library has never been started there.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testsupport::ScanFolder folder;
    const std::string file = folder.write("doc.xml", "<root><item a=\"1\"/><item/></root>");
    const Maps expected{{{"a", "1"}}, {}};
    auto scan = [](std::atomic<int>& waiting, auto scanner, Maps& found) {
        --waiting;
        while (waiting > 0) {
        }
        found = scanner.getAttributes("root/item");
    };
    for (int round = 0; round < 3; ++round) {
        EXPECT_EXIT(
            {
                std::atomic<int> waiting{2};
                Maps first;
                Maps second;
                std::thread xerces(scan, std::ref(waiting), VelXmlN::Sax2Interface(file),
                                   std::ref(first));
                std::thread nodes(scan, std::ref(waiting), VelXmlN::SaxInterface(file),
                                  std::ref(second));
                xerces.join();
                nodes.join();
                std::filesystem::remove_all(folder.folder());
                std::exit(first == expected && second == expected ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

}  // namespace

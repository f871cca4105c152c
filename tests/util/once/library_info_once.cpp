// Concurrent first constructions of LIBRARY_INFO build the list once. This
// program compiles the record's source itself, with a build counter, so it
// holds the only copy of the list and nothing has built it before.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "pclxl.hpp"

extern std::atomic<int> pclxl_library_info_builds;

namespace {

TEST(LibraryInfoOnce, ConcurrentFirstConstructionsBuildOnce) {
    ASSERT_EQ(pclxl_library_info_builds.load(), 0);
    constexpr int kThreads = 8;
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&] {
            --waiting; // start together so that the constructions overlap
            while (waiting.load() > 0)
                std::this_thread::yield();
            rur::pclxl::LIBRARY_INFO info;
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(pclxl_library_info_builds.load(), 1);
    EXPECT_STREQ(pclxl_library_info(nullptr)[0], "LIBRARY_INFO_NAME: pclxl");
    EXPECT_EQ(pclxl_library_info_builds.load(), 1);
}

} // namespace

#include "util/mempool.h"

#include <apr_pools.h>
#include <gtest/gtest.h>
#include <string.h>

#include <thread>
#include <vector>

namespace {

TEST(MemPool, UseCountKeepsRootUntilLastTerminate) {
    apr_pool_t *pool = reinterpret_cast<apr_pool_t *>(1);
    EXPECT_EQ(nullptr, GetRootMemPool());
    EXPECT_EQ(0, CreateChildMemPool(&pool));  // not started yet
    EXPECT_EQ(nullptr, pool);

    ASSERT_EQ(1, InitializeMemPool());
    apr_pool_t *root = GetRootMemPool();
    ASSERT_NE(nullptr, root);
    ASSERT_EQ(1, InitializeMemPool());
    EXPECT_EQ(root, GetRootMemPool());  // a second start shares the root

    TerminateMemPool();
    ASSERT_EQ(root, GetRootMemPool());  // one user is left
    ASSERT_EQ(1, CreateChildMemPool(&pool));
    char *block = static_cast<char *>(apr_palloc(pool, 64));
    ASSERT_NE(nullptr, block);
    memset(block, 'x', 64);
    apr_pool_destroy(pool);

    TerminateMemPool();
    EXPECT_EQ(nullptr, GetRootMemPool());
    TerminateMemPool();  // an extra end is ignored
    EXPECT_EQ(nullptr, GetRootMemPool());

    // The pools can start again after the last end.
    ASSERT_EQ(1, InitializeMemPool());
    EXPECT_NE(nullptr, GetRootMemPool());
    TerminateMemPool();
}

TEST(MemPool, ChildPoolsFromManyThreads) {
    ASSERT_EQ(1, InitializeMemPool());
    constexpr int kThreads = 4, kRounds = 300;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < kRounds; ++i) {
                apr_pool_t *pool = nullptr;
                if (CreateChildMemPool(&pool) != 1) {
                    ++failures[t];
                    continue;
                }
                // Enough to make the pool take fresh blocks from the shared allocator.
                for (int j = 0; j < 8; ++j) {
                    void *block = apr_palloc(pool, 3000 + j * 512);
                    if (block == nullptr)
                        ++failures[t];
                    else
                        memset(block, t, 3000);
                }
                apr_pool_destroy(pool);
            }
        });
    }
    for (auto &thread : threads) thread.join();
    for (int f : failures) EXPECT_EQ(0, f);
    TerminateMemPool();
    EXPECT_EQ(nullptr, GetRootMemPool());
}

}  // namespace

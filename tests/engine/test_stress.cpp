// Many callers at once: threads calling the engine, each with threads of its
// own, while other threads call the growth, volume and thinning exports of
// one loaded library (those exports share no mutable state). Every result
// must equal the same call made alone. Run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "support/libraries.h"
#include "sylvo_engine.h"

namespace {

TEST(Stress, EngineAndExportsFromManyThreadsAtOnce)
{
    const std::size_t n = 2000;
    std::vector<double> t1(n), t2(n), trees(n), ba(n);
    for (std::size_t i = 0; i < n; ++i) {
        t1[i] = 10 + static_cast<double>(i % 5);
        t2[i] = t1[i] + 5 + static_cast<double>(i % 3);
        trees[i] = 400 + static_cast<double>(i % 1700);
        ba[i] = 6 + static_cast<double>(i % 30);
    }
    // The answers, each computed alone.
    std::vector<std::vector<double>> alone_n(3, std::vector<double>(n)), alone_b(3, std::vector<double>(n));
    for (int m = 0; m < 3; ++m)
        ASSERT_EQ(sylvo_grow_batch(m, n, t1.data(), t2.data(), trees.data(), ba.data(), alone_n[m].data(),
                                   alone_b[m].data(), nullptr),
                  SYLVO_OK);
    sylvo_test::LoadedLibrary lib(sylvo_test::library_path('c'));
    double grown_n = 1500, grown_b = 12;
    lib->SylvoGrow(10, 25, &grown_n, &grown_b);
    const double volume = lib->SylvoVolume(15, 900, 25), after = lib->SylvoBaAfter(10, 900, 25, 600);

    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&, k] {
            const int m = k % 3;
            const sylvo_options options{k % 2 ? SYLVO_FAST : SYLVO_EXACT, 1 + k % 3};
            std::vector<double> out_n(n), out_b(n);
            for (int round = 0; round < 3; ++round) {
                if (sylvo_grow_batch(m, n, t1.data(), t2.data(), trees.data(), ba.data(), out_n.data(), out_b.data(),
                                     &options) != SYLVO_OK)
                    ++wrong;
                else if (options.mode == SYLVO_EXACT &&
                         (std::memcmp(out_n.data(), alone_n[m].data(), n * sizeof(double)) != 0 ||
                          std::memcmp(out_b.data(), alone_b[m].data(), n * sizeof(double)) != 0))
                    ++wrong;
            }
        });
    for (int k = 0; k < 3; ++k)
        threads.emplace_back([&] {
            for (int round = 0; round < 300; ++round) {
                double a = 1500, b = 12;
                lib->SylvoGrow(10, 25, &a, &b);
                if (a != grown_n || b != grown_b || lib->SylvoVolume(15, 900, 25) != volume ||
                    lib->SylvoBaAfter(10, 900, 25, 600) != after)
                    ++wrong;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace

// Many callers at once: threads calling the engine, each with threads of its
// own, while other threads call the growth, volume and thinning exports of
// one loaded library (those exports share no mutable state). Every result
// must equal the same call made alone. Run under ThreadSanitizer in CI.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
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

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers reserve address space beyond any small limit
#else
constexpr bool kSanitized = false;
#endif

// A host that cannot start as many threads as it asks for (here, an
// address-space limit leaves room for few thread stacks): the parts that get
// no thread run on the calling thread, with the same results, where a
// failed start used to end the process.
TEST(Stress, ThreadsThatCannotBeStartedLeaveTheirWorkToTheCaller)
{
    if (kSanitized) GTEST_SKIP() << "needs an address-space limit, which the sanitizers' reservations exceed";
    const std::size_t n = 1 << 17;
    std::vector<double> t1(n), t2(n), trees(n), ba(n), h(n), site(n, 22.0), shift(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        t1[i] = 10 + static_cast<double>(i % 7);
        t2[i] = t1[i] + 5 + static_cast<double>(i % 3);
        trees[i] = 400 + static_cast<double>(i % 1700);
        ba[i] = 6 + static_cast<double>(i % 30);
    }
    std::vector<double> want_n(n), want_b(n), want_h(n);
    const sylvo_options one{SYLVO_EXACT, 1};
    ASSERT_EQ(sylvo_grow_batch(0, n, t1.data(), t2.data(), trees.data(), ba.data(), want_n.data(), want_b.data(), &one),
              SYLVO_OK);
    ASSERT_EQ(sylvo_site_batch(1, n, ba.data(), t1.data(), shift.data(), want_h.data(), &one), SYLVO_OK);
    std::vector<double> out_n(n), out_b(n), out_h(n);

    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for the process as it is and 64 MiB: a few stacks of 8 MiB.
        long pages = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        if (pages <= 0) _exit(3);
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64 << 20);
        const rlimit as{limit, limit};
        if (setrlimit(RLIMIT_AS, &as) != 0) _exit(3);
        // Without the limit, the thread starts succeed (512 parts).
        const sylvo_options many{SYLVO_EXACT, 1000};
        if (sylvo_grow_batch(0, n, t1.data(), t2.data(), trees.data(), ba.data(), out_n.data(), out_b.data(), &many) !=
                SYLVO_OK ||
            sylvo_site_batch(1, n, ba.data(), t1.data(), shift.data(), out_h.data(), &many) != SYLVO_OK)
            _exit(2);
        const bool same = std::memcmp(out_n.data(), want_n.data(), n * sizeof(double)) == 0 &&
                          std::memcmp(out_b.data(), want_b.data(), n * sizeof(double)) == 0 &&
                          std::memcmp(out_h.data(), want_h.data(), n * sizeof(double)) == 0;
        _exit(same ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: results differ; 2: a call failed; 3: no limit could be set";
}

}  // namespace

// The case files: thousands of calls and call sequences per library, with
// the results of an independent plain-double evaluation (tests/reference/).
// Every result must agree to within a few units in the last place; the test
// reports how many agree exactly and the worst case.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "support/case_file.h"
#include "support/libraries.h"

namespace {

using namespace sylvo_test;

// Units in the last place a result may differ by. The reference uses the
// same C library functions, so agreement is expected to be exact.
constexpr std::uint64_t ulp_bound = 4;

class CaseFile : public ::testing::TestWithParam<char> {};

TEST_P(CaseFile, ReproducesTheReference)
{
    const char model = GetParam();
    const std::string path = std::string(SYLVO_CASE_DIR) + "/sylvo" + model + ".cases";
    const std::vector<CaseLine> cases = read_case_file(path);

    std::unique_ptr<LoadedLibrary> lib;
    std::size_t calls = 0, results = 0, exact = 0, loads = 0;
    std::uint64_t worst = 0;
    std::string worst_case;
    for (const CaseLine& c : cases) {
        if (c.load) {
            lib.reset();
            lib = std::make_unique<LoadedLibrary>(library_path(model));
            ++loads;
            continue;
        }
        ASSERT_TRUE(lib) << path << ":" << c.line_number << ": a call before the first @load";
        ++calls;
        const std::vector<std::uint64_t> got = evaluate_case(lib->api(), c);
        ASSERT_EQ(got.size(), c.expected.size()) << path << ":" << c.line_number;
        for (std::size_t i = 0; i < got.size(); ++i) {
            ++results;
            const std::uint64_t d = c.name == "LibMain" ? (got[i] == c.expected[i] ? 0 : UINT64_MAX)
                                                        : ulp_distance(got[i], c.expected[i]);
            if (d == 0) ++exact;
            if (d > worst) {
                worst = d;
                char text[160];
                std::snprintf(text, sizeof text, "line %d %s: got %a, reference %a", c.line_number, c.name.c_str(),
                              double_of(got[i]), double_of(c.expected[i]));
                worst_case = text;
            }
            EXPECT_LE(d, ulp_bound) << path << ":" << c.line_number << " " << c.name << " result " << i
                                    << ": got " << double_of(got[i]) << ", reference " << double_of(c.expected[i]);
        }
    }
    std::printf("sylvo%c: %zu calls on %zu fresh loads, %zu results, %zu exact; worst %" PRIu64 " ulp%s%s\n", model,
                calls, loads, results, exact, worst, worst ? " at " : "", worst_case.c_str());
    EXPECT_GT(calls, 1000u) << "too few cases in " << path;
}

INSTANTIATE_TEST_SUITE_P(Models, CaseFile, ::testing::Values('a', 'b', 'c'));

}  // namespace

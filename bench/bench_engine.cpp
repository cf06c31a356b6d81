// Stands per second of the growth projection, for each model on two jobs:
//   standard   1e6 stands, 10 -> 40 years, N ~ U(200, 3000), B ~ U(5, 50)
//   inventory  1e6 stands, whole-year ages 5 to 60 and horizons of 1 to 50
//              years, mixed in random order; N and B as above
// run four ways: a loop over the model's SylvoGrow export (its library loaded
// with dlopen, as a host loads it), and the engine's sylvo_grow_batch in
// exact and fast mode, each on one thread and on every core.
//
// Arguments: model (0, 1, 2 for A, B, C), job (0 standard, 1 inventory),
// mode (0 exact, 1 fast), threads (0: every core). The export loop runs on
// the first kExportStands stands of the job (it is the slow row; stands/s is
// what is compared). bench/run-engine-bench.sh runs these with the numpy
// peer and prints one table.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/libraries.h"
#include "sylvo_engine.h"

namespace {

constexpr std::size_t kStands = 1000000;
constexpr std::size_t kExportStands = 100000;

struct Job {
    std::vector<double> t1, t2, trees, ba;
};

Job make_job(int which)
{
    std::mt19937_64 rng(2026 + which);
    std::uniform_real_distribution<double> trees(200.0, 3000.0), ba(5.0, 50.0);
    std::uniform_int_distribution<int> age(5, 60), horizon(1, 50);
    Job job;
    for (std::size_t i = 0; i < kStands; ++i) {
        double t1 = 10.0, t2 = 40.0;
        if (which == 1) {
            t1 = age(rng);
            t2 = t1 + horizon(rng);
        }
        job.t1.push_back(t1);
        job.t2.push_back(t2);
        job.trees.push_back(trees(rng));
        job.ba.push_back(ba(rng));
    }
    return job;
}

const Job& job(int which)
{
    static const Job jobs[2] = {make_job(0), make_job(1)};
    return jobs[which];
}

const sylvo_test::SylvoApi& library(int model)
{
    static std::map<int, std::unique_ptr<sylvo_test::LoadedLibrary>> libs;
    auto& lib = libs[model];
    if (!lib) lib = std::make_unique<sylvo_test::LoadedLibrary>(sylvo_test::library_path(char('a' + model)));
    return lib->api();
}

void BM_ExportLoop(benchmark::State& state)
{
    const int model = static_cast<int>(state.range(0));
    const Job& j = job(static_cast<int>(state.range(1)));
    const auto grow = library(model).SylvoGrow;
    double sink = 0.0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < kExportStands; ++i) {
            double n = j.trees[i], b = j.ba[i];
            grow(j.t1[i], j.t2[i], &n, &b);
            sink += n + b;
        }
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kExportStands));
}

void BM_Engine(benchmark::State& state)
{
    const int model = static_cast<int>(state.range(0));
    const Job& j = job(static_cast<int>(state.range(1)));
    const sylvo_options options{static_cast<int>(state.range(2)), static_cast<int>(state.range(3))};
    std::vector<double> trees(kStands), ba(kStands);
    for (auto _ : state) {
        const int rc = sylvo_grow_batch(model, kStands, j.t1.data(), j.t2.data(), j.trees.data(), j.ba.data(),
                                        trees.data(), ba.data(), &options);
        if (rc != SYLVO_OK) {
            state.SkipWithError(sylvo_strerror(rc));
            break;
        }
        benchmark::DoNotOptimize(trees.data());
        benchmark::DoNotOptimize(ba.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kStands));
}

void export_args(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"model", "job"});
    for (int model = 0; model < 3; ++model)
        for (int j = 0; j < 2; ++j) b->Args({model, j});
}

void engine_args(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"model", "job", "mode", "threads"});
    for (int model = 0; model < 3; ++model)
        for (int j = 0; j < 2; ++j)
            for (int mode : {SYLVO_EXACT, SYLVO_FAST})
                for (int threads : {1, 0}) b->Args({model, j, mode, threads});
}

BENCHMARK(BM_ExportLoop)->Apply(export_args)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Engine)->Apply(engine_args)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

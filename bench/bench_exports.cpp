// Nanoseconds per call of the exports, loaded with dlopen as a host loads
// them, each beside its floor: the same number of std::exp, std::log,
// std::pow and std::sqrt calls that the call cannot avoid, timed alone.
// The counter "ratio" is call time over floor time.
//
// What a call cannot avoid: every transcendental of its equations, except
// that a value depending only on the scaled age needs computing once per
// distinct age (a Runge-Kutta step evaluates its system at t, t + h/2 twice
// and t + h, which the next step shares), and a value depending only on the
// site index once per site index.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "find_root.h"
#include "step_rule.h"
#include "support/loaded_library.h"

namespace {

using sylvo_test::LoadedLibrary;
using sylvo_test::SylvoApi;

const SylvoApi& library(char model)
{
    static std::map<char, std::unique_ptr<LoadedLibrary>> libs;
    auto& lib = libs[model];
    if (!lib) lib = std::make_unique<LoadedLibrary>(std::string(SYLVO_LIB_DIR) + "/libsylvo" + model + ".so");
    return lib->api();
}

// How many calls of each function a floor stands for.
struct Floor {
    double exp = 0, log = 0, pow = 0, sqrt = 0;
};

// Times `floor` worth of library calls on varying, realistic arguments.
double floor_seconds(const Floor& f)
{
    constexpr int rounds = 20000;
    double x = 0.37, sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < f.exp; ++i) sink += std::exp(-1.7 * (x += 1e-3));
        for (int i = 0; i < f.log; ++i) sink += std::log(x += 1e-3);
        for (int i = 0; i < f.pow; ++i) sink += std::pow(1.0 + (x += 1e-3), 2.02571);
        for (int i = 0; i < f.sqrt; ++i) sink += std::sqrt(x += 1e-3);
        x = x > 4 ? 0.37 : x;
    }
    benchmark::DoNotOptimize(sink);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

// Runs `call` as the benchmark's body and reports, beside the time per
// call, the floor's time and the ratio of the two.
template <class Call>
void run(benchmark::State& state, Call&& call, const Floor& f)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) call();
    const double call_ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    const double floor_ns = floor_seconds(f) * 1e9;
    state.counters["floor_ns"] = floor_ns;
    state.counters["ratio"] = call_ns / floor_ns;
    state.counters["exp"] = f.exp;
    state.counters["log"] = f.log;
    state.counters["pow"] = f.pow;
    state.counters["sqrt"] = f.sqrt;
}

// The floor of a projection: per model, the transcendentals of one system
// evaluation that depend on the state (four per step) and those that depend
// only on the scaled age (2 n + 1 distinct ages), plus the two transforms.
Floor projection_floor(char model, double t1, double t2)
{
    const sylvo::StepRule rule = model == 'c' ? sylvo::StepRule::four_year_blocks : sylvo::StepRule::whole_years;
    const double n = static_cast<double>(sylvo::step_count(rule, t2 - t1));
    const double evals = 4 * n, ages = 2 * n + 1;
    Floor f;
    f.log = 1;
    f.exp = 1;
    switch (model) {
    case 'a':   // state: E2, exp(x0); age: E1, the onset exponential, tau^a21, tau^a16
        f.exp += 2 * evals + 2 * ages;
        f.pow += 2 * ages;
        break;
    case 'b':   // state: six exponentials; age: five powers of tau
        f.exp += 6 * evals;
        f.pow += 5 * ages;
        break;
    case 'c':   // state: E2, E3, exp(x0); age: E1, tau^c9
        f.exp += 3 * evals + ages;
        f.pow += ages;
        break;
    }
    return f;
}

void BM_GrowTph(benchmark::State& state, char model)
{
    const SylvoApi& lib = library(model);
    double n = 1500;
    run(state, [&] {
        benchmark::DoNotOptimize(lib.SylvoGrowTph(10, n, 20, 40));
        n = n > 1600 ? 1500 : n + 1;
    }, projection_floor(model, 10, 40));
}

// A site-index search evaluates the height export's arithmetic once per
// trial; the number of trials is counted by running the same search over
// the exported height (same residuals, same order).
int site_trials(const SylvoApi& lib, double h, double t, double u, double lo)
{
    int trials = 0;
    auto residual = [&](double s) {
        ++trials;
        return h - lib.SylvoHeight(t, s, u);
    };
    sylvo::find_root(lo, 80.0, residual, 0.001);
    return trials;
}

void BM_Site(benchmark::State& state, char model)
{
    const SylvoApi& lib = library(model);
    const double h = 18, t = 40, u = 0;
    const double trials = site_trials(lib, h, t, u, model == 'c' ? 1.0 : 2.0);
    Floor f;
    switch (model) {
    case 'a':   // K: one power; main curve: ln(S - 1.3), ln(w - 0.5), two exponentials
        f.pow = trials;
        f.log = 2 * trials;
        f.exp = 2 * trials;
        break;
    case 'b':   // main curve: ln(S - 1.3), ln(d), two exponentials
        f.log = 2 * trials;
        f.exp = 2 * trials;
        break;
    case 'c':   // set_site: two powers and a logarithm; height: a power and an exponential
        f.pow = 3 * trials;
        f.log = trials;
        f.exp = trials;
        break;
    }
    double x = h;
    run(state, [&] {
        benchmark::DoNotOptimize(lib.SylvoSite(x, t, u));
        x = x > h + 0.01 ? h : x + 1e-4;
    }, f);
    state.counters["trials"] = trials;
}

// Model A's age on the juvenile curve of a high site: a root search over
// J(T) = c T^1.902 0.9645^T, two powers per trial.
void BM_AgeJuvenile(benchmark::State& state)
{
    const SylvoApi& lib = library('a');
    const double s = 30, u = 0, h = 0.6;
    // Count the trials of the same search: the juvenile curve is the height
    // export below the bridge, at curve age T (age T - 1 - u).
    const double k = 21.6623 * std::pow(s - 9.05671, -0.550762);
    int trials = 0;
    auto residual = [&](double t) {
        ++trials;
        const double c = 0.004828 * s + -0.03993;
        return h - c * std::pow(t, 1.902) * std::pow(0.9645, t);
    };
    sylvo::find_root(0.0, k, residual, 0.001);
    Floor f;
    f.pow = 1 + 2 + 2.0 * trials;   // K; the height at the bridge's start; the trials
    run(state, [&] { benchmark::DoNotOptimize(lib.SylvoAge(h, s, u)); }, f);
    state.counters["trials"] = trials;
}

void BM_MerchVol(benchmark::State& state)
{
    const SylvoApi& lib = library('a');
    Floor f;   // W, d^W, D^(1 - W); the exponential; the mean diameter and sqrt(N)
    f.pow = 3;
    f.exp = 1;
    f.sqrt = 2;
    double d = 10;
    run(state, [&] {
        benchmark::DoNotOptimize(lib.SylvoMerchVol(22, 800, 30, d));
        d = d > 12 ? 10 : d + 1e-3;
    }, f);
}

BENCHMARK_CAPTURE(BM_GrowTph, a_10_to_40, 'a');
BENCHMARK_CAPTURE(BM_GrowTph, b_10_to_40, 'b');
BENCHMARK_CAPTURE(BM_GrowTph, c_10_to_40, 'c');
BENCHMARK_CAPTURE(BM_Site, a, 'a');
BENCHMARK_CAPTURE(BM_Site, b, 'b');
BENCHMARK_CAPTURE(BM_Site, c, 'c');
BENCHMARK(BM_AgeJuvenile);
BENCHMARK(BM_MerchVol);

}  // namespace

BENCHMARK_MAIN();

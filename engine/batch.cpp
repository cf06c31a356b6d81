// The element-wise batch functions, the single-stand functions, and the
// checks every call makes first.
#include <algorithm>
#include <array>
#include <tuple>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <thread>

#include "adapters.h"
#include "checks.h"
#include "models.h"
#include "parallel.h"
#include "thinning.h"

namespace sylvo {

using engine::with_model;

namespace engine {

namespace {

bool overlap(std::span<const double> a, std::span<const double> b)
{
    if (a.empty() || b.empty()) return false;
    const std::less<const double*> before;
    return before(a.data(), b.data() + b.size()) && before(b.data(), a.data() + a.size());
}

}  // namespace

void check_call(Model model, const Options& options, std::initializer_list<std::span<const double>> inputs,
                std::initializer_list<std::span<double>> outputs)
{
    const int m = static_cast<int>(model);
    if (m != SYLVO_MODEL_A && m != SYLVO_MODEL_B && m != SYLVO_MODEL_C)
        throw EngineError(SYLVO_ERR_MODEL, "unknown model " + std::to_string(m) + "; accepted: a, b or c (0, 1, 2)");
    const int mode = static_cast<int>(options.mode);
    if (mode != SYLVO_EXACT && mode != SYLVO_FAST)
        throw EngineError(SYLVO_ERR_MODE, "unknown mode " + std::to_string(mode) + "; accepted: exact or fast (0, 1)");
    if (options.threads < 0)
        throw EngineError(SYLVO_ERR_THREADS,
                          "threads is " + std::to_string(options.threads) + "; accepted: 0 (every core) or more");
    const std::size_t count = outputs.begin()->size();
    for (auto in : inputs)
        if (in.size() != count) throw EngineError(SYLVO_ERR_LENGTH, "the arrays differ in length");
    for (auto out : outputs)
        if (out.size() != count) throw EngineError(SYLVO_ERR_LENGTH, "the arrays differ in length");
    for (auto out = outputs.begin(); out != outputs.end(); ++out) {
        const std::span<const double> o(*out);
        for (auto in : inputs)
            if (overlap(o, in) && o.data() != in.data())
                throw EngineError(SYLVO_ERR_OVERLAP, "an output overlaps an input without being the same array");
        for (auto other = out + 1; other != outputs.end(); ++other)
            if (overlap(o, *other))
                throw EngineError(SYLVO_ERR_OVERLAP, "the two outputs overlap");
    }
}

std::size_t threads_for(const Options& options, std::size_t count, std::size_t min_per_thread)
{
    const std::size_t wanted = static_cast<std::size_t>(thread_count(options, count));
    return std::max<std::size_t>(1, std::min(wanted, count / std::max<std::size_t>(min_per_thread, 1)));
}

}  // namespace engine

namespace {

using engine::check_call;

// Cheap functions are split over threads only in large batches.
constexpr std::size_t kMinPerThreadCheap = 1 << 15;
// A site-index search costs some twenty evaluations of the site curve.
constexpr std::size_t kMinPerThreadSearch = 1 << 10;

// out[i] = f(in[0][i], in[1][i], ...) over threads. Each element's inputs are
// read before its output is written, so an output may be an input.
template <std::size_t N, class F>
void map_batch(const std::array<In, N>& in, Out out, const Options& options, std::size_t min_per_thread, F f)
{
    const std::size_t parts = engine::threads_for(options, out.size(), min_per_thread);
    engine::parallel_for(out.size(), parts, [&](std::size_t begin, std::size_t end, std::size_t) {
        for (std::size_t i = begin; i < end; ++i) {
            std::array<double, N> x;
            for (std::size_t k = 0; k < N; ++k) x[k] = in[k][i];
            out[i] = std::apply(f, x);
        }
    });
}

}  // namespace

Model parse_model(std::string_view name)
{
    if (name == "a" || name == "A") return Model::a;
    if (name == "b" || name == "B") return Model::b;
    if (name == "c" || name == "C") return Model::c;
    throw EngineError(SYLVO_ERR_MODEL, "unknown model '" + std::string(name) + "'; accepted: 'a', 'b' or 'c'");
}

const char* model_letter(Model model)
{
    return model == Model::b ? "b" : model == Model::c ? "c" : "a";
}

const char* model_name(Model model)
{
    return model == Model::b ? "Model B" : model == Model::c ? "Model C" : "Model A";
}

double model_version(Model model)
{
    return with_model(model, [](auto m) { return decltype(m)::coefficients.frame.version; });
}

Mode parse_mode(std::string_view name)
{
    if (name == "exact") return Mode::exact;
    if (name == "fast") return Mode::fast;
    throw EngineError(SYLVO_ERR_MODE, "unknown mode '" + std::string(name) + "'; accepted: 'exact' or 'fast'");
}

int thread_count(const Options& options, std::size_t count)
{
    int wanted = options.threads;
    if (wanted <= 0) wanted = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (count < static_cast<std::size_t>(wanted)) wanted = static_cast<int>(std::max<std::size_t>(count, 1));
    return wanted;
}

double qmd(double ba, double trees)
{
    return sylvo::quadratic_mean_diameter(ba, trees);
}

// Single stands: the exports' adapters on a site of the stand's own.

Stand grow_one(Model model, double t1, double t2, double trees, double ba)
{
    const StandState s =
        with_model(model, [&](auto m) { return projected<decltype(m)>(t1, trees, ba, t2); });
    return {s.trees_per_hectare, s.basal_area};
}

double height_one(Model model, double age, double site, double shift)
{
    return with_model(model, [&](auto m) {
        using M = decltype(m);
        typename M::SiteCurve curve = M::load_time_site;
        return height_for<M>(curve, age, site, shift, DeclinedSite::not_a_number);
    });
}

double site_one(Model model, double height, double age, double shift)
{
    return with_model(model, [&](auto m) {
        using M = decltype(m);
        typename M::SiteCurve curve = M::load_time_site;
        return site_from_height<M>(curve, height, age, shift);
    });
}

double age_one(Model model, double height, double site, double shift)
{
    return with_model(model, [&](auto m) {
        using M = decltype(m);
        typename M::SiteCurve curve = M::load_time_site;
        return age_for<M>(curve, height, site, shift, DeclinedSite::not_a_number);
    });
}

double volume_one(Model model, double height, double trees, double ba)
{
    return with_model(model, [&](auto m) { return decltype(m)::stand_volume(height, trees, ba); });
}

double merch_volume_one(Model model, double height, double trees, double ba, double limit)
{
    return with_model(model, [&](auto m) { return decltype(m)::merch_volume(height, trees, ba, limit); });
}

double ba_after_one(Model model, double p, double trees, double ba, double trees_after)
{
    return with_model(model, [&](auto m) {
        return thinned_ba(decltype(m)::coefficients.frame.thinning, p, trees, ba, trees_after);
    });
}

double tph_after_one(Model model, double p, double trees, double ba, double ba_after)
{
    return with_model(model, [&](auto m) {
        return thinned_tph(decltype(m)::coefficients.frame.thinning, p, trees, ba, ba_after);
    });
}

// Batches of the element-wise functions. The model is fixed once per call.

void height(Model model, In age, In site, In shift, Out out, const Options& options)
{
    check_call(model, options, {age, site, shift}, {out});
    with_model(model, [&](auto m) {
        using M = decltype(m);
        map_batch<3>({age, site, shift}, out, options, kMinPerThreadCheap, [](double t, double s, double u) {
            typename M::SiteCurve curve = M::load_time_site;
            return height_for<M>(curve, t, s, u, DeclinedSite::not_a_number);
        });
    });
}

void site(Model model, In height, In age, In shift, Out out, const Options& options)
{
    check_call(model, options, {height, age, shift}, {out});
    with_model(model, [&](auto m) {
        using M = decltype(m);
        map_batch<3>({height, age, shift}, out, options, kMinPerThreadSearch, [](double h, double t, double u) {
            typename M::SiteCurve curve = M::load_time_site;
            return site_from_height<M>(curve, h, t, u);
        });
    });
}

void age(Model model, In height, In site, In shift, Out out, const Options& options)
{
    check_call(model, options, {height, site, shift}, {out});
    with_model(model, [&](auto m) {
        using M = decltype(m);
        map_batch<3>({height, site, shift}, out, options, kMinPerThreadSearch, [](double h, double s, double u) {
            typename M::SiteCurve curve = M::load_time_site;
            return age_for<M>(curve, h, s, u, DeclinedSite::not_a_number);
        });
    });
}

void volume(Model model, In height, In trees, In ba, Out out, const Options& options)
{
    check_call(model, options, {height, trees, ba}, {out});
    with_model(model, [&](auto m) {
        map_batch<3>({height, trees, ba}, out, options, kMinPerThreadCheap, &decltype(m)::stand_volume);
    });
}

void merch_volume(Model model, In height, In trees, In ba, In limit, Out out, const Options& options)
{
    check_call(model, options, {height, trees, ba, limit}, {out});
    with_model(model, [&](auto m) {
        map_batch<4>({height, trees, ba, limit}, out, options, kMinPerThreadCheap, &decltype(m)::merch_volume);
    });
}

void ba_after(Model model, In p, In trees, In ba, In trees_after, Out out, const Options& options)
{
    check_call(model, options, {p, trees, ba, trees_after}, {out});
    with_model(model, [&](auto m) {
        const ThinningCoefficients& c = decltype(m)::coefficients.frame.thinning;
        map_batch<4>({p, trees, ba, trees_after}, out, options, kMinPerThreadCheap,
                     [&c](double pv, double n1, double b1, double n2) { return thinned_ba(c, pv, n1, b1, n2); });
    });
}

void tph_after(Model model, In p, In trees, In ba, In ba_after, Out out, const Options& options)
{
    check_call(model, options, {p, trees, ba, ba_after}, {out});
    with_model(model, [&](auto m) {
        const ThinningCoefficients& c = decltype(m)::coefficients.frame.thinning;
        map_batch<4>({p, trees, ba, ba_after}, out, options, kMinPerThreadCheap,
                     [&c](double pv, double n1, double b1, double b2) { return thinned_tph(c, pv, n1, b1, b2); });
    });
}

}  // namespace sylvo

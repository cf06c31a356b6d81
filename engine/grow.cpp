// The projection of a batch of stands.
//
// Every stand projected between the same two ages takes the same steps at
// the same scaled ages, and the terms of the stand equations that depend on
// the scaled age alone are the same for all of them. So the stands are
// grouped by the bit patterns of their two ages, each group's age terms are
// computed once at its stage ages, and its stands are integrated with them:
// the same operations on the same values as the export's projection, which
// computes the same terms for each stand anew. Exact mode integrates a
// group's stands a block at a time with the block form of the model's stand
// equations (each phase across the block: the exponentials back to back, the
// arithmetic between them vectorised, each lane the stand's own IEEE
// operations). Fast mode integrates them with SIMD (fast_grow.h).
#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "adapters.h"
#include "checks.h"
#include "fast_grow.h"
#include "models.h"
#include "parallel.h"
#include "projection.h"

namespace sylvo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A projection this long computes its age terms per stand, as the export
// does, rather than keep a table of them.
constexpr std::int64_t kMostSharedSteps = 4096;
// A group's age terms cost about what the export spends on them for one
// stand, so grouping pays once the groups of a window average this many.
constexpr std::size_t kMostGroupsPerStand = 2;
// Stands handed to the fast kernel at a time.
constexpr std::size_t kFastBlock = 256;
// Fewer stands than this are not worth a thread of their own.
constexpr std::size_t kMinPerThread = 256;
// Stands of mixed ages are grouped in windows of at most this many (their
// inputs and outputs, 48 bytes a stand, stay in the last-level cache; larger
// windows give larger groups, which fast mode's vectors fill better), and at
// least this many windows a thread when the batch allows.
constexpr std::size_t kLargestWindow = std::size_t{1} << 18;
constexpr std::size_t kWindowsPerThread = 4;

struct GrowArrays {
    In t1, t2, trees, ba;
    Out trees_out, ba_out;
};

// Stands integrated side by side. A stand's projection is one long chain of
// dependent operations, so the processor waits on each exponential; several
// stands in one system of 2K variables give it independent work to overlap.
// rk4_step treats every variable alike, so each stand sees exactly the
// operations of its own projection.
constexpr std::size_t kSideBySide = 8;

// Exact mode takes a group's stands in blocks of this many, or of
// kSmallBlock for the rest of the group, through the block form of the
// stand equations (stand_derivatives_block): each of its phases runs across
// the block. The last few stands of a group are integrated side by side.
constexpr std::size_t kBlock = 64;
constexpr std::size_t kSmallBlock = 16;

// The model's stand equations for a set of stands as the integrator's
// system, with the age terms taken from a table at the plan's stage ages:
// rk4_step evaluates its system at the start of a step, twice at its middle,
// and at its end. Interleaved: up to kSideBySide stands, each stand's
// (x0, x1) side by side. Block (K stands, the model's block form): the K
// values of x0, then the K values of x1.
template <class M, std::size_t K = 0>
class StagedStandSystem {
public:
    StagedStandSystem(const typename M::AgeTerms* terms, std::size_t stands) : terms_(terms), stands_(stands) {}

    void operator()(double tau, const double* x, double* dx)
    {
        static constexpr int stage_of_call[4] = {0, 1, 1, 2};
        const typename M::AgeTerms& terms = terms_[2 * step_ + stage_of_call[call_]];
        if constexpr (K == 0) {
            for (std::size_t k = 0; k < stands_; ++k) M::stand_derivatives(tau, terms, x + 2 * k, dx + 2 * k);
        } else {
            M::template stand_derivatives_block<K>(tau, terms, x, x + K, dx, dx + K);
        }
        if (++call_ == 4) {
            call_ = 0;
            ++step_;
        }
    }

private:
    const typename M::AgeTerms* terms_;
    std::size_t stands_;
    std::int64_t step_ = 0;
    int call_ = 0;
};

struct AgePair {
    std::uint64_t t1, t2;
    bool operator==(const AgePair&) const = default;
};

struct AgePairHash {
    std::size_t operator()(const AgePair& k) const
    {
        return static_cast<std::size_t>((k.t1 * 0x9E3779B97F4A7C15ull) ^ (k.t2 + 0x632BE59BD9B4E019ull + (k.t1 >> 7)));
    }
};

struct Group {
    double t1, t2;
    ProjectionPlan plan;
    std::size_t first;  // position of its first stand in the order
    std::size_t count;
};

AgePair key_of(double t1, double t2)
{
    return {std::bit_cast<std::uint64_t>(t1), std::bit_cast<std::uint64_t>(t2)};
}

// The stands of one window of a batch in groups of equal ages: the groups,
// and the stands' offsets in the window ordered group by group. Its tables
// are kept from window to window.
class WindowGrouping {
public:
    // Groups the stands [begin, end); false when grouping does not pay
    // (more distinct pairs of ages than a share of the stands).
    bool group(StepRule rule, In t1, In t2, std::size_t begin, std::size_t end)
    {
        const std::size_t count = end - begin;
        const std::size_t most_groups = count / kMostGroupsPerStand + 1;
        groups.clear();
        index_.clear();
        group_of_.resize(count);
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t i = begin + j;
            auto [at, added] = index_.try_emplace(key_of(t1[i], t2[i]), static_cast<std::uint32_t>(groups.size()));
            if (added) {
                if (groups.size() == most_groups) return false;
                groups.push_back({t1[i], t2[i], plan_projection(rule, t1[i], t2[i]), 0, 0});
            }
            group_of_[j] = at->second;
            ++groups[at->second].count;
        }
        std::size_t position = 0;
        next_.resize(groups.size());
        for (std::size_t k = 0; k < groups.size(); ++k) {
            groups[k].first = position;
            next_[k] = position;
            position += groups[k].count;
        }
        order.resize(count);
        for (std::size_t j = 0; j < count; ++j) order[next_[group_of_[j]]++] = static_cast<std::uint32_t>(j);
        return true;
    }

    std::vector<Group> groups;
    std::vector<std::uint32_t> order;

private:
    std::unordered_map<AgePair, std::uint32_t, AgePairHash> index_;
    std::vector<std::uint32_t> group_of_;
    std::vector<std::size_t> next_;
};

// The age terms of a plan at its stage ages; returns the final scaled age.
template <class M>
double stage_terms(const ProjectionPlan& plan, std::vector<typename M::AgeTerms>& terms)
{
    terms.clear();
    return for_each_stage_age(plan, [&terms](std::int64_t, double tau) { terms.push_back(M::age_terms(tau)); });
}

// Projects the stands at positions [begin, end) of one group.
template <class M>
class GroupProjector {
public:
    GroupProjector(const GrowArrays& a, Model model, Mode mode) : a_(a), model_(model), mode_(mode) {}

    template <class Index>
    void run(const Group& group, std::size_t begin, std::size_t end, Index index)
    {
        const ProjectionPlan& plan = group.plan;
        if (!plan.in_domain || plan.steps > kMostSharedSteps) {
            for (std::size_t p = begin; p < end; ++p) project_alone(index(p));
            return;
        }
        const double tau_end = stage_terms<M>(plan, terms_);
        if (mode_ == Mode::fast) {
            run_fast(plan, tau_end, begin, end, index);
            return;
        }
        run_exact(plan, tau_end, begin, end, index);
    }

    // The export's own projection of one stand.
    void project_alone(std::size_t i)
    {
        write(i, projected<M>(a_.t1[i], a_.trees[i], a_.ba[i], a_.t2[i]));
    }

private:
    template <class Index>
    void run_exact(const ProjectionPlan& plan, double tau_end, std::size_t begin, std::size_t end, Index index)
    {
        while (end - begin >= kSmallBlock) {
            begin = end - begin >= kBlock ? run_block<kBlock>(plan, tau_end, begin, end, index)
                                          : run_block<kSmallBlock>(plan, tau_end, begin, end, index);
        }
        run_side_by_side(plan, tau_end, begin, end, index);
    }

    // Takes the projectable stands from position p on, at most `most` of
    // them, into stand_at (their indices) and writes NaN for the others it
    // passes; advances p. Returns how many it took.
    template <class Index>
    std::size_t gather(const ProjectionPlan& plan, std::size_t& p, std::size_t end, std::size_t most, Index index,
                       std::size_t* stand_at)
    {
        std::size_t n = 0;
        for (; p < end && n < most; ++p) {
            const std::size_t i = index(p);
            if (projectable(plan, a_.trees[i])) {
                stand_at[n++] = i;
            } else {
                write(i, {kNaN, kNaN});
            }
        }
        return n;
    }

    // Projects the next K projectable stands from position p on (fewer when
    // the group ends first) as one block; returns the position after the
    // last stand taken.
    template <std::size_t K, class Index>
    std::size_t run_block(const ProjectionPlan& plan, double tau_end, std::size_t p, std::size_t end, Index index)
    {
        std::size_t stand_at[K];
        double y[2 * K], work[8 * K];
        const std::size_t n = gather(plan, p, end, K, index, stand_at);
        if (n == 0) return p;
        for (std::size_t k = 0; k < K; ++k) {
            // A block not filled repeats its first stand; those results are dropped.
            const std::size_t i = stand_at[k < n ? k : 0];
            double x[2];
            to_transformed({a_.trees[i], a_.ba[i]}, plan.tau_start, x);
            y[k] = x[0];
            y[K + k] = x[1];
        }
        StagedStandSystem<M, K> system(terms_.data(), K);
        integrate(plan, y, static_cast<int>(2 * K), system, work);
        for (std::size_t k = 0; k < n; ++k) {
            const double x[2] = {y[k], y[K + k]};
            write(stand_at[k], from_transformed(x, tau_end));
        }
        return p;
    }

    template <class Index>
    void run_side_by_side(const ProjectionPlan& plan, double tau_end, std::size_t p, std::size_t end, Index index)
    {
        std::size_t stand_at[kSideBySide];
        double y[2 * kSideBySide], work[8 * kSideBySide];
        while (p < end) {
            const std::size_t n = gather(plan, p, end, kSideBySide, index, stand_at);
            if (n == 0) return;  // the rest were not projectable
            for (std::size_t k = 0; k < n; ++k)
                to_transformed({a_.trees[stand_at[k]], a_.ba[stand_at[k]]}, plan.tau_start, y + 2 * k);
            StagedStandSystem<M> system(terms_.data(), n);
            integrate(plan, y, static_cast<int>(2 * n), system, work);
            for (std::size_t k = 0; k < n; ++k) write(stand_at[k], from_transformed(y + 2 * k, tau_end));
        }
    }

    template <class Index>
    void run_fast(const ProjectionPlan& plan, double tau_end, std::size_t p, std::size_t end, Index index)
    {
        std::size_t stand_at[kFastBlock];
        double trees[kFastBlock], ba[kFastBlock];
        while (p < end) {
            const std::size_t n = gather(plan, p, end, kFastBlock, index, stand_at);
            for (std::size_t k = 0; k < n; ++k) {
                trees[k] = a_.trees[stand_at[k]];
                ba[k] = a_.ba[stand_at[k]];
            }
            engine::fast_grow_block(model_, plan, terms_.data(), tau_end, n, trees, ba);
            for (std::size_t k = 0; k < n; ++k) write(stand_at[k], {trees[k], ba[k]});
        }
    }

    void write(std::size_t i, StandState s)
    {
        a_.trees_out[i] = s.trees_per_hectare;
        a_.ba_out[i] = s.basal_area;
    }

    const GrowArrays& a_;
    Model model_;
    Mode mode_;
    std::vector<typename M::AgeTerms> terms_;
};

template <class M>
void grow_model(Model model, const GrowArrays& a, const Options& options)
{
    const std::size_t count = a.t1.size();
    if (count == 0) return;
    const StepRule rule = M::coefficients.frame.step_rule;
    const std::size_t parts = engine::threads_for(options, count, kMinPerThread);

    // Most batches share one pair of ages: one group, no table, no
    // reordering, in equal parts over the threads.
    const AgePair first = key_of(a.t1[0], a.t2[0]);
    std::size_t same = 1;
    while (same < count && key_of(a.t1[same], a.t2[same]) == first) ++same;
    if (same == count) {
        const Group all{a.t1[0], a.t2[0], plan_projection(rule, a.t1[0], a.t2[0]), 0, count};
        engine::parallel_for(count, parts, [&](std::size_t begin, std::size_t end, std::size_t) {
            GroupProjector<M> projector(a, model, options.mode);
            projector.run(all, begin, end, [](std::size_t p) { return p; });
        });
        return;
    }

    // Otherwise the batch is taken in windows, each grouped by its stands'
    // ages; a window's stands stay in the processor's cache while they are
    // gathered group by group. The threads take the next window as they
    // finish one. A stand's result depends on its own inputs alone, so
    // neither the windows nor their order over the threads change it.
    const std::size_t window = std::clamp(count / (parts * kWindowsPerThread) + 1, kMinPerThread, kLargestWindow);
    const std::size_t windows = (count + window - 1) / window;
    std::atomic<std::size_t> next_window{0};
    engine::run_parts(
        parts, [](std::size_t k) { return k; },
        [&](std::size_t, std::size_t, std::size_t) {
            GroupProjector<M> projector(a, model, options.mode);
            WindowGrouping g;
            for (std::size_t w; (w = next_window.fetch_add(1, std::memory_order_relaxed)) < windows;) {
                const std::size_t begin = w * window;
                const std::size_t end = std::min(count, begin + window);
                if (!g.group(rule, a.t1, a.t2, begin, end)) {
                    // Too many pairs of ages to share their terms: in exact
                    // mode every stand as the export projects it, in fast
                    // mode every stand a group of its own.
                    for (std::size_t i = begin; i < end; ++i) {
                        if (options.mode == Mode::exact) {
                            projector.project_alone(i);
                            continue;
                        }
                        const Group alone{a.t1[i], a.t2[i], plan_projection(rule, a.t1[i], a.t2[i]), i, 1};
                        projector.run(alone, i, i + 1, [](std::size_t p) { return p; });
                    }
                    continue;
                }
                auto index = [&g, begin](std::size_t p) -> std::size_t { return begin + g.order[p]; };
                for (const Group& group : g.groups) projector.run(group, group.first, group.first + group.count, index);
            }
        });
}

}  // namespace

void grow(Model model, In t1, In t2, In trees, In ba, Out trees_out, Out ba_out, const Options& options)
{
    engine::check_call(model, options, {t1, t2, trees, ba}, {trees_out, ba_out});
    const GrowArrays arrays{t1, t2, trees, ba, trees_out, ba_out};
    engine::with_model(model, [&](auto m) { grow_model<decltype(m)>(model, arrays, options); });
}

}  // namespace sylvo

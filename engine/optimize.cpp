// The regime optimiser and the rotation curve.
//
// 1. The free numbers and the values each may take (whole years for ages).
// 2. A full grid where the combinations are few; else a coordinate search:
//    every value of one number with the others held, the best kept, number
//    after number, until a round changes nothing.
// 3. Candidates are tabled in parallel, each on its own copy of the regime;
//    the best is chosen in candidate order, so threads do not change it.
#include "sylvo/optimize.hpp"

#include <cmath>

#include "parallel.h"
#include "values.h"

namespace sylvo {

using engine::given;
using engine::shortest;

Objective parse_objective(std::string_view name)
{
    if (name == "lev") return Objective::lev;
    if (name == "npv") return Objective::npv;
    if (name == "mai") return Objective::mai;
    throw InputError("--objective", std::string(name), "is not an objective", "lev, npv or mai");
}

const char* objective_name(Objective objective)
{
    return objective == Objective::lev ? "lev" : objective == Objective::npv ? "npv" : "mai";
}

double objective_value(Objective objective, const TableRequest& request, const YieldTable& table,
                       const Economics* economics)
{
    if (table.rows.empty()) return kNone;
    if (objective == Objective::mai) return summarize_table(table).production / table.rows.back().age;
    if (!economics) return kNone;
    const TableValues v = table_values(request, table, removal_ledger(request, table, *economics), *economics);
    return objective == Objective::lev ? v.lev : v.npv;
}

namespace {

// 1. The values a free number may take.
std::vector<double> candidates(const RegimeNumber& n)
{
    const double step = given(n.step) ? n.step : n.is_age ? 1.0 : (n.high - n.low) / 40.0;
    std::vector<double> out;
    for (long k = 0;; ++k) {
        double x = n.low + static_cast<double>(k) * step;
        if (n.is_age && !given(n.step)) x = std::ceil(n.low) + static_cast<double>(k);
        if (x > n.high + 1e-9 * std::abs(n.high)) break;
        out.push_back(x);
    }
    if (out.empty()) out.push_back(n.low);
    return out;
}

double start_of(const RegimeNumber& n, const std::vector<double>& values)
{
    const double want = given(n.start) ? n.start : (n.low + n.high) / 2.0;
    double best = values.front();
    for (double x : values)
        if (std::abs(x - want) < std::abs(best - want)) best = x;
    return best;
}

}  // namespace

OptimizeResult optimize_regime(const TableRequest& request, const Regime& regime, const Economics* economics,
                               Objective objective, int threads, long max_grid)
{
    if (objective != Objective::mai && !economics)
        throw InputError("--objective", objective_name(objective), "needs an economics file",
                         "--economics FILE, or the objective mai");
    Regime base = regime;
    const std::vector<RegimeNumber*> free = search_numbers(base);
    if (free.empty())
        throw InputError("--regime", regime.name, "has no number written as a search range",
                         "a regime with one or more numbers written {\"search\": [LOW, HIGH]}");
    std::vector<std::vector<double>> values;
    for (const RegimeNumber* n : free) values.push_back(candidates(*n));

    // Tables every candidate (a value for each free number), in parallel.
    OptimizeResult result;
    auto evaluate = [&](const std::vector<std::vector<double>>& points) {
        std::vector<double> out(points.size(), kNone);
        const Options options{Mode::exact, threads};
        const std::size_t parts = static_cast<std::size_t>(thread_count(options, points.size()));
        engine::parallel_for(points.size(), parts, [&](std::size_t begin, std::size_t end, std::size_t) {
            Regime mine = base;
            const std::vector<RegimeNumber*> slots = search_numbers(mine);
            for (std::size_t i = begin; i < end; ++i) {
                for (std::size_t k = 0; k < slots.size(); ++k) slots[k]->value = points[i][k];
                try {
                    out[i] = objective_value(objective, request, yield_table(request, mine), economics);
                } catch (const InputError&) {
                } catch (const RegimeError&) {
                }
            }
        });
        result.evaluations += static_cast<long>(points.size());
        return out;
    };
    auto better = [](double a, double b) { return given(a) && (!given(b) || a > b); };

    std::vector<double> point;
    for (std::size_t k = 0; k < free.size(); ++k) point.push_back(start_of(*free[k], values[k]));
    result.start_value = evaluate({point}).front();
    double best = result.start_value;

    // 2. A full grid, or a coordinate search.
    double combinations = 1.0;
    for (const auto& v : values) combinations *= static_cast<double>(v.size());
    if (combinations <= static_cast<double>(max_grid)) {
        result.method = "grid";
        std::vector<std::vector<double>> grid;
        std::vector<std::size_t> index(free.size(), 0);
        for (;;) {
            std::vector<double> p;
            for (std::size_t k = 0; k < free.size(); ++k) p.push_back(values[k][index[k]]);
            grid.push_back(std::move(p));
            std::size_t k = 0;
            while (k < free.size() && ++index[k] == values[k].size()) index[k++] = 0;
            if (k == free.size()) break;
        }
        const std::vector<double> got = evaluate(grid);
        for (std::size_t i = 0; i < grid.size(); ++i)
            if (better(got[i], best)) {
                best = got[i];
                point = grid[i];
            }
    } else {
        result.method = "coordinate search";
        for (bool changed = true; changed;) {
            changed = false;
            for (std::size_t k = 0; k < free.size(); ++k) {
                std::vector<std::vector<double>> line;
                for (double x : values[k]) {
                    line.push_back(point);
                    line.back()[k] = x;
                }
                const std::vector<double> got = evaluate(line);
                for (std::size_t i = 0; i < line.size(); ++i)
                    if (better(got[i], best)) {
                        best = got[i];
                        point = line[i];
                        changed = true;
                    }
            }
        }
    }
    for (std::size_t k = 0; k < free.size(); ++k) free[k]->value = point[k];
    result.best = base;
    result.value = best;
    return result;
}

std::vector<RotationPoint> rotation_curve(const TableRequest& request, const Regime& regime,
                                          const Economics* economics, double from, double to, double step,
                                          int threads)
{
    if (!(from > 0 && to >= from && to <= kMaxAge && step > 0))
        throw InputError("--rotation", shortest(from) + ":" + shortest(to), "is not a range of harvest ages",
                         "FROM:TO with 0 < FROM <= TO <= 1000");
    Regime base = regime;
    std::erase_if(base.events, [](const RegimeEvent& e) { return e.action == EventAction::harvest; });
    RegimeEvent harvest;
    harvest.action = EventAction::harvest;
    harvest.timing = EventTiming::at;
    harvest.at.resize(1);
    harvest.at[0].is_age = true;
    harvest.label = "rotation";
    base.events.push_back(harvest);
    std::vector<RotationPoint> points;
    for (long k = 0;; ++k) {
        const double age = from + static_cast<double>(k) * step;
        if (age > to + kSameAge) break;
        points.push_back(RotationPoint{age});
    }
    const Options options{Mode::exact, threads};
    const std::size_t parts = static_cast<std::size_t>(thread_count(options, points.size()));
    engine::parallel_for(points.size(), parts, [&](std::size_t begin, std::size_t end, std::size_t) {
        Regime mine = base;
        for (std::size_t i = begin; i < end; ++i) {
            RotationPoint& p = points[i];
            mine.events.back().at[0].value = p.age;
            TableRequest r = request;
            r.end_age = std::max(request.end_age, p.age);
            try {
                const YieldTable table = yield_table(r, mine);
                p.harvested = table.harvested;
                if (!table.harvested) continue;
                p.mai = objective_value(Objective::mai, r, table, economics);
                if (economics) {
                    const TableValues v = table_values(r, table, removal_ledger(r, table, *economics), *economics);
                    p.lev = v.lev;
                    p.npv = v.npv;
                }
            } catch (const InputError&) {
            } catch (const RegimeError&) {
            }
        }
    });
    return points;
}

}  // namespace sylvo

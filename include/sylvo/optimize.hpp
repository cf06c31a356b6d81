// The best regime for a stand: the numbers a regime writes as search ranges
// ({"search": [LOW, HIGH]}) chosen to maximise an objective (LEV, NPV or
// MAI), and the rotation curve of a regime (MAI and LEV over harvest age).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sylvo/economics.hpp"
#include "sylvo/regime.hpp"

namespace sylvo {

enum class Objective { lev, npv, mai };
// "lev", "npv" or "mai"; throws InputError otherwise.
Objective parse_objective(std::string_view name);
const char* objective_name(Objective objective);

// The objective of one table: LEV or NPV per ha (needs ECONOMICS and a
// harvest), or MAI, the total production over the last row's age (m3/ha/yr).
// NaN where the table has none.
double objective_value(Objective objective, const TableRequest& request, const YieldTable& table,
                       const Economics* economics);

struct OptimizeResult {
    Regime best;                 // the regime with its searched numbers filled in
    double value = kNone;        // its objective
    double start_value = kNone;  // the objective at the starting values
    long evaluations = 0;        // tables made
    std::string method;          // "grid" or "coordinate search"
};

// Searches REGIME's free numbers for REQUEST's stand. Each free number takes
// the values LOW, LOW + STEP, ... up to HIGH (STEP: 1 year for an age, else
// its step, else a 40th of the range). With at most MAX_GRID combinations
// every one is tried; otherwise a coordinate search from the starting values
// (START, else the middle of the range) tries every value of one number at a
// time, keeping the best, until a round changes nothing. Candidates are
// tabled on THREADS threads (0: every core); the result is the same for any
// thread count (ties go to the first candidate in order). Throws InputError
// for a regime without search ranges or an objective that needs economics.
OptimizeResult optimize_regime(const TableRequest& request, const Regime& regime, const Economics* economics,
                               Objective objective, int threads = 0, long max_grid = 20000);

// One harvest age of a rotation curve.
struct RotationPoint {
    double age;                // the harvest age
    double mai = kNone;        // at the harvest (m3/ha/yr)
    double lev = kNone;        // with ECONOMICS
    double npv = kNone;
    bool harvested = false;    // false: the stand stopped before this age
};

// REGIME with its final harvest (any it has removed) at each age from FROM
// to TO by STEP years.
std::vector<RotationPoint> rotation_curve(const TableRequest& request, const Regime& regime,
                                          const Economics* economics, double from, double to, double step,
                                          int threads = 0);

}  // namespace sylvo

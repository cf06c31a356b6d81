// The yield table: a stand projected row by row under a thinning regime.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "library.h"

namespace sylvo_tool {

// Ages closer than this (years) are one age: a thinning on the row interval
// takes that row, and two thinnings must be further apart.
inline constexpr double kSameAge = 1e-6;

struct Thinning {
    double age;                          // years
    std::optional<double> residual_tph;  // thin to this many trees per hectare...
    std::optional<double> residual_ba;   // ...or to this basal area (m2/ha)
    double p;                            // the thinning-response stand value
    std::string written;                 // as written on the command line, for messages
};

struct Stand {
    double site_index;                   // m
    std::optional<double> site_height;   // the dominant height (m) the site index came from...
    std::optional<double> site_age;      // ...and the age (years) it was measured at
    double age_shift = 0.0;              // years
    double start_age;                    // years
    double tph;                          // trees per hectare at the start age
    double ba;                           // basal area (m2/ha) at the start age
    double end_age;                      // years
    double interval = 5.0;               // years between rows
    double merch_limit;                  // merchantable diameter limit (cm)
    std::vector<Thinning> thinnings;     // in age order, within [start_age, end_age]
};

struct Row {
    double age, height, tph, ba, qmd, volume, merch_volume;
    bool after_thinning = false;
    std::optional<double> removed_tph, removed_ba, removed_volume;  // on the row after a thinning
    double mai;                  // mean annual increment of total production (m3/ha/yr)
    std::optional<double> pai;   // periodic annual increment since the previous row
};

struct Stop {
    double age;
    bool after_thinning;
    std::string reason;
};

struct YieldTable {
    std::vector<Row> rows;
    std::optional<Stop> stop;  // where the model left its valid range, if it did
};

// The ages of the rows: the start age, every INTERVAL years after it, the end
// age, and each thinning age (which gets a row before and after the thinning).
std::vector<double> row_ages(const Stand& stand);

// Projects the stand with the library's exports. Throws InputError (naming
// the --thin option) for a thinning to as many trees or as much basal area as
// the stand has at its age or more; stops at the first row that fails the
// validity checks (see check_row) and records why.
YieldTable compute_yield_table(const Library& library, const Stand& stand);

// Why a row is not a valid result of the model, or nullopt if it is.
std::optional<std::string> check_row(const Row& row, const std::string& model);

}  // namespace sylvo_tool

// The tool's commands, run on options already read from the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sylvo_tool {

// Options every command takes: which library, and the output format.
struct CommonOptions {
    std::string model = "a";   // a, b or c
    std::string format = "table";
};

// The values of the number options a command was given (nullopt: not given).
struct Values {
    std::optional<double> site, height, height_age, shift, start_age, trees, ba, end_age, interval, merch_limit;
    std::optional<double> age, p, to_trees, to_ba, max_sdi;
    std::vector<std::string> thinnings;  // --thin, as written
    std::string plot;                    // --plot FILE.png|FILE.svg, or empty
    std::string regime_file;             // --regime FILE, or empty
    std::vector<std::string> regime_names;  // --regime-name, as given
    std::string economics_file;          // --economics FILE, or empty
    std::string objective = "lev";       // optimize: lev, npv or mai
    int threads = 0;                     // optimize, rotation
    std::optional<double> rotation_from, rotation_to, rotation_step;  // rotation
};

// Each returns the exit status; bad input throws InputError.
int run_table(const CommonOptions& common, const Values& values);
int run_height(const CommonOptions& common, const Values& values);
int run_age(const CommonOptions& common, const Values& values);
int run_site(const CommonOptions& common, const Values& values);
int run_volume(const CommonOptions& common, const Values& values);
int run_thin(const CommonOptions& common, const Values& values);
int run_grow(const CommonOptions& common, const Values& values);
// sylvo regime check FILE: validates, then prints each regime in words.
int run_regime_check(const std::string& file);
// sylvo compare: the stand's table under several regimes, one long table
// and a summary per regime.
int run_compare(const CommonOptions& common, const Values& values);
// sylvo optimize: the regime's search ranges filled in to maximise the objective.
int run_optimize(const CommonOptions& common, const Values& values);
// sylvo rotation: MAI and LEV over harvest ages, and the two rotations.
int run_rotation(const CommonOptions& common, const Values& values);

// Limits the tool puts on its inputs.
inline constexpr double kMaxAge = 1000.0;  // years
inline constexpr double kMaxSite = 80.5;   // m, the largest site index the libraries accept

}  // namespace sylvo_tool

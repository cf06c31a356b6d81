// sylvo project and sylvo tables: whole inventories from a CSV file.
#pragma once

#include <optional>
#include <string>

namespace sylvo_tool {

struct InventoryOptions {
    std::string input;                     // a path, or "-" for standard input
    std::string output = "-";              // a path, or "-" for standard output
    std::string format = "csv";            // csv or json
    std::optional<std::string> model;      // a, b or c for rows without a model
    std::optional<double> to_age, years;   // project: the end age or the years forward
    std::optional<double> end_age;         // tables: for rows without end_age_yr
    std::optional<double> interval;        // tables: for rows without interval_yr (default 5)
    std::optional<double> merch_limit;     // cm
    std::optional<double> max_sdi;
    std::string mode = "exact";
    int threads = 0;
    std::string regimes;                   // tables: a regime file (a `regime` column names each stand's)
};

// Each returns the exit status; a file that cannot be used throws InputError.
int run_project(const InventoryOptions& options);
int run_tables(const InventoryOptions& options);

}  // namespace sylvo_tool

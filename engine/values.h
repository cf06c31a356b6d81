// Small helpers on values that the yield tables, the inventories and the row
// reader share: a number as text, and the checks their messages speak of.
#pragma once

#include <charconv>
#include <cmath>
#include <string>

#include "sylvo/yield_table.hpp"

namespace sylvo::engine {

// Appends X in the shortest form that reads back to the same double ("nan"
// for NaN).
inline void append_shortest(std::string& out, double x)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    if (std::isnan(x) || ec != std::errc())
        out += "nan";
    else
        out.append(buffer, end);
}

// X in that form, as a string of its own.
inline std::string shortest(double x)
{
    std::string s;
    append_shortest(s, x);
    return s;
}

// A value is given unless it is kNone (NaN).
inline bool given(double x) { return !std::isnan(x); }
inline bool finite_positive(double x) { return std::isfinite(x) && x > 0.0; }
// An age the engine takes: above 0 and at most kMaxAge years.
inline bool age_ok(double x) { return std::isfinite(x) && x > 0.0 && x <= kMaxAge; }

// The largest site index the libraries accept (m).
inline constexpr double kMaxSite = 80.5;

}  // namespace sylvo::engine

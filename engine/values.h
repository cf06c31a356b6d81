// Small helpers on values that the yield tables, the inventories and the row
// reader share: a number as text, and the checks their messages speak of.
#pragma once

#include <charconv>
#include <cmath>
#include <string>

#include "sylvo/yield_table.hpp"

namespace sylvo::engine {

// X in the shortest form that reads back to the same double ("nan" for NaN).
inline std::string shortest(double x)
{
    if (std::isnan(x)) return "nan";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

// A value is given unless it is kNone (NaN).
inline bool given(double x) { return !std::isnan(x); }
inline bool finite_positive(double x) { return std::isfinite(x) && x > 0.0; }
// An age the engine takes: above 0 and at most kMaxAge years.
inline bool age_ok(double x) { return std::isfinite(x) && x > 0.0 && x <= kMaxAge; }

// The largest site index the libraries accept (m).
inline constexpr double kMaxSite = 80.5;

}  // namespace sylvo::engine

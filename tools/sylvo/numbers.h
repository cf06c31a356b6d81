// Reading and writing numbers.
#pragma once

#include <optional>
#include <string>

namespace sylvo_tool {

// A finite decimal number written in full ("12", "0.5", "1e3"); nullopt for
// anything else (empty, trailing characters, hexadecimal, inf, nan, overflow).
std::optional<double> parse_number(const std::string& text);

// The shortest decimal that reads back as exactly X (for CSV and messages).
std::string shortest(double x);

// X with DECIMALS digits after the point, for the aligned tables.
std::string fixed(double x, int decimals);

}  // namespace sylvo_tool

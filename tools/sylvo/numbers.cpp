#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace sylvo_tool {

std::optional<double> parse_number(const std::string& text)
{
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {  // from_chars takes no plus sign
        ++first;
        if (first != last && *first == '-') return std::nullopt;
    }
    double value = 0.0;
    auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || end != last || first == last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string shortest(double x)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

std::string fixed(double x, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
    std::string s(buffer);
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);  // no "-0.0"
    return s;
}

}  // namespace sylvo_tool

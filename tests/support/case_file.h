// Case files: sequences of calls with their expected results, shared by the
// Linux tests and the Windows host.
//
//   # comment
//   @load                                   a freshly loaded library follows
//   SylvoHeight 30.0 20.0 0.0 => 0x4035...  export, arguments, result bits
//   SylvoGrow 10.0 40.0 1500.0 20.0 => 0x... 0x...   (N then B written back)
//   LibMain 0 1 0 => 1
//
// Arguments are decimal doubles (nan, inf and -0.0 included); results are the
// IEEE-754 bit patterns of the doubles, or a plain integer for LibMain.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sylvo_api.h"

namespace sylvo_test {

struct CaseLine {
    int line_number = 0;
    bool load = false;                  // an @load line
    std::string name;                   // the export
    std::vector<std::string> arg_text;  // arguments as written
    std::vector<double> args;
    std::vector<std::uint64_t> expected;
};

inline std::uint64_t bits_of(double x)
{
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

inline double double_of(std::uint64_t u)
{
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// Reads a case file; throws std::runtime_error naming the line on a bad one.
inline std::vector<CaseLine> read_case_file(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open case file " + path);
    std::vector<CaseLine> cases;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || text[0] == '#') continue;
        CaseLine c;
        c.line_number = number;
        if (text == "@load") {
            c.load = true;
            cases.push_back(c);
            continue;
        }
        std::istringstream words(text);
        std::string word;
        words >> c.name;
        bool results = false;
        while (words >> word) {
            if (word == "=>") {
                results = true;
            } else if (!results) {
                c.arg_text.push_back(word);
                c.args.push_back(std::strtod(word.c_str(), nullptr));
            } else {
                c.expected.push_back(std::strtoull(word.c_str(), nullptr, 0));
            }
        }
        if (c.name.empty() || !results || c.expected.empty())
            throw std::runtime_error(path + ":" + std::to_string(number) + ": not a case line");
        cases.push_back(c);
    }
    return cases;
}

// Calls the export a case line names and returns its results as bit patterns
// (LibMain's integer result as it is). Throws on an unknown export or a
// wrong number of arguments.
inline std::vector<std::uint64_t> evaluate_case(const SylvoApi& api, const CaseLine& c)
{
    const std::vector<double>& a = c.args;
    auto need = [&](std::size_t n) {
        if (a.size() != n)
            throw std::runtime_error("line " + std::to_string(c.line_number) + ": " + c.name + " takes " +
                                     std::to_string(n) + " arguments");
    };
    if (c.name == "LibMain") {
        need(3);
        const std::int32_t r = api.LibMain(reinterpret_cast<void*>(static_cast<std::uintptr_t>(a[0])),
                                           static_cast<std::uint32_t>(a[1]),
                                           reinterpret_cast<void*>(static_cast<std::uintptr_t>(a[2])));
        return {static_cast<std::uint64_t>(static_cast<std::uint32_t>(r))};
    }
    if (c.name == "SylvoVersion") {
        need(0);
        return {bits_of(api.SylvoVersion())};
    }
    if (c.name == "SylvoGrow") {
        need(4);
        double n = a[2];
        double b = a[3];
        api.SylvoGrow(a[0], a[1], &n, &b);
        return {bits_of(n), bits_of(b)};
    }
    struct Three { const char* name; SylvoFn3 SylvoApi::*fn; };
    struct Four { const char* name; SylvoFn4 SylvoApi::*fn; };
    static const Three three[] = {
        {"SylvoVolume", &SylvoApi::SylvoVolume}, {"SylvoSite", &SylvoApi::SylvoSite},
        {"SylvoGain", &SylvoApi::SylvoGain},     {"SylvoHeight", &SylvoApi::SylvoHeight},
        {"SylvoAge", &SylvoApi::SylvoAge},
    };
    static const Four four[] = {
        {"SylvoGrowTph", &SylvoApi::SylvoGrowTph},   {"SylvoGrowBa", &SylvoApi::SylvoGrowBa},
        {"SylvoMerchVol", &SylvoApi::SylvoMerchVol}, {"SylvoBaAfter", &SylvoApi::SylvoBaAfter},
        {"SylvoTphAfter", &SylvoApi::SylvoTphAfter},
    };
    for (const Three& f : three)
        if (c.name == f.name) {
            need(3);
            return {bits_of((api.*f.fn)(a[0], a[1], a[2]))};
        }
    for (const Four& f : four)
        if (c.name == f.name) {
            need(4);
            return {bits_of((api.*f.fn)(a[0], a[1], a[2], a[3]))};
        }
    throw std::runtime_error("line " + std::to_string(c.line_number) + ": unknown export " + c.name);
}

// Distance in units in the last place between two doubles given as bits:
// 0 for identical bits and for two NaNs, and for +0 against -0; the number
// of representable doubles between them otherwise; UINT64_MAX when only one
// is a NaN.
inline std::uint64_t ulp_distance(std::uint64_t x, std::uint64_t y)
{
    const double a = double_of(x);
    const double b = double_of(y);
    if (std::isnan(a) || std::isnan(b)) return (std::isnan(a) && std::isnan(b)) ? 0 : UINT64_MAX;
    if (a == b) return 0;
    // Map the bit patterns onto a monotone integer line.
    auto ordered = [](std::uint64_t u) -> std::int64_t {
        return (u >> 63) ? -static_cast<std::int64_t>(u & 0x7fffffffffffffffULL)
                         : static_cast<std::int64_t>(u);
    };
    const std::int64_t d = ordered(x) - ordered(y);
    return d < 0 ? static_cast<std::uint64_t>(-d) : static_cast<std::uint64_t>(d);
}

}  // namespace sylvo_test

// Included before every source of the WebAssembly build (-include). Debian's
// Emscripten 3.1.6 ships libc++ 13, which lacks std::bit_cast and the
// floating-point std::to_chars and std::from_chars that the engine and the
// command line's formatter use. They are supplied here:
//   - bit_cast: the compiler's builtin, which is what std::bit_cast is;
//   - from_chars(double): fast_float, as GCC 12's libstdc++ uses it natively;
//   - to_chars(double): the shortest decimal that reads back as the same
//     double (the nearest of the fewest digits), written fixed or scientific,
//     whichever is shorter (fixed on a tie), as std::to_chars writes it.
// The Node comparison (tests/web/compare_native.mjs) checks the last against
// the native std::to_chars on random doubles of every magnitude.
#pragma once

#ifdef __cplusplus
#include <bit>
#include <charconv>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fast_float/fast_float.h>
#include <system_error>

namespace std {

#ifndef __cpp_lib_bit_cast
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept
{
    return __builtin_bit_cast(To, from);
}
#endif

inline from_chars_result from_chars(const char* first, const char* last, double& value,
                                    chars_format fmt = chars_format::general)
{
    fast_float::chars_format f = fast_float::chars_format::general;
    if (fmt == chars_format::fixed) f = fast_float::chars_format::fixed;
    if (fmt == chars_format::scientific) f = fast_float::chars_format::scientific;
    const auto r = fast_float::from_chars(first, last, value, f);
    return {r.ptr, r.ec};
}

namespace sylvo_compat {

// The digits of X (finite, above 0) with PRECISION significant digits,
// correctly rounded, and its decimal exponent: "d.ddd" and E of d.ddd e E.
inline void scientific_digits(double x, int precision, char* digits, int& exponent)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, x);
    int n = 0;
    const char* p = buffer;
    for (; *p != 'e'; ++p)
        if (*p != '.') digits[n++] = *p;
    digits[n] = '\0';
    exponent = std::atoi(p + 1);
}

// Whether the decimal DIGITS x 10^(EXPONENT - n + 1) reads back as X.
inline bool reads_back(const char* digits, int exponent, double x)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%c.%se%d", digits[0], digits + 1, exponent);
    return std::strtod(buffer, nullptr) == x;
}

// DIGITS (N of them) moved by one unit in their last place, up or down;
// false where that changes their count (the neighbour then has a different
// exponent and is tried as such).
inline bool step(char* digits, int n, int& exponent, bool up)
{
    int i = n - 1;
    if (up) {
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i < 0) {  // 99.9 -> 100.0: one more digit, drop the last
            digits[0] = '1';
            for (int k = 1; k < n; ++k) digits[k] = '0';
            ++exponent;
            return true;
        }
        ++digits[i];
    } else {
        while (i >= 0 && digits[i] == '0') digits[i--] = '9';
        if (i < 0) return false;
        --digits[i];
        if (digits[0] == '0') {  // 100 -> 099: 99.9 at the exponent below
            for (int k = 0; k + 1 < n; ++k) digits[k] = digits[k + 1];
            digits[n - 1] = '9';
            --exponent;
        }
    }
    return true;
}

}  // namespace sylvo_compat

inline to_chars_result to_chars(char* first, char* last, double value)
{
    char text[400];
    int length = 0;
    auto put = [&](const char* s) {
        while (*s) text[length++] = *s++;
    };
    if (std::signbit(value)) put("-");
    const double x = std::fabs(value);
    if (std::isnan(x)) {
        put("nan");
    } else if (std::isinf(x)) {
        put("inf");
    } else if (x == 0.0) {
        put("0");
    } else {
        // The fewest digits that read back; of two such, the nearer (the
        // correctly rounded one); the other neighbour only where the
        // rounded one misses (the interval is uneven at a power of two).
        char digits[24] = {};
        int exponent = 0;
        for (int precision = 1; precision <= 17; ++precision) {
            sylvo_compat::scientific_digits(x, precision, digits, exponent);
            if (sylvo_compat::reads_back(digits, exponent, x)) break;
            char other[24];
            std::memcpy(other, digits, sizeof other);
            int other_exponent = exponent;
            char buffer[48];
            std::snprintf(buffer, sizeof buffer, "%c.%se%d", digits[0], digits + 1, exponent);
            const bool above = std::strtod(buffer, nullptr) > x;
            if (sylvo_compat::step(other, precision, other_exponent, !above) &&
                sylvo_compat::reads_back(other, other_exponent, x)) {
                std::memcpy(digits, other, sizeof other);
                exponent = other_exponent;
                break;
            }
        }
        int n = static_cast<int>(std::strlen(digits));
        while (n > 1 && digits[n - 1] == '0') digits[--n] = '\0';
        const int exponent_digits = std::abs(exponent) >= 100 ? 3 : 2;
        const int scientific_length = n + (n > 1 ? 1 : 0) + 2 + exponent_digits;
        const int fixed_length = exponent >= 0 ? (exponent >= n - 1 ? exponent + 1 : n + 1) : 1 + n - exponent;
        char buffer[400];
        if (fixed_length <= scientific_length) {
            if (exponent >= n - 1) {
                // An integer: written in full, its exact value (beyond 2^53
                // the shortest digits padded with zeros would name another
                // number; std::to_chars writes the exact one).
                std::snprintf(buffer, sizeof buffer, "%.0f", x);
            } else if (exponent >= 0) {
                int k = 0;
                for (int i = 0; i < n; ++i) {
                    buffer[k++] = digits[i];
                    if (i == exponent) buffer[k++] = '.';
                }
                buffer[k] = '\0';
            } else {
                int k = 0;
                buffer[k++] = '0';
                buffer[k++] = '.';
                for (int i = 0; i < -exponent - 1; ++i) buffer[k++] = '0';
                for (int i = 0; i < n; ++i) buffer[k++] = digits[i];
                buffer[k] = '\0';
            }
        } else {
            std::snprintf(buffer, sizeof buffer, "%c%s%s%se%c%0*d", digits[0], n > 1 ? "." : "", digits + 1, "",
                          exponent < 0 ? '-' : '+', exponent_digits, std::abs(exponent));
        }
        put(buffer);
    }
    if (last - first < length) return {last, errc::value_too_large};
    std::memcpy(first, text, static_cast<std::size_t>(length));
    return {first + length, errc()};
}

}  // namespace std
#endif
#endif

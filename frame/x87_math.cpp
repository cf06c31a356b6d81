// The exponential, logarithm and power of the model code on 32-bit Windows.
// The C runtime's versions linked into the DLLs (mingw-w64's x87 code)
// compute in extended precision and lose it when the host has set a 53-bit
// significand, the Windows default: there pow is often several units in the
// last place off. The link (--wrap) sends every call through these wrappers,
// which run the function with a 64-bit significand and give the caller back
// its control word, so the results do not depend on the host's setting.
#include "x87.h"

extern "C" double __real_exp(double);
extern "C" double __real_log(double);
extern "C" double __real_pow(double, double);

namespace {

template <class F>
double at_extended_precision(F f)
{
    const unsigned short saved = sylvo::x87::control_word();
    if ((saved & sylvo::x87::precision_mask) == sylvo::x87::precision_64) return f();
    sylvo::x87::set_control_word(static_cast<unsigned short>(saved | sylvo::x87::precision_64));
    // Stored (rounded to double) before the caller's control word returns.
    volatile double result = f();
    sylvo::x87::set_control_word(saved);
    return result;
}

}  // namespace

extern "C" {

double __wrap_exp(double x)
{
    return at_extended_precision([x] { return __real_exp(x); });
}

double __wrap_log(double x)
{
    return at_extended_precision([x] { return __real_log(x); });
}

double __wrap_pow(double x, double y)
{
    return at_extended_precision([x, y] { return __real_pow(x, y); });
}

}  // extern "C"

// The C interface: the C++ batch functions behind codes instead of
// exceptions, for hosts that call through a foreign-function interface.
#include <cmath>
#include <new>

#include "sylvo/engine.hpp"

namespace {

using sylvo::EngineError;

// Checks what the spans cannot: NULL arrays with a positive count.
bool any_null(std::size_t count, std::initializer_list<const void*> arrays)
{
    if (count == 0) return false;
    for (const void* p : arrays)
        if (!p) return true;
    return false;
}

// Turns the C options into C++ ones without deciding on their validity (the
// C++ call checks them, so both interfaces refuse the same values).
sylvo::Options options_of(const sylvo_options* o)
{
    if (!o) return {};
    return {static_cast<sylvo::Mode>(o->mode), o->threads};
}

sylvo::In in(const double* p, std::size_t count)
{
    return count ? sylvo::In(p, count) : sylvo::In();
}

sylvo::Out out(double* p, std::size_t count)
{
    return count ? sylvo::Out(p, count) : sylvo::Out();
}

template <class F>
int guarded(F&& f)
{
    try {
        f();
        return SYLVO_OK;
    } catch (const EngineError& e) {
        return e.code();
    } catch (const std::bad_alloc&) {
        return SYLVO_ERR_MEMORY;
    } catch (...) {
        return SYLVO_ERR_INTERNAL;
    }
}

// A batch of one function of three or four inputs and one output.
template <class F>
int element_batch(int model, std::size_t count, std::initializer_list<const double*> inputs, double* result,
                  const sylvo_options* options, F function)
{
    for (const double* p : inputs)
        if (any_null(count, {p})) return SYLVO_ERR_NULL;
    if (any_null(count, {result})) return SYLVO_ERR_NULL;
    return guarded([&] {
        auto p = inputs.begin();
        if (inputs.size() == 3)
            function(static_cast<sylvo::Model>(model), in(p[0], count), in(p[1], count), in(p[2], count),
                     in(nullptr, 0), out(result, count), options_of(options));
        else
            function(static_cast<sylvo::Model>(model), in(p[0], count), in(p[1], count), in(p[2], count),
                     in(p[3], count), out(result, count), options_of(options));
    });
}

// Adapters from the C++ functions of three inputs to the common form.
template <void (*F)(sylvo::Model, sylvo::In, sylvo::In, sylvo::In, sylvo::Out, const sylvo::Options&)>
void three(sylvo::Model m, sylvo::In a, sylvo::In b, sylvo::In c, sylvo::In, sylvo::Out o, const sylvo::Options& op)
{
    F(m, a, b, c, o, op);
}

}  // namespace

extern "C" {

SYLVO_ENGINE_API int sylvo_grow_batch(int model, size_t count, const double* t1, const double* t2,
                                      const double* trees, const double* ba, double* trees_out, double* ba_out,
                                      const sylvo_options* options)
{
    if (any_null(count, {t1, t2, trees, ba, trees_out, ba_out})) return SYLVO_ERR_NULL;
    return guarded([&] {
        sylvo::grow(static_cast<sylvo::Model>(model), in(t1, count), in(t2, count), in(trees, count),
                    in(ba, count), out(trees_out, count), out(ba_out, count), options_of(options));
    });
}

SYLVO_ENGINE_API int sylvo_height_batch(int model, size_t count, const double* age, const double* site,
                                        const double* shift, double* result, const sylvo_options* options)
{
    return element_batch(model, count, {age, site, shift}, result, options, three<sylvo::height>);
}

SYLVO_ENGINE_API int sylvo_site_batch(int model, size_t count, const double* height, const double* age,
                                      const double* shift, double* result, const sylvo_options* options)
{
    return element_batch(model, count, {height, age, shift}, result, options, three<sylvo::site>);
}

SYLVO_ENGINE_API int sylvo_age_batch(int model, size_t count, const double* height, const double* site,
                                     const double* shift, double* result, const sylvo_options* options)
{
    return element_batch(model, count, {height, site, shift}, result, options, three<sylvo::age>);
}

SYLVO_ENGINE_API int sylvo_volume_batch(int model, size_t count, const double* height, const double* trees,
                                        const double* ba, double* result, const sylvo_options* options)
{
    return element_batch(model, count, {height, trees, ba}, result, options, three<sylvo::volume>);
}

SYLVO_ENGINE_API int sylvo_merch_volume_batch(int model, size_t count, const double* height,
                                              const double* trees, const double* ba, const double* limit,
                                              double* result, const sylvo_options* options)
{
    return element_batch(model, count, {height, trees, ba, limit}, result, options, sylvo::merch_volume);
}

SYLVO_ENGINE_API int sylvo_ba_after_batch(int model, size_t count, const double* p, const double* trees,
                                          const double* ba, const double* trees_after, double* result,
                                          const sylvo_options* options)
{
    return element_batch(model, count, {p, trees, ba, trees_after}, result, options, sylvo::ba_after);
}

SYLVO_ENGINE_API int sylvo_tph_after_batch(int model, size_t count, const double* p, const double* trees,
                                           const double* ba, const double* ba_after, double* result,
                                           const sylvo_options* options)
{
    return element_batch(model, count, {p, trees, ba, ba_after}, result, options, sylvo::tph_after);
}

SYLVO_ENGINE_API const char* sylvo_strerror(int code)
{
    switch (code) {
    case SYLVO_OK: return "no error";
    case SYLVO_ERR_MODEL: return "unknown model (accepted: SYLVO_MODEL_A, SYLVO_MODEL_B, SYLVO_MODEL_C)";
    case SYLVO_ERR_MODE: return "unknown mode (accepted: SYLVO_EXACT, SYLVO_FAST)";
    case SYLVO_ERR_THREADS: return "negative thread count (accepted: 0 for every core, or more)";
    case SYLVO_ERR_NULL: return "an array is NULL while the count is above 0";
    case SYLVO_ERR_OVERLAP: return "an output overlaps an input or the other output without being the same array";
    case SYLVO_ERR_MEMORY: return "out of memory";
    case SYLVO_ERR_INTERNAL: return "internal error";
    case SYLVO_ERR_LENGTH: return "arrays of different lengths";
    default: return "unknown error code";
    }
}

SYLVO_ENGINE_API double sylvo_model_version(int model)
{
    if (model != SYLVO_MODEL_A && model != SYLVO_MODEL_B && model != SYLVO_MODEL_C) return NAN;
    return sylvo::model_version(static_cast<sylvo::Model>(model));
}

}  // extern "C"

/*
 * sylvo_engine.h - the C interface of the Sylvo batch engine (libsylvo).
 *
 * One library holds all three models. Each batch function evaluates one
 * model function for COUNT stands given as arrays of doubles, one element per
 * stand, and writes COUNT results. The engine keeps no state between calls:
 * any number of calls may run at once from any threads.
 *
 * Exact mode (SYLVO_EXACT) gives, for every element, the bits that the
 * model's thirteen-export library (sylvoa, sylvob or sylvoc) returns for the
 * same arguments in a freshly loaded copy: not-a-numbers, the 0.0 and -999.0
 * failure values and the projection's domain rule included. One difference:
 * the exports of Models A and B store only site indices above 1.3 m, so for
 * 1e-06 <= site <= 1.3 SylvoHeight, SylvoAge and SylvoGain compute with the
 * site stored by an earlier call; the engine keeps no such state and gives
 * NaN there instead (sylvo_height_batch, sylvo_age_batch).
 *
 * Fast mode (SYLVO_FAST) vectorises the projection (sylvo_grow_batch) across
 * stands with SIMD instructions chosen at run time (AVX-512, AVX2, SSE4 or
 * portable code), trading the last bits: against exact mode, the relative
 * difference is at most 1e-13 for 99.9% of results and 1e-10 for every
 * finite one on ordinary stands, and a result is not finite exactly where
 * the exact result is not. The other functions run their exact code in fast
 * mode.
 *
 * Results do not depend on the number of threads. Threads are started for
 * the call and have ended when it returns; work whose thread cannot be
 * started (a limit of the host's) runs on the calling thread.
 *
 * Arrays: every input array must hold COUNT elements; with COUNT == 0 any of
 * them may be NULL. An output may be the very array of an input (the same
 * pointer: the call then works in place); no other overlap between outputs
 * and inputs, or between the two outputs of sylvo_grow_batch, is allowed.
 *
 * Return value: SYLVO_OK (0), or one of the error codes below, in which case
 * nothing has been written. sylvo_strerror() describes a code.
 *
 * Units: trees per hectare, basal area in m2/ha, ages in years, heights and
 * site index in metres, diameters in cm, volumes in m3/ha. The age shift
 * moves the site curve along the age axis: it is read at age + 1 + shift.
 */
#ifndef SYLVO_ENGINE_H
#define SYLVO_ENGINE_H

#include <stddef.h>

#if defined(SYLVO_ENGINE_BUILDING) && !defined(_WIN32)
#  define SYLVO_ENGINE_API __attribute__((visibility("default")))
#else
#  define SYLVO_ENGINE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { SYLVO_MODEL_A = 0, SYLVO_MODEL_B = 1, SYLVO_MODEL_C = 2 };
enum { SYLVO_EXACT = 0, SYLVO_FAST = 1 };

/* mode: SYLVO_EXACT or SYLVO_FAST; threads: how many threads to use, 0 for
 * every core. A NULL options pointer means exact mode on every core. */
typedef struct sylvo_options {
    int mode;
    int threads;
} sylvo_options;

enum {
    SYLVO_OK = 0,
    SYLVO_ERR_MODEL = 1,    /* the model is not SYLVO_MODEL_A, _B or _C */
    SYLVO_ERR_MODE = 2,     /* the mode is not SYLVO_EXACT or SYLVO_FAST */
    SYLVO_ERR_THREADS = 3,  /* the thread count is negative */
    SYLVO_ERR_NULL = 4,     /* an array is NULL while COUNT > 0 */
    SYLVO_ERR_OVERLAP = 5,  /* an output overlaps an input, or the other output, other than in place */
    SYLVO_ERR_MEMORY = 6,   /* the engine could not get its working memory */
    SYLVO_ERR_INTERNAL = 7, /* an unexpected failure inside the engine */
    SYLVO_ERR_LENGTH = 8    /* arrays of different lengths (the C++ interface's spans) */
};

/* SylvoGrow: trees per hectare and basal area projected from age t1 to age
 * t2, per stand. */
SYLVO_ENGINE_API int sylvo_grow_batch(int model, size_t count, const double* t1, const double* t2,
                                      const double* trees, const double* ba, double* trees_out, double* ba_out,
                                      const sylvo_options* options);

/* SylvoHeight: dominant height (m) at an age for a site index, or 0.0. */
SYLVO_ENGINE_API int sylvo_height_batch(int model, size_t count, const double* age, const double* site,
                                        const double* shift, double* out, const sylvo_options* options);

/* SylvoSite: the site index whose curve passes a height at an age, or 0.0. */
SYLVO_ENGINE_API int sylvo_site_batch(int model, size_t count, const double* height, const double* age,
                                      const double* shift, double* out, const sylvo_options* options);

/* SylvoAge: the age at which a site index's curve reaches a height, or
 * -999.0. */
SYLVO_ENGINE_API int sylvo_age_batch(int model, size_t count, const double* height, const double* site,
                                     const double* shift, double* out, const sylvo_options* options);

/* SylvoVolume: total stand volume (m3/ha). */
SYLVO_ENGINE_API int sylvo_volume_batch(int model, size_t count, const double* height, const double* trees,
                                        const double* ba, double* out, const sylvo_options* options);

/* SylvoMerchVol: merchantable volume (m3/ha) above a diameter limit (cm). */
SYLVO_ENGINE_API int sylvo_merch_volume_batch(int model, size_t count, const double* height,
                                              const double* trees, const double* ba, const double* limit,
                                              double* out, const sylvo_options* options);

/* SylvoBaAfter: basal area left by a thinning to trees_after trees/ha. */
SYLVO_ENGINE_API int sylvo_ba_after_batch(int model, size_t count, const double* p, const double* trees,
                                          const double* ba, const double* trees_after, double* out,
                                          const sylvo_options* options);

/* SylvoTphAfter: trees per hectare left by a thinning to ba_after m2/ha. */
SYLVO_ENGINE_API int sylvo_tph_after_batch(int model, size_t count, const double* p, const double* trees,
                                           const double* ba, const double* ba_after, double* out,
                                           const sylvo_options* options);

/* A static, never-NULL description of a return code (an unknown code gets
 * a description that says so). */
SYLVO_ENGINE_API const char* sylvo_strerror(int code);

/* The model's version (SylvoVersion of its library: 1.1, 1.0, 1.2), or NaN
 * for an unknown model. */
SYLVO_ENGINE_API double sylvo_model_version(int model);

#ifdef __cplusplus
}
#endif

#endif /* SYLVO_ENGINE_H */

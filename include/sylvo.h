/*
 * sylvo.h - the interface of the Sylvo growth-and-yield libraries.
 *
 * Three libraries export the same thirteen functions: sylvoa (Model A,
 * version 1.1), sylvob (Model B, version 1.0) and sylvoc (Model C,
 * version 1.2). A host loads one of them and calls its exports; every
 * model export takes and returns doubles by value (SylvoGrow reads and
 * writes two doubles through pointers).
 *
 * Units: trees per hectare (TPH), basal area in m2/ha (BA), ages in
 * years, heights and site index in metres, diameters in cm, volumes in
 * m3/ha. The age shift u moves the site curve along the age axis: the
 * curve is evaluated at age + 1 + u.
 *
 * Nothing is reported through errors or exceptions: outside a function's
 * domain it returns a fixed value where one is documented below (0.0 or
 * SYLVO_MISSING_VALUE) and otherwise whatever floating-point arithmetic
 * gives (infinities and not-a-numbers pass through).
 *
 * Threads: the growth, volume and thinning exports share no mutable state.
 * SylvoHeight, SylvoAge, SylvoGain and SylvoSite store the site index in
 * the library's module state and read it back within the call; calls of
 * these four into one loaded library must not overlap in time.
 */
#ifndef SYLVO_H
#define SYLVO_H

#include <stdint.h>

/* Calling conventions: caller-cleans for the twelve model exports, the
 * platform's library-entry convention for LibMain. Both are empty on
 * platforms that have only one convention. */
#if defined(_WIN32) && !defined(_WIN64)
#  define SYLVO_CALL __cdecl
#  define SYLVO_ENTRY_CALL __stdcall
#else
#  define SYLVO_CALL
#  define SYLVO_ENTRY_CALL
#endif

/* The one export macro. The libraries themselves are built with
 * SYLVO_BUILDING defined; hosts leave it undefined. On Windows the export
 * table (names and ordinals) comes from the module-definition file. */
#if defined(SYLVO_BUILDING)
#  if defined(_WIN32)
#    define SYLVO_API
#  else
#    define SYLVO_API __attribute__((visibility("default")))
#  endif
#else
#  define SYLVO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Returned by SylvoAge and SylvoGain when no age can be given. */
#define SYLVO_MISSING_VALUE (-999.0)

/* Library entry: accepts every load and unload notification and returns 1
 * for every reason code, with no other effect. */
SYLVO_API int32_t SYLVO_ENTRY_CALL LibMain(void* module, uint32_t reason, void* reserved);

/* The library's version: 1.1 (sylvoa), 1.0 (sylvob), 1.2 (sylvoc). */
SYLVO_API double SYLVO_CALL SylvoVersion(void);

/* Growth projection from age t1 to age t2 by fixed-step fourth-order
 * Runge-Kutta integration of the model's two stand equations. Models A
 * and B take ceil(|t2 - t1| - 1e-06) steps (none for |t2 - t1| <= 1e-06),
 * Model C takes trunc(|t2 - t1|) / 4 + 1 steps. A projection backwards
 * (t2 < t1) takes the same number of negative steps.
 * Outside the projection's domain - N1 <= 0 or not a number, t1 or t2
 * equal to 0 or not finite, |t2 - t1| >= 2^31 - both results are NaN. */
SYLVO_API double SYLVO_CALL SylvoGrowTph(double t1, double n1, double b1, double t2); /* TPH at t2 */
SYLVO_API double SYLVO_CALL SylvoGrowBa(double t1, double n1, double b1, double t2);  /* BA at t2 */
/* The same projection; reads *n and *b at t1, then writes TPH and BA at t2
 * to *n and *b (both pointers must be valid). */
SYLVO_API void SYLVO_CALL SylvoGrow(double t1, double t2, double* n, double* b);

/* Total stand volume (m3/ha) from stand height h (m), TPH n and BA b;
 * never negative (0.0 where the equation gives zero or less). */
SYLVO_API double SYLVO_CALL SylvoVolume(double h, double n, double b);
/* Merchantable volume (m3/ha) for diameter limit d (cm). 0.0 for b <= 0.
 * Models A and B do not clamp it: it is negative where the total volume is
 * below 0.4 m3 per m2 of basal area. Model C also returns 0.0 for n <= 0;
 * in every model a negative d gives NaN. */
SYLVO_API double SYLVO_CALL SylvoMerchVol(double h, double n, double b, double d);

/* Thinning response. p is a positive stand value supplied by the host (the
 * libraries attach no unit to it). BA left after thinning from n1 TPH and
 * b1 BA down to n2 TPH, and TPH left after thinning down to b2 BA. Any
 * argument <= 0 gives 0.0. A fourth argument above the value before
 * thinning is not rejected: the result then exceeds that value, and may be
 * infinite or NaN. */
SYLVO_API double SYLVO_CALL SylvoBaAfter(double p, double n1, double b1, double n2);
SYLVO_API double SYLVO_CALL SylvoTphAfter(double p, double n1, double b1, double b2);

/* Site index whose curve, with age shift u, passes height h at age t: a
 * Brent search over the library's interval ((2, 80) in Models A and B,
 * (1, 80) in Model C) with tolerance 0.001. Returns 0.0 when no site index
 * strictly inside the interval is found: when the search ends at or outside
 * an end of the interval, when it gives a value that is not a number, and
 * when its final bracket holds no sign change of the residual (both ends
 * of the bracket strictly above, or both strictly below, the height, or a
 * residual that is not a number) - so a height that no site index reaches
 * is never answered with an interior point that is no root. Every trial
 * stores its site index and u in the module state: after the call the
 * stored site is the last trial, not necessarily the result. */
SYLVO_API double SYLVO_CALL SylvoSite(double h, double t, double u);

/* Dominant height (m) at age t for site index s and age shift u. s outside
 * [1e-06, 80.5] (or not a number) gives 0.0 and leaves the stored site
 * alone; otherwise the site is stored first. Models A and B store only
 * site indices above 1.3: for 1e-06 <= s <= 1.3 they compute with the site
 * index and age shift stored by the last accepted call (at load: 20 and 0
 * in Model A, 18 and 0 in Model B). Age below -1 - u gives 0.0. */
SYLVO_API double SYLVO_CALL SylvoHeight(double t, double s, double u);

/* Age (years) at which height h is reached for site index s and age shift
 * u; SYLVO_MISSING_VALUE for s outside [1e-06, 80.5], for h <= 0 (Models B
 * and C), and for a height the curve never reaches. Stores the site as
 * SylvoHeight does. In Model C a site index of exactly 1.372 gives a flat
 * curve, and the age is SYLVO_MISSING_VALUE. SylvoGain is the same with
 * the age shift and site index in swapped positions. */
SYLVO_API double SYLVO_CALL SylvoAge(double h, double s, double u);
SYLVO_API double SYLVO_CALL SylvoGain(double h, double u, double s);

/* Function-pointer types, for hosts that load a library at run time. */
typedef int32_t (SYLVO_ENTRY_CALL *SylvoLibMainFn)(void*, uint32_t, void*);
typedef double (SYLVO_CALL *SylvoVersionFn)(void);
typedef double (SYLVO_CALL *SylvoFn3)(double, double, double);
typedef double (SYLVO_CALL *SylvoFn4)(double, double, double, double);
typedef void (SYLVO_CALL *SylvoGrowFn)(double, double, double*, double*);

#ifdef __cplusplus
}
#endif

#endif /* SYLVO_H */

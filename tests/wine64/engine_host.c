/* A C host of the engine's C interface (sylvo_engine.h), built for Linux
 * against libsylvo and for 64-bit Windows against sylvo_engine.dll's import
 * library, so that the two engines can be compared bit for bit.
 *
 *   sylvo_engine_host ROWS [fast]
 *
 * For each model, ROWS stands drawn from a fixed pseudo-random sequence
 * (the same on every platform: integer arithmetic only) go through every
 * batch function in exact mode (or fast mode with "fast"), on two threads;
 * each result is printed as "<model> <function> <row> <bits> [<bits>]".
 * Also prints each model's version and one return-code text, and checks
 * that a bad model number is refused. Exit status 1 on any failed call. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sylvo_engine.h"

static uint64_t state = 0x5eed5eed12345678u;

static uint64_t next(void)
{
    uint64_t z = (state += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

/* A double in [lo, hi): 53 random bits scaled, exact on every platform. */
static double uniform(double lo, double hi)
{
    return lo + (hi - lo) * ((double)(next() >> 11) * (1.0 / 9007199254740992.0));
}

static uint64_t bits(double x)
{
    uint64_t u;
    memcpy(&u, &x, sizeof u);
    return u;
}

static int failed = 0;

static void expect_ok(int code, const char* what, int model)
{
    if (code != SYLVO_OK) {
        fprintf(stderr, "model %d %s: %s\n", model, what, sylvo_strerror(code));
        failed = 1;
    }
}

static void print1(int model, const char* name, size_t n, const double* out)
{
    for (size_t i = 0; i < n; ++i) printf("%d %s %zu 0x%016" PRIx64 "\n", model, name, i, bits(out[i]));
}

int main(int argc, char** argv)
{
    if (argc < 2 || atol(argv[1]) <= 0) {
        fprintf(stderr, "usage: %s ROWS [fast]\n", argv[0]);
        return 2;
    }
#ifdef _WIN64
    /* The x87 control word of a new x64 Windows thread (a 53-bit
     * significand; Wine starts at 64 bits). */
    const unsigned short windows_default = 0x027f;
    __asm__ __volatile__("fldcw %0" : : "m"(windows_default));
#endif
    const size_t n = (size_t)atol(argv[1]);
    sylvo_options options = {argc > 2 && strcmp(argv[2], "fast") == 0 ? SYLVO_FAST : SYLVO_EXACT, 2};
    double* in[8];
    double* out[2];
    for (int k = 0; k < 8; ++k) in[k] = malloc(n * sizeof(double));
    for (int k = 0; k < 2; ++k) out[k] = malloc(n * sizeof(double));
    for (int model = SYLVO_MODEL_A; model <= SYLVO_MODEL_C; ++model) {
        double* t1 = in[0], *t2 = in[1], *trees = in[2], *ba = in[3], *h = in[4], *s = in[5], *u = in[6], *x = in[7];
        for (size_t i = 0; i < n; ++i) {
            t1[i] = uniform(3, 120);
            t2[i] = t1[i] + uniform(-20, 80);
            trees[i] = uniform(50, 5000);
            ba[i] = uniform(0.5, 70);
            h[i] = uniform(1, 45);
            s[i] = uniform(4, 45);
            u[i] = uniform(-3, 3);
            x[i] = uniform(0, 1);
        }
        printf("%d version 0 0x%016" PRIx64 "\n", model, bits(sylvo_model_version(model)));
        expect_ok(sylvo_grow_batch(model, n, t1, t2, trees, ba, out[0], out[1], &options), "grow", model);
        for (size_t i = 0; i < n; ++i)
            printf("%d grow %zu 0x%016" PRIx64 " 0x%016" PRIx64 "\n", model, i, bits(out[0][i]), bits(out[1][i]));
        expect_ok(sylvo_height_batch(model, n, t1, s, u, out[0], &options), "height", model);
        print1(model, "height", n, out[0]);
        expect_ok(sylvo_site_batch(model, n, h, t1, u, out[0], &options), "site", model);
        print1(model, "site", n, out[0]);
        expect_ok(sylvo_age_batch(model, n, h, s, u, out[0], &options), "age", model);
        print1(model, "age", n, out[0]);
        expect_ok(sylvo_volume_batch(model, n, h, trees, ba, out[0], &options), "volume", model);
        print1(model, "volume", n, out[0]);
        /* Diameter limits of 0 to 40 cm. */
        for (size_t i = 0; i < n; ++i) out[1][i] = 40 * x[i];
        expect_ok(sylvo_merch_volume_batch(model, n, h, trees, ba, out[1], out[0], &options), "merch_volume", model);
        print1(model, "merch_volume", n, out[0]);
        /* Thinnings to 20% - 100% of the trees or the basal area, p in (0, 2). */
        for (size_t i = 0; i < n; ++i) out[1][i] = trees[i] * (0.2 + 0.8 * x[i]);
        for (size_t i = 0; i < n; ++i) x[i] = 2 * x[i];
        expect_ok(sylvo_ba_after_batch(model, n, x, trees, ba, out[1], out[0], &options), "ba_after", model);
        print1(model, "ba_after", n, out[0]);
        for (size_t i = 0; i < n; ++i) out[1][i] = ba[i] * (0.2 + 0.4 * x[i]);
        expect_ok(sylvo_tph_after_batch(model, n, x, trees, ba, out[1], out[0], &options), "tph_after", model);
        print1(model, "tph_after", n, out[0]);
    }
    if (sylvo_height_batch(7, n, in[0], in[1], in[2], out[0], &options) != SYLVO_ERR_MODEL) {
        fprintf(stderr, "model 7 was not refused\n");
        failed = 1;
    }
    printf("strerror %s\n", sylvo_strerror(SYLVO_ERR_MODEL));
    return failed;
}

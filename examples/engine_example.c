/*
 * A small host of the batch engine: five stands of Model B projected from
 * their ages to age 60 in one call, with their dominant heights and volumes
 * there.
 *
 *   sylvo_engine_example
 */
#include <stdio.h>

#include "sylvo_engine.h"

#define STANDS 5

static int check(int code, const char* what)
{
    if (code != SYLVO_OK) fprintf(stderr, "%s: %s\n", what, sylvo_strerror(code));
    return code != SYLVO_OK;
}

int main(void)
{
    const double age[STANDS] = {15, 20, 20, 35, 40};
    const double trees[STANDS] = {2400, 1800, 900, 750, 500};
    const double ba[STANDS] = {9, 14, 11, 28, 30};
    const double site[STANDS] = {18, 22, 22, 26, 30};
    double end[STANDS], shift[STANDS], n[STANDS], b[STANDS], h[STANDS], v[STANDS];
    for (int i = 0; i < STANDS; ++i) {
        end[i] = 60;
        shift[i] = 0;
    }
    const sylvo_options exact = {SYLVO_EXACT, 0};
    if (check(sylvo_grow_batch(SYLVO_MODEL_B, STANDS, age, end, trees, ba, n, b, &exact), "grow") ||
        check(sylvo_height_batch(SYLVO_MODEL_B, STANDS, end, site, shift, h, NULL), "height") ||
        check(sylvo_volume_batch(SYLVO_MODEL_B, STANDS, h, n, b, v, NULL), "volume"))
        return 1;
    printf("Model B (version %.1f), every stand at age 60\n", sylvo_model_version(SYLVO_MODEL_B));
    printf("%4s %7s %6s %6s %9s %7s %8s %9s\n", "age", "trees", "BA", "site", "trees", "BA", "height", "volume");
    for (int i = 0; i < STANDS; ++i)
        printf("%4.0f %7.0f %6.1f %6.1f %9.2f %7.3f %8.3f %9.2f\n", age[i], trees[i], ba[i], site[i], n[i], b[i], h[i],
               v[i]);
    return 0;
}

/*
 * A small host program: loads each Sylvo library at run time, as host
 * programs do, and reports on a built-in stand - a projection, a site index,
 * heights, ages and volumes.
 *
 *   sylvo_example [LIBRARY ...]
 *
 * Without arguments it loads libsylvoa.so, libsylvob.so and libsylvoc.so
 * from the directory the libraries were built in.
 */
#include <dlfcn.h>
#include <stdio.h>

#include "sylvo.h"

#ifndef SYLVO_LIB_DIR
#define SYLVO_LIB_DIR "."
#endif

/* The built-in stand: 1000 trees and 12 m2/ha of basal area at age 15, on a
 * site whose dominant height is 16 m at age 30, projected to age 35. */
static const double start_age = 15.0, start_tph = 1000.0, start_ba = 12.0;
static const double end_age = 35.0;
static const double measured_height = 16.0, measured_age = 30.0, age_shift = 0.0;
static const double diameter_limit = 12.0;

static void* need(void* lib, const char* name)
{
    void* p = dlsym(lib, name);
    if (!p) fprintf(stderr, "missing export %s\n", name);
    return p;
}

static int report(const char* path)
{
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    SylvoVersionFn version = (SylvoVersionFn)need(lib, "SylvoVersion");
    SylvoGrowFn grow = (SylvoGrowFn)need(lib, "SylvoGrow");
    SylvoFn3 site = (SylvoFn3)need(lib, "SylvoSite");
    SylvoFn3 height = (SylvoFn3)need(lib, "SylvoHeight");
    SylvoFn3 age = (SylvoFn3)need(lib, "SylvoAge");
    SylvoFn3 volume = (SylvoFn3)need(lib, "SylvoVolume");
    SylvoFn4 merch = (SylvoFn4)need(lib, "SylvoMerchVol");
    if (!version || !grow || !site || !height || !age || !volume || !merch) {
        dlclose(lib);
        return 1;
    }

    printf("%s (version %.1f)\n", path, version());
    double s = site(measured_height, measured_age, age_shift);
    printf("  site index from %.1f m at %.0f years: %.3f m\n", measured_height, measured_age, s);
    if (s == 0.0) {
        printf("  no site index found\n\n");
        dlclose(lib);
        return 1;
    }
    printf("  %8s %10s %10s %10s %10s %12s\n", "age", "height m", "trees/ha", "BA m2/ha", "vol m3/ha", "merch m3/ha");
    double n = start_tph, b = start_ba, t = start_age;
    for (;;) {
        double h = height(t, s, age_shift);
        printf("  %8.0f %10.2f %10.1f %10.2f %10.1f %12.1f\n", t, h, n, b, volume(h, n, b),
               merch(h, n, b, diameter_limit));
        if (t >= end_age) break;
        grow(t, t + 5.0, &n, &b);
        t += 5.0;
    }
    printf("  ages at which the stand reaches 10, 20 and 25 m: %.2f, %.2f, %.2f years\n\n", age(10.0, s, age_shift),
           age(20.0, s, age_shift), age(25.0, s, age_shift));
    dlclose(lib);
    return 0;
}

int main(int argc, char** argv)
{
    int failed = 0;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) failed |= report(argv[i]);
    } else {
        static const char* const libs[] = {SYLVO_LIB_DIR "/libsylvoa.so", SYLVO_LIB_DIR "/libsylvob.so",
                                           SYLVO_LIB_DIR "/libsylvoc.so"};
        for (int i = 0; i < 3; ++i) failed |= report(libs[i]);
    }
    return failed;
}

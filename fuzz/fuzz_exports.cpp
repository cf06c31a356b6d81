// The thirteen exports of sylvoa, sylvob and sylvoc, each library loaded
// once with dlopen and called in random sequences. Every result is checked
// against the engine's single-stand functions (the exports' bits), and the
// stored site is followed through the sequence: SylvoHeight, SylvoAge and
// SylvoGain store an accepted site index and its age shift; a site index of
// Models A and B that is in range but not stored (1e-06 to 1.3 m) computes
// with the stored one; SylvoSite leaves its last trial stored.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_values.h"
#include "sylvo.h"
#include "sylvo/engine.hpp"

namespace {

using namespace sylvo_fuzz;

struct Library {
    sylvo::Model model;
    SylvoLibMainFn lib_main;
    SylvoVersionFn version;
    SylvoFn4 grow_tph, grow_ba, merch_vol, ba_after, tph_after;
    SylvoGrowFn grow;
    SylvoFn3 volume, site, height, age, gain;
};

Library libraries[3];

template <class F>
F symbol(void* handle, const char* path, const char* name)
{
    void* p = dlsym(handle, name);
    if (!p) {
        std::fprintf(stderr, "%s has no export %s\n", path, name);
        std::exit(1);
    }
    return reinterpret_cast<F>(p);
}

void load(Library& lib, sylvo::Model model, const char* path)
{
    void* h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        std::exit(1);
    }
    lib.model = model;
    lib.lib_main = symbol<SylvoLibMainFn>(h, path, "LibMain");
    lib.version = symbol<SylvoVersionFn>(h, path, "SylvoVersion");
    lib.grow_tph = symbol<SylvoFn4>(h, path, "SylvoGrowTph");
    lib.grow_ba = symbol<SylvoFn4>(h, path, "SylvoGrowBa");
    lib.grow = symbol<SylvoGrowFn>(h, path, "SylvoGrow");
    lib.volume = symbol<SylvoFn3>(h, path, "SylvoVolume");
    lib.merch_vol = symbol<SylvoFn4>(h, path, "SylvoMerchVol");
    lib.ba_after = symbol<SylvoFn4>(h, path, "SylvoBaAfter");
    lib.tph_after = symbol<SylvoFn4>(h, path, "SylvoTphAfter");
    lib.site = symbol<SylvoFn3>(h, path, "SylvoSite");
    lib.height = symbol<SylvoFn3>(h, path, "SylvoHeight");
    lib.age = symbol<SylvoFn3>(h, path, "SylvoAge");
    lib.gain = symbol<SylvoFn3>(h, path, "SylvoGain");
}

void check(const char* what, double got, double expected)
{
    if (!same(got, expected)) fail(what, got, expected);
}

// The site the library holds, as far as the sequence tells.
struct StoredSite {
    bool known;
    double site, shift;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    load(libraries[0], sylvo::Model::a, SYLVO_FUZZ_LIB_A);
    load(libraries[1], sylvo::Model::b, SYLVO_FUZZ_LIB_B);
    load(libraries[2], sylvo::Model::c, SYLVO_FUZZ_LIB_C);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const Library& lib = libraries[in.ConsumeIntegralInRange<int>(0, 2)];
    const sylvo::Model m = lib.model;
    // Models A and B keep the site of the last accepted call for the site
    // indices they do not store; Model C stores every one in range.
    const bool declines_low_sites = m != sylvo::Model::c;

    // Each input starts from a site stored by a call of its own, so that it
    // runs the same whatever ran before it in this process.
    StoredSite stored{true, 25.0, 0.0};
    check("SylvoHeight at the starting site", lib.height(10.0, stored.site, stored.shift),
          sylvo::height_one(m, 10.0, stored.site, stored.shift));

    // A height or age call: the site it computes with, and what it stores.
    auto site_call = [&](double s, double u, auto&& with_site) {
        const bool in_range = s >= 1e-6 && s <= 80.5;
        if (in_range && declines_low_sites && s <= 1.3) {
            if (stored.known) with_site(stored.site, stored.shift, true);
            else with_site(s, u, false);
            return;
        }
        with_site(s, u, true);
        if (in_range) stored = {true, s, u};
    };

    for (int calls = 0; calls < 64 && in.remaining_bytes() > 0; ++calls) {
        switch (in.ConsumeIntegralInRange<int>(0, 12)) {
        case 0: {
            const std::uint32_t reason = in.ConsumeIntegral<std::uint32_t>();
            int anything = 0;
            if (lib.lib_main(&anything, reason, in.ConsumeBool() ? &anything : nullptr) != 1)
                fail("LibMain did not return 1");
            break;
        }
        case 1: check("SylvoVersion", lib.version(), sylvo::model_version(m)); break;
        case 2:
        case 3:
        case 4: {
            const double t1 = value(in), n = value(in), b = value(in);
            const double t2 = capped_end_age(t1, value(in));
            const sylvo::Stand expected = sylvo::grow_one(m, t1, t2, n, b);
            double n_out = n, b_out = b;
            lib.grow(t1, t2, &n_out, &b_out);
            check("SylvoGrow trees", n_out, expected.trees);
            check("SylvoGrow basal area", b_out, expected.ba);
            check("SylvoGrowTph", lib.grow_tph(t1, n, b, t2), expected.trees);
            check("SylvoGrowBa", lib.grow_ba(t1, n, b, t2), expected.ba);
            break;
        }
        case 5: {
            const double h = value(in), n = value(in), b = value(in);
            check("SylvoVolume", lib.volume(h, n, b), sylvo::volume_one(m, h, n, b));
            break;
        }
        case 6: {
            const double h = value(in), n = value(in), b = value(in), d = value(in);
            check("SylvoMerchVol", lib.merch_vol(h, n, b, d), sylvo::merch_volume_one(m, h, n, b, d));
            break;
        }
        case 7: {
            const double p = value(in), n = value(in), b = value(in), x = value(in);
            check("SylvoBaAfter", lib.ba_after(p, n, b, x), sylvo::ba_after_one(m, p, n, b, x));
            check("SylvoTphAfter", lib.tph_after(p, n, b, x), sylvo::tph_after_one(m, p, n, b, x));
            break;
        }
        case 8: {
            const double h = value(in), t = value(in), u = value(in);
            check("SylvoSite", lib.site(h, t, u), sylvo::site_one(m, h, t, u));
            // Every trial stores its site index: the last one is not known here.
            stored.known = false;
            break;
        }
        case 9:
        case 10: {
            const double t = value(in), s = value(in), u = value(in);
            const double got = lib.height(t, s, u);
            site_call(s, u, [&](double site, double shift, bool known) {
                if (known) check("SylvoHeight", got, sylvo::height_one(m, t, site, shift));
            });
            break;
        }
        case 11: {
            const double h = value(in), s = value(in), u = value(in);
            const double got = lib.age(h, s, u);
            site_call(s, u, [&](double site, double shift, bool known) {
                if (known) check("SylvoAge", got, sylvo::age_one(m, h, site, shift));
            });
            break;
        }
        default: {
            const double h = value(in), s = value(in), u = value(in);
            const double got = lib.gain(h, u, s);
            site_call(s, u, [&](double site, double shift, bool known) {
                if (known) check("SylvoGain", got, sylvo::age_one(m, h, site, shift));
            });
            break;
        }
        }
    }
    return 0;
}

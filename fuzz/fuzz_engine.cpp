// Every batch function of the engine's C interface (sylvo_engine.h) with
// random models, modes, thread counts (0 to 4), options or none, counts,
// NULL arrays, outputs that are an input (in place) and the overlaps the
// interface refuses. A call must return 0 exactly when its arguments are
// valid; a refused call writes nothing; an accepted one writes its outputs
// and nothing else, each element the bits of the engine's single-stand
// function in exact mode (fast mode's projection: finite exactly where
// exact mode's is).
#include <algorithm>
#include <cstdio>
#include <vector>

#include "fuzz_values.h"
#include "sylvo/engine.hpp"
#include "sylvo_engine.h"

namespace {

using namespace sylvo_fuzz;

enum Function { kGrow, kHeight, kSite, kAge, kVolume, kMerch, kBaAfter, kTphAfter, kFunctions };
constexpr int kInputs[kFunctions] = {4, 3, 3, 3, 3, 4, 4, 4};

// Where an array lies: in the arena (an element offset), or NULL.
struct Place {
    bool null = false;
    std::size_t at = 0;
};

bool overlap(const Place& a, const Place& b, std::size_t count)
{
    if (count == 0 || a.null || b.null) return false;
    return a.at < b.at + count && b.at < a.at + count;
}

double one(Function f, sylvo::Model m, const double* x)
{
    switch (f) {
    case kHeight: return sylvo::height_one(m, x[0], x[1], x[2]);
    case kSite: return sylvo::site_one(m, x[0], x[1], x[2]);
    case kAge: return sylvo::age_one(m, x[0], x[1], x[2]);
    case kVolume: return sylvo::volume_one(m, x[0], x[1], x[2]);
    case kMerch: return sylvo::merch_volume_one(m, x[0], x[1], x[2], x[3]);
    case kBaAfter: return sylvo::ba_after_one(m, x[0], x[1], x[2], x[3]);
    default: return sylvo::tph_after_one(m, x[0], x[1], x[2], x[3]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const Function f = static_cast<Function>(in.ConsumeIntegralInRange<int>(0, kFunctions - 1));
    const int inputs = kInputs[f];
    const int outputs = f == kGrow ? 2 : 1;

    const int model = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 2) : in.ConsumeIntegral<int>();
    sylvo_options options{};
    const bool with_options = in.ConsumeBool();
    options.mode = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 1) : in.ConsumeIntegralInRange<int>(-2, 3);
    options.threads = in.ConsumeIntegralInRange<int>(-1, 4);
    const std::size_t count = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::size_t>(0, 9)
                                               : in.ConsumeIntegralInRange<std::size_t>(0, 300);

    // The arena: every array's own place, then room for the overlaps.
    const std::size_t slots = static_cast<std::size_t>(inputs + outputs) + 1;
    std::vector<double> arena(slots * count + 1);
    Place place[6];
    for (int k = 0; k < inputs + outputs; ++k) place[k].at = static_cast<std::size_t>(k) * count;

    // A few values per argument, so that stands share their ages (the
    // engine groups them) and other values repeat.
    double pool[4][6];
    for (auto& row : pool)
        for (double& x : row) x = value(in);
    for (std::size_t i = 0; i < count; ++i)
        for (int k = 0; k < inputs; ++k)
            arena[place[k].at + i] = in.ConsumeBool() ? pool[k][in.ConsumeIntegralInRange<int>(0, 5)] : value(in);

    // Then where each array goes: its own place, NULL, the very place of
    // another array, or a place that overlaps another's.
    for (int k = 0; k < inputs + outputs; ++k) {
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: place[k].null = true; break;
        case 1:
        case 2: place[k] = place[in.ConsumeIntegralInRange<int>(0, inputs + outputs - 1)]; break;
        case 3:
            if (count > 1) {
                const Place other = place[in.ConsumeIntegralInRange<int>(0, inputs + outputs - 1)];
                if (!other.null)
                    place[k].at = std::min(other.at + in.ConsumeIntegralInRange<std::size_t>(1, count - 1),
                                           arena.size() - count);
            }
            break;
        default: break;
        }
    }

    // The projection spans, capped (see capped_end_age) where the ages lie
    // once every array has its place: t1 and t2 may share elements, so each
    // end age is capped after the start age it is paired with is final.
    if (f == kGrow && count > 0 && !place[0].null && !place[1].null) {
        const bool ahead = place[1].at >= place[0].at;
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t i = ahead ? j : count - 1 - j;
            double& t2 = arena[place[1].at + i];
            t2 = capped_end_age(arena[place[0].at + i], t2);
        }
    }

    bool valid = model >= 0 && model <= 2 && (!with_options || ((options.mode == 0 || options.mode == 1) &&
                                                                options.threads >= 0));
    for (int k = 0; k < inputs + outputs; ++k)
        if (place[k].null && count > 0) valid = false;
    for (int o = inputs; o < inputs + outputs; ++o) {
        for (int k = 0; k < inputs; ++k)
            if (overlap(place[o], place[k], count) && place[o].at != place[k].at) valid = false;
        for (int p = o + 1; p < inputs + outputs; ++p)
            if (overlap(place[o], place[p], count)) valid = false;
    }

    double* ptr[6];
    for (int k = 0; k < inputs + outputs; ++k) ptr[k] = place[k].null ? nullptr : arena.data() + place[k].at;
    const std::vector<double> before = arena;
    const sylvo_options* opts = with_options ? &options : nullptr;
    int rc;
    switch (f) {
    case kGrow: rc = sylvo_grow_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], ptr[4], ptr[5], opts); break;
    case kHeight: rc = sylvo_height_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], opts); break;
    case kSite: rc = sylvo_site_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], opts); break;
    case kAge: rc = sylvo_age_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], opts); break;
    case kVolume: rc = sylvo_volume_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], opts); break;
    case kMerch: rc = sylvo_merch_volume_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], ptr[4], opts); break;
    case kBaAfter: rc = sylvo_ba_after_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], ptr[4], opts); break;
    default: rc = sylvo_tph_after_batch(model, count, ptr[0], ptr[1], ptr[2], ptr[3], ptr[4], opts); break;
    }
    if (!sylvo_strerror(rc)) fail("sylvo_strerror gave NULL");

    if (rc != SYLVO_OK) {
        if (valid) {
            std::fprintf(stderr, "code %d: %s\n", rc, sylvo_strerror(rc));
            fail("a valid call was refused");
        }
        for (std::size_t i = 0; i < arena.size(); ++i)
            if (std::memcmp(&arena[i], &before[i], sizeof(double)) != 0)
                fail("a refused call wrote into the arrays", arena[i], before[i]);
        return 0;
    }
    if (!valid) fail("an invalid call was accepted");

    // Every element of the arena outside the outputs is as it was.
    std::vector<bool> written(arena.size(), false);
    for (int o = inputs; o < inputs + outputs; ++o)
        for (std::size_t i = 0; i < count; ++i) written[place[o].at + i] = true;
    for (std::size_t i = 0; i < arena.size(); ++i)
        if (!written[i] && std::memcmp(&arena[i], &before[i], sizeof(double)) != 0)
            fail("a call wrote outside its outputs", arena[i], before[i]);

    const sylvo::Model m = static_cast<sylvo::Model>(model);
    const bool fast = with_options && options.mode == SYLVO_FAST;
    for (std::size_t i = 0; i < count; ++i) {
        double x[4];
        for (int k = 0; k < inputs; ++k) x[k] = before[place[k].at + i];
        auto say = [&] {
            std::fprintf(stderr, "model %d, mode %s, %zu stands, stand %zu:", model, fast ? "fast" : "exact", count, i);
            for (int k = 0; k < inputs; ++k) std::fprintf(stderr, " %.17g", x[k]);
            std::fprintf(stderr, "\n");
        };
        if (f == kGrow) {
            const sylvo::Stand exact = sylvo::grow_one(m, x[0], x[1], x[2], x[3]);
            const double trees = arena[place[4].at + i], ba = arena[place[5].at + i];
            if (fast) {
                if (std::isfinite(trees) != std::isfinite(exact.trees))
                    say(), fail("fast trees finite where exact's are not, or the reverse", trees, exact.trees);
                if (std::isfinite(ba) != std::isfinite(exact.ba))
                    say(), fail("fast basal area finite where exact's is not, or the reverse", ba, exact.ba);
            } else {
                if (!same(trees, exact.trees)) say(), fail("sylvo_grow_batch trees", trees, exact.trees);
                if (!same(ba, exact.ba)) say(), fail("sylvo_grow_batch basal area", ba, exact.ba);
            }
        } else {
            const double expected = one(f, m, x), got = arena[place[inputs].at + i];
            if (!same(got, expected)) say(), fail("an element-wise batch function", got, expected);
        }
    }
    // The model's version and a code's description, for any number.
    const int code = in.ConsumeIntegral<int>();
    if (!sylvo_strerror(code)) fail("sylvo_strerror gave NULL");
    const double version = sylvo_model_version(code);
    if ((code >= 0 && code <= 2) ? !same(version, sylvo::model_version(static_cast<sylvo::Model>(code)))
                                 : !std::isnan(version))
        fail("sylvo_model_version", version, 0.0);
    return 0;
}

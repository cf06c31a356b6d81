// The exported interface: thin adapters from the flat C functions to the
// reentrant core, and the one piece of module state the exports keep.
#include "sylvo.h"

#include "model.h"
#include "projection.h"
#include "site_search.h"
#include "thinning.h"

namespace {

using namespace sylvo;

// The module's site: written by every accepted set_site (and by every trial
// of a site-index search), read back by the height and age exports, never
// reset. It starts at the model's load-time values.
SiteCurve SiteState = load_time_site;

// The exports' own range check of the site index, 1e-06 <= s <= 80.5; a
// site index that is not a number fails it.
constexpr double smallest_site_index = 1e-06;
constexpr double largest_site_index = 80.5;

bool site_index_in_range(double s)
{
    if (smallest_site_index > s) return false;
    return largest_site_index >= s;
}

StandState projected(double t1, double n1, double b1, double t2)
{
    StandState state{n1, b1};
    project_stand(state, t1, t2);
    return state;
}

double age_for(double h, double s, double u)
{
    if (!site_index_in_range(s)) return MISSING_VALUE;
    set_site(SiteState, s, u);
    return age_at_height(SiteState, h);
}

}  // namespace

extern "C" {

SYLVO_API int32_t SYLVO_ENTRY_CALL LibMain(void*, uint32_t, void*)
{
    return 1;
}

SYLVO_API double SYLVO_CALL SylvoVersion(void)
{
    return coefficients.frame.version;
}

SYLVO_API double SYLVO_CALL SylvoGrowTph(double t1, double n1, double b1, double t2)
{
    return projected(t1, n1, b1, t2).trees_per_hectare;
}

SYLVO_API double SYLVO_CALL SylvoGrowBa(double t1, double n1, double b1, double t2)
{
    return projected(t1, n1, b1, t2).basal_area;
}

SYLVO_API void SYLVO_CALL SylvoGrow(double t1, double t2, double* n, double* b)
{
    const StandState state = projected(t1, *n, *b, t2);
    *n = state.trees_per_hectare;
    *b = state.basal_area;
}

SYLVO_API double SYLVO_CALL SylvoVolume(double h, double n, double b)
{
    return stand_volume(h, n, b);
}

SYLVO_API double SYLVO_CALL SylvoMerchVol(double h, double n, double b, double d)
{
    return merch_volume(h, n, b, d);
}

SYLVO_API double SYLVO_CALL SylvoBaAfter(double p, double n1, double b1, double n2)
{
    return thinned_ba(coefficients.frame.thinning, p, n1, b1, n2);
}

SYLVO_API double SYLVO_CALL SylvoTphAfter(double p, double n1, double b1, double b2)
{
    return thinned_tph(coefficients.frame.thinning, p, n1, b1, b2);
}

SYLVO_API double SYLVO_CALL SylvoSite(double h, double t, double u)
{
    return site_from_height(SiteState, h, t, u);
}

SYLVO_API double SYLVO_CALL SylvoHeight(double t, double s, double u)
{
    if (!site_index_in_range(s)) return 0.0;
    set_site(SiteState, s, u);
    return dominant_height(SiteState, t);
}

SYLVO_API double SYLVO_CALL SylvoAge(double h, double s, double u)
{
    return age_for(h, s, u);
}

SYLVO_API double SYLVO_CALL SylvoGain(double h, double u, double s)
{
    return age_for(h, s, u);
}

}  // extern "C"

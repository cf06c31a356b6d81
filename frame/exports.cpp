// The exported interface: thin adapters from the flat C functions to the
// reentrant core, and the one piece of module state the exports keep.
// Compiled once per library with SYLVO_EXPORT_MODEL naming the model's
// namespace (a, b or c).
#include "sylvo.h"

#include "adapters.h"
#include "model.h"
#include "model_api.h"
#include "thinning.h"

#ifndef SYLVO_EXPORT_MODEL
#error "SYLVO_EXPORT_MODEL must name the library's model (a, b or c)"
#endif

namespace {

using namespace sylvo;
using M = sylvo::SYLVO_EXPORT_MODEL::Model;
static_assert(FrameModel<M>);

// The module's site: written by every accepted set_site (and by every trial
// of a site-index search), read back by the height and age exports, never
// reset. It starts at the model's load-time values.
M::SiteCurve SiteState = M::load_time_site;

}  // namespace

extern "C" {

SYLVO_API int32_t SYLVO_ENTRY_CALL LibMain(void*, uint32_t, void*)
{
    return 1;
}

SYLVO_API double SYLVO_CALL SylvoVersion(void)
{
    return M::coefficients.frame.version;
}

SYLVO_API double SYLVO_CALL SylvoGrowTph(double t1, double n1, double b1, double t2)
{
    return projected<M>(t1, n1, b1, t2).trees_per_hectare;
}

SYLVO_API double SYLVO_CALL SylvoGrowBa(double t1, double n1, double b1, double t2)
{
    return projected<M>(t1, n1, b1, t2).basal_area;
}

SYLVO_API void SYLVO_CALL SylvoGrow(double t1, double t2, double* n, double* b)
{
    const StandState state = projected<M>(t1, *n, *b, t2);
    *n = state.trees_per_hectare;
    *b = state.basal_area;
}

SYLVO_API double SYLVO_CALL SylvoVolume(double h, double n, double b)
{
    return M::stand_volume(h, n, b);
}

SYLVO_API double SYLVO_CALL SylvoMerchVol(double h, double n, double b, double d)
{
    return M::merch_volume(h, n, b, d);
}

SYLVO_API double SYLVO_CALL SylvoBaAfter(double p, double n1, double b1, double n2)
{
    return thinned_ba(M::coefficients.frame.thinning, p, n1, b1, n2);
}

SYLVO_API double SYLVO_CALL SylvoTphAfter(double p, double n1, double b1, double b2)
{
    return thinned_tph(M::coefficients.frame.thinning, p, n1, b1, b2);
}

SYLVO_API double SYLVO_CALL SylvoSite(double h, double t, double u)
{
    return site_from_height<M>(SiteState, h, t, u);
}

SYLVO_API double SYLVO_CALL SylvoHeight(double t, double s, double u)
{
    return height_for<M>(SiteState, t, s, u, DeclinedSite::use_stored);
}

SYLVO_API double SYLVO_CALL SylvoAge(double h, double s, double u)
{
    return age_for<M>(SiteState, h, s, u, DeclinedSite::use_stored);
}

SYLVO_API double SYLVO_CALL SylvoGain(double h, double u, double s)
{
    return age_for<M>(SiteState, h, s, u, DeclinedSite::use_stored);
}

}  // extern "C"

// The growth projection: trees per hectare and basal area from one age to
// another by fixed-step Runge-Kutta integration of a model's stand equations.
#pragma once

#include "types.h"

namespace sylvo {

// Projects the stand from age t1 to age t2 in place. Outside the domain
// (N1 <= 0 or not a number, t1 or t2 zero or not finite, |t2 - t1| >= 2^31)
// both members become NaN and nothing is computed.
void project_stand(StandState& state, double t1, double t2);

}  // namespace sylvo

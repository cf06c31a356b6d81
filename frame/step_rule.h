// How many Runge-Kutta steps a projection over an age difference takes.
#pragma once

#include <cstdint>

#include "types.h"

namespace sylvo {

// Number of steps for an age difference d (years) under a step rule.
// Defined for finite d with |d| < 2^31.
std::int64_t step_count(StepRule rule, double d);

}  // namespace sylvo

// Fast mode of the projection: stands that share one projection plan (the
// same two ages) integrated several at a time with SIMD instructions, the
// target chosen at run time. It trades the last bits of exact mode for speed.
#pragma once

#include <cstddef>

#include "projection.h"
#include "sylvo/engine.hpp"

namespace sylvo::engine {

// Projects COUNT stands under PLAN in place: trees[i] and ba[i] hold a stand
// at the plan's start age on entry and at its end age on return. TERMS points
// to the model's AgeTerms (sylvo::a::AgeTerms, ...) at the plan's
// 2 * plan.steps + 1 stage ages (for_each_stage_age), TAU_END is the final
// scaled age. Every stand is projectable (plan in domain, trees > 0); the
// caller sets the others to NaN itself.
void fast_grow_block(Model model, const ProjectionPlan& plan, const void* terms, double tau_end, std::size_t count,
                     double* trees, double* ba);

// The SIMD target fast mode runs on this machine ("AVX3", "AVX2", ...).
const char* fast_target_name();

}  // namespace sylvo::engine

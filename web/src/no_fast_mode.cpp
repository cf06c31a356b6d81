// The WebAssembly engine has exact mode only: fast mode's SIMD code (Highway)
// is not built into it. The two functions grow.cpp calls for fast mode refuse
// here with the engine's own error for a mode it does not take.
#include <string>

#include "fast_grow.h"

namespace sylvo::engine {

void fast_grow_block(Model, const ProjectionPlan&, const void*, double, std::size_t, double*, double*)
{
    throw EngineError(SYLVO_ERR_MODE, "fast mode is not built into the WebAssembly engine; accepted: exact");
}

const char* fast_target_name() { return "none (exact mode only)"; }

}  // namespace sylvo::engine

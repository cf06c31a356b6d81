// The three models in one process, and the one place that turns a run-time
// model number into a model type.
#pragma once

#include <string>
#include <utility>

#include "a/model.h"
#include "a/stand_phases.h"
#include "b/model.h"
#include "b/stand_phases.h"
#include "c/model.h"
#include "c/stand_phases.h"
#include "model_api.h"
#include "sylvo/engine.hpp"

namespace sylvo::engine {

static_assert(FrameModel<a::Model> && FrameModel<b::Model> && FrameModel<c::Model>);

// Calls F with a value of the model's type (a::Model, b::Model or
// c::Model) and returns what it returns; throws EngineError for a value that
// names no model.
template <class F>
decltype(auto) with_model(Model model, F&& f)
{
    switch (model) {
    case Model::b:
        return std::forward<F>(f)(b::Model{});
    case Model::c:
        return std::forward<F>(f)(c::Model{});
    case Model::a:
        return std::forward<F>(f)(a::Model{});
    }
    throw EngineError(SYLVO_ERR_MODEL, "unknown model " + std::to_string(static_cast<int>(model)) +
                                           "; accepted: a, b or c (0, 1, 2)");
}

}  // namespace sylvo::engine

#include "library.h"

namespace sylvo_tool {

namespace {

ModelInfo identify(sylvo::Model model)
{
    const std::string stores = ", which stores only site indices above 1.3 m (a lower one would be computed with "
                               "the site stored by an earlier call)";
    if (model == sylvo::Model::b) return {"B", "Model B", 1.3, "Model B" + stores, "between 2 and 80 m"};
    if (model == sylvo::Model::c)
        return {"C", "Model C", 1.372,
                "Model C, whose site curve is flat at 1.372 m (breast height) and falls with age below it",
                "between 1 and 80 m"};
    return {"A", "Model A", 1.3, "Model A" + stores, "between 2 and 80 m"};
}

}  // namespace

Library::Library(sylvo::Model model) : model_(model), info_(identify(model)) {}

}  // namespace sylvo_tool

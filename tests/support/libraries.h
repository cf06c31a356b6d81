// Where the built libraries are, and what each test needs to know of them.
#pragma once

#include <string>

#include "loaded_library.h"

namespace sylvo_test {

inline std::string library_path(char model)
{
    return std::string(SYLVO_LIB_DIR) + "/libsylvo" + model + ".so";
}

// A freshly loaded copy of a model's library.
inline LoadedLibrary load(char model)
{
    return LoadedLibrary(library_path(model));
}

// Site indices that only Model C stores (Models A and B take only S > 1.3).
inline bool stores_small_sites(char model)
{
    return model == 'c';
}

}  // namespace sylvo_test

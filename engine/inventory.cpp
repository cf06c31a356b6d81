// Placeholder: implemented with the yield tables.
#include "sylvo/inventory.hpp"

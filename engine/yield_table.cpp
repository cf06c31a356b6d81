// Placeholder: implemented with the yield tables.
#include "sylvo/yield_table.hpp"

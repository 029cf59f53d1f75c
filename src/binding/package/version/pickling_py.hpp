#pragma once
#include "binding/refs_py.hpp"

namespace tolvi::py {

// Adds the reconstructor `_reconstruct` to the top-level module, outside
// __all__, and registers the reducer of the four classes with copyreg, so that
// pickle, copy and deepcopy take them. Call it once the classes exist.
bool register_pickling(PyObject* module);

} // namespace tolvi::py

#pragma once
#include "binding/refs_py.hpp"

namespace tolvi::py {

// Adds test_function and init_tracing to the top-level module.
bool add_functions(PyObject* module);

} // namespace tolvi::py

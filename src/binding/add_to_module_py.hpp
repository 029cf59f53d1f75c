#pragma once
#include "binding/refs_py.hpp"

namespace tolvi::py {

// Sets `value` as attribute `name` of `module` and appends the name to the
// module's __all__ (created as an empty list if missing). False with the
// error set on failure.
bool add_to_module(PyObject* module, PyObject* name, PyObject* value);
bool add_to_module(PyObject* module, const char* name, PyObject* value);

} // namespace tolvi::py

#pragma once
#include "binding/refs_py.hpp"

// tolvi._reconstruct, the callable that every reduction of a version object
// names. It is the one object of a small type of its own rather than a
// built-in function: pickle asks the callable of every reduction for its
// __name__, and a built-in function makes a new str for each such question,
// where this object hands out the one it holds.
namespace tolvi::py {

// What a call of the reconstructor runs, with its positional arguments.
using Rebuild = PyObject* (*)(PyObject* const* args, Py_ssize_t count);

// The reconstructor named `name`, which calls `rebuild`. Its type reports the
// module "tolvi", where pickle finds it by that name.
Ref new_reconstructor(const char* name, const char* doc, Rebuild rebuild);

} // namespace tolvi::py

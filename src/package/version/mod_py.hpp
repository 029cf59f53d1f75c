#pragma once
#include "py_ref_py.hpp"

#include "package/version/mod.hpp"

namespace tolvi::py {

// Create (once) and return the class types; null with an error set on
// failure. Borrowed: the process keeps the types for good.
PyTypeObject* create_version_type();
PyTypeObject* create_semver_type();
PyTypeObject* create_dot_separated_type();
PyTypeObject* create_other_type();

// Whether `object` is a Version object, and the value it holds. Version objects
// never change, so their value is read without a claim.
bool is_version_object(PyObject* object);
const version::Version& version_value(PyObject* object);

} // namespace tolvi::py

#pragma once
#include "binding/owned_ref_py.hpp"

#include "core/package/version/packed.hpp"

namespace tolvi::py {

// Whether `object` is a Version object, and the value it holds. Version objects
// never change, so their value is read without a claim.
bool is_version_object(PyObject* object);
version::PackedVersion version_value(PyObject* object);

} // namespace tolvi::py

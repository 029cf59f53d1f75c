#pragma once
#include "binding/owned_ref_py.hpp"

#include <string_view>

namespace tolvi::py {

// The class of internal failures, "pyo3_runtime.PanicException", derived
// directly from BaseException; created on first use. Null with an error set if
// it cannot be created.
PyObject* panic_exception_type();

// Raises PanicException with `message`; returns null for convenient tail calls.
std::nullptr_t raise_panic(std::string_view message);

} // namespace tolvi::py

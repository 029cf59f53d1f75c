#pragma once
#include "binding/refs_py.hpp"

#include <string_view>

namespace tolvi::py {

// The class of internal failures (fixed::panic_type_name), derived directly
// from BaseException; created on first use and kept for the life of the
// process. Null with an error set if it cannot be created.
Borrowed panic_exception_type();

// Raises PanicException with `message`; returns null for convenient tail calls.
std::nullptr_t raise_panic(std::string_view message);

} // namespace tolvi::py

#pragma once
#include "binding/refs_py.hpp"

#include <cstddef>
#include <string_view>

namespace tolvi::py {

// Raises the internal-failure exception (fixed::kPanicTypeName, made on first
// use) with `message`.
std::nullptr_t raise_panic(std::string_view message);

} // namespace tolvi::py

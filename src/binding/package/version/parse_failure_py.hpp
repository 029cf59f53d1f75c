#pragma once
#include "binding/refs_py.hpp"
#include "core/package/version/parser.hpp"

#include <cstddef>
#include <string_view>

namespace tolvi::py {

// Raises RuntimeError with the report of `failure`, a failed parse of `input`, as
// its message: coloured when the process-wide colour decision says so.
std::nullptr_t raise_parse_failure(const version::ParseFailure& failure, std::string_view input);

} // namespace tolvi::py

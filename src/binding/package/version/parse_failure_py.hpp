#pragma once
#include "binding/refs_py.hpp"
#include "core/package/version/parser.hpp"

#include <string_view>

namespace tolvi::py {

// The constructors' answer to a str whose UTF-8 form `utf8` a grammar failed to
// read: RuntimeError with the failure's report as its message, coloured when
// the process-wide colour decision says so.
void raise_report(const version::ParseFailure& failure, std::string_view utf8, PyObject* text);

} // namespace tolvi::py

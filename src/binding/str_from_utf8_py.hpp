#pragma once
#include "binding/owned_ref_py.hpp"

#include <string_view>

namespace tolvi::py {

// A new str holding the UTF-8 text `utf8`, made at its final kind in one step
// rather than widened on the way. Text that is not well-formed UTF-8 goes to the
// interpreter's own decoder, which raises its UnicodeDecodeError.
PyObject* str_from_utf8(std::string_view utf8);

} // namespace tolvi::py

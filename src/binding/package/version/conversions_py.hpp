#pragma once
#include "binding/refs_py.hpp"
#include "core/package/version/optional_list.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Python arguments into model fields. Each returns false with the Python
// exception set when the object does not convert.
namespace tolvi::py {

// Any int, or any object with __index__, from 0 to 4294967295.
bool to_u32(PyObject* object, std::uint32_t& out);

// A sequence of str (but not a str itself).
bool to_string_list(PyObject* object, std::vector<std::string>& out);

// None for an absent list; otherwise a sequence of str, as above.
bool to_optional_string_list(PyObject* object, version::OptionalList& out);

// A str.
bool to_string(PyObject* object, std::string& out);

// Python objects from model fields; empty with an error set on failure.
Ref from_string(const std::string& text);
Ref from_string_list(const std::vector<std::string>& items);
Ref from_optional_string_list(const version::OptionalList& items);

} // namespace tolvi::py

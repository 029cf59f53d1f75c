#include "binding/str_from_utf8_py.hpp"

#include <type_traits>
#include <utility>

#include "binding/limited_api_py.hpp"
#include "core/unicode/ucs2.hpp"

namespace tolvi::py {

static_assert(std::is_same_v<Py_UCS2, std::uint16_t>);

// The interpreter's decoder builds a str of one kind and widens it at the first
// wider character, so text like a report, whose box drawing comes early, pays
// for a copy and a slow path. Decoding first to UCS-2, whose widest character
// gives the kind, builds the str at once. Longer text, and text beyond the basic
// plane, is left to the interpreter's decoder.
std::optional<Ref> to_python_decodable(std::string_view utf8) {
    unicode::Ucs2Units units; // NOLINT(cppcoreguidelines-pro-type-member-init)
    if (const auto decoded = unicode::decode_to_ucs2(utf8, units)) {
        return to_python_ucs2(units.data(), decoded->count, decoded->widest);
    }
    return std::nullopt;
}

Ref to_python_utf8(std::string_view utf8) {
    if (auto text = to_python_decodable(utf8)) {
        return std::move(*text);
    }
    return Ref::steal(
        PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size())));
}

} // namespace tolvi::py

// Every str the module makes from C++ text, each at its final size and kind.
#include "binding/to_python_str_py.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/unicode/ucs2.hpp"

namespace tolvi::py {

namespace {

// Code units of the basic plane, the widest of them `widest`.
#ifdef Py_LIMITED_API
// The str is made at its final kind in one step, as the interpreter makes one
// from wide characters: its UTF-8 and UTF-16 decoders would widen it at the
// first character beyond Latin-1.
Ref to_python_ucs2(const Py_UCS2* units, std::size_t count, Py_UCS2) {
    constexpr std::size_t kChunk = 1024;
    if (count <= kChunk) {
        std::array<wchar_t, kChunk> wide; // NOLINT(cppcoreguidelines-pro-type-member-init)
        std::copy(units, units + count, wide.begin());
        return Ref::steal(PyUnicode_FromWideChar(wide.data(), static_cast<Py_ssize_t>(count)));
    }
    std::vector<wchar_t> wide(units, units + count);
    return Ref::steal(PyUnicode_FromWideChar(wide.data(), static_cast<Py_ssize_t>(count)));
}
#else
Ref to_python_ucs2(const Py_UCS2* units, std::size_t count, Py_UCS2 widest) {
    Ref text = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(count), widest));
    if (!text) {
        return text;
    }
    if (PyUnicode_KIND(text.get()) == PyUnicode_2BYTE_KIND) {
        std::memcpy(PyUnicode_2BYTE_DATA(text.get()), units, count * sizeof(Py_UCS2));
    } else {
        std::copy(units, units + count, PyUnicode_1BYTE_DATA(text.get()));
    }
    return text;
}
#endif

} // namespace

static_assert(std::is_same_v<Py_UCS2, std::uint16_t>);

// The interpreter's decoder builds a str of one kind and widens it at the first
// wider character, so text like a report, whose box drawing comes early, pays
// for a copy and a slow path. Decoding first to UCS-2, whose widest character
// gives the kind, builds the str at once. Longer text, and text beyond the basic
// plane, is left to the interpreter's decoder.
std::optional<Ref> to_python_str_ucs2(std::string_view utf8) {
    unicode::Ucs2Units units; // NOLINT(cppcoreguidelines-pro-type-member-init)
    if (const auto decoded = unicode::decode_to_ucs2(utf8, units)) {
        return to_python_ucs2(units.data(), decoded->count, decoded->widest);
    }
    return std::nullopt;
}

Ref to_python_str(std::string_view utf8) {
    return Ref::steal(
        PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), nullptr));
}

Ref to_python_str_wide(std::string_view utf8) {
    if (auto text = to_python_str_ucs2(utf8)) {
        return std::move(*text);
    }
    return to_python_str(utf8);
}

} // namespace tolvi::py

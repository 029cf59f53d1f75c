#pragma once
#include "binding/refs_py.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

// Every str the module makes from C++ text is made here, each at its final
// size and kind in one step. Built for one interpreter, the module fills a new
// str directly; the limited API offers no such access, so the abi3 module takes
// the interpreter's constructors of str.
namespace tolvi::py {

// UTF-8 text, by the interpreter's decoder: short text, mostly ASCII (a field,
// a name); text that is not well-formed raises its UnicodeDecodeError.
Ref to_python_str(std::string_view utf8);

// ASCII text. Inline: str() of a Version takes this road.
#ifdef Py_LIMITED_API
inline Ref to_python_str_ascii(std::string_view ascii) noexcept {
    return Ref::steal(
        PyUnicode_FromStringAndSize(ascii.data(), static_cast<Py_ssize_t>(ascii.size())));
}
#else
inline Ref to_python_str_ascii(std::string_view ascii) noexcept {
    Ref text = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(ascii.size()), 127));
    if (text) {
        std::copy(ascii.begin(), ascii.end(), static_cast<char*>(PyUnicode_DATA(text.get())));
    }
    return text;
}
#endif

// UTF-8 text made at its final kind in one step rather than widened on the way,
// for text whose wide characters come early (a report's box drawing). Text
// that is not well-formed UTF-8 goes to the interpreter's own decoder.
Ref to_python_str_wide(std::string_view utf8);

// The same for text that the decoder here takes: well-formed, within the basic
// plane and at most kMostDecodedToUcs2 bytes long; nullopt for other text, which
// lets a caller check UTF-8 and make the str in one pass. An empty Ref is a
// failure to make it, with the error set.
std::optional<Ref> to_python_str_ucs2(std::string_view utf8);

} // namespace tolvi::py

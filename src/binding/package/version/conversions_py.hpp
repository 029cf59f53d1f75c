#pragma once
#include "binding/errors_py.hpp"
#include "binding/object_access_py.hpp"
#include "binding/package/version/kind_fields_py.hpp"
#include "binding/to_python_str_py.hpp"
#include "core/package/version/optional_list.hpp"
#include "core/package/version/other.hpp"
#include "core/package/version/parser.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// Python arguments into model values, and model fields into Python objects.
// Across the module, from_python_* reads a Python object into a C++ value and
// to_python_* makes a Python object of one; the rest of the name is the C++ side.
namespace tolvi::py {

// ---------------------------------------------------------------- fields

// Each returns false with the Python exception set when the object does not
// convert.

// Any int, or any object with __index__, from 0 to 4294967295.
bool from_python_u32(PyObject* object, std::uint32_t& out);

// A sequence of str (but not a str itself).
bool from_python_string_list(PyObject* object, std::vector<std::string>& out);

// None for an absent list; otherwise a sequence of str, as above.
bool from_python_optional_string_list(PyObject* object, version::OptionalList& out);

// A str, as the value of an Other: any str, made into one as the parser makes
// the Other it reads.
bool from_python_other_value(PyObject* object, std::string& out);

// Python objects from model fields; empty with an error set on failure.
Ref to_python_u32(const std::uint32_t& n);
Ref to_python_string(const std::string& text);
Ref to_python_string_list(const std::vector<std::string>& items);
Ref to_python_optional_string_list(const version::OptionalList& items);

// The converters a field table names (kind_fields_py.hpp).
struct NumberConverter {
    using Type = std::uint32_t;
    static constexpr auto kToPython = &to_python_u32;
    static constexpr auto kFromPython = &from_python_u32;
};
struct ListConverter {
    using Type = std::vector<std::string>;
    static constexpr auto kToPython = &to_python_string_list;
    static constexpr auto kFromPython = &from_python_string_list;
};
struct OptionalListConverter {
    using Type = version::OptionalList;
    static constexpr auto kToPython = &to_python_optional_string_list;
    static constexpr auto kFromPython = &from_python_optional_string_list;
};
struct OtherValueConverter {
    using Type = std::string;
    static constexpr auto kToPython = &to_python_string;
    static constexpr auto kFromPython = &from_python_other_value;
};

// Runs a conversion of the argument `name`, naming the argument in a TypeError.
template <class Field>
bool converted(bool (*convert)(PyObject*, Field&), PyObject* object, const char* name, Field& out) {
    if (convert(object, out)) {
        return true;
    }
    prefix_argument_error(name);
    return false;
}

// Whether the argument `name` is a str; a TypeError naming it when it is not.
bool text_argument(PyObject* object, const char* name);

// ---------------------------------------------------------------- text

// Sets the exception for a str whose UTF-8 form `utf8` a grammar failed to read.
using RaiseUnparsed = void (*)(const version::ParseFailure& failure, std::string_view utf8,
                               PyObject* text);

// The one road from a str to a value of any class: the UTF-8 text of `text`,
// read in place, parsed by `parse`, and what `make` makes of what it read and
// that text. When that fails, `make`'s failure value, with the error set by
// `raise_unparsed`, or the interpreter's encoding error. Run it inside
// guarded(): a failure's report is built in C++. Always inline, so that a
// caller naming its grammar and its policy decides nothing at run time.
template <class Parse, class Make>
[[gnu::always_inline]] inline auto from_python_text(PyObject* text, Parse&& parse,
                                                    RaiseUnparsed raise_unparsed, Make&& make) {
    using Parsed = decltype(parse(std::string_view()));
    using Value = std::variant_alternative_t<0, Parsed>;
    using Result = decltype(make(std::declval<Value&>(), std::string_view()));
    std::string_view utf8;
    if (!from_python_utf8(text, utf8)) {
        return failure_value<Result>();
    }
    Parsed parsed = parse(utf8);
    if (const auto* failure = std::get_if<version::ParseFailure>(&parsed)) {
        raise_unparsed(*failure, utf8, text);
        return failure_value<Result>();
    }
    return make(std::get<Value>(parsed), utf8);
}

} // namespace tolvi::py

#pragma once
#include "binding/limited_api_py.hpp"
#include "binding/refs_py.hpp"
#include "binding/package/version/version_object_py.hpp"

#include "core/package/version/packed.hpp"
#include "core/package/version/parser.hpp"
#include "core/package/version/version.hpp"

#include <cstddef>
#include <string_view>
#include <variant>

// The Version class: immutable objects of one packed block each (see
// version_object_py.hpp), and what the rest of the module asks of them.
namespace tolvi::py {

// Whether `object` is a Version object, and the value it holds. Version objects
// never change, so their value is read without a claim.
bool is_version_object(PyObject* object);
version::PackedVersion version_value(PyObject* object);

// Sets the exception for a str whose UTF-8 form `utf8` `grammar` failed to read.
using RaiseUnparsed = void (*)(const version::ParseFailure& failure, std::string_view utf8,
                               PyObject* text);

// The one road from text to a Version: a new object of `type` packed straight
// from what `grammar` reads in the str `text`; empty with the error set by
// `raise_unparsed`, or the interpreter's encoding error, when that fails. Run it
// inside guarded(): a failure's report is built in C++. Inline, so that the
// constructor, which names the Version grammar, decides nothing at run time.
inline Ref version_from_text(PyTypeObject* type, PyObject* text, version::Grammar grammar,
                             RaiseUnparsed raise_unparsed) {
    std::string_view utf8;
    if (!str_utf8(text, utf8)) {
        return {};
    }
    const auto parsed = version::parse_syntax(grammar, utf8);
    if (const auto* failure = std::get_if<version::ParseFailure>(&parsed)) {
        raise_unparsed(*failure, utf8, text);
        return {};
    }
    return new_version_object(
        type, version::Packer(grammar, std::get<version::VersionSyntax>(parsed), utf8));
}

// A new Version object holding `value`, built field by field.
Ref version_from_model(const version::Version& value);

// Whether the text form of the Version object carries its whole value (the
// Version grammar reads it back to exactly that value), and that text as a str.
bool version_text_carries_value(PyObject* object);
Ref version_text(PyObject* object);

} // namespace tolvi::py

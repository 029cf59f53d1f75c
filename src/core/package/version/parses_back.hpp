#pragma once
#include <string>
#include <string_view>
#include <variant>

#include "core/package/version/identical.hpp"
#include "core/package/version/packed.hpp"
#include "core/package/version/version.hpp"

// Whether a value's text form carries the whole value: the form that pickling
// sends whenever it does, as the shortest and the quickest to read.
namespace tolvi::version {

// Whether `parse` gives back exactly `value` from its text form, which then
// carries the whole value.
template <class T>
bool text_parses_back(const T& value, const std::string& text, ParseEntry parse) {
    const auto parsed = parse(text);
    const auto* syntax = std::get_if<VersionSyntax>(&parsed);
    return syntax != nullptr && identical(to_value<T>(*syntax, text), value);
}

// The same for a packed version, with no copy of the value. A value packed from
// what the Version grammar read is known to. Otherwise: the parts the grammar
// reads are never empty and hold no "." (nor a "+" in a pre-release list), so a
// value without listed parts whose text parses as the same kind is exactly the
// value parsed, and a value with listed parts never is.
inline bool text_parses_back(const VersionView& value) {
    if (value.known_to_parse_back()) {
        return true;
    }
    if (value.is_listed()) {
        return false;
    }
    const auto parsed = parse_version(value.text());
    const auto* syntax = std::get_if<VersionSyntax>(&parsed);
    return syntax != nullptr && syntax->kind == value.kind();
}

} // namespace tolvi::version

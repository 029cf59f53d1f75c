#pragma once
#include <variant>

#include "core/package/version/packed.hpp"
#include "core/package/version/version.hpp"

namespace tolvi::version {

// Whether two values agree in every field. Equality leaves `meta` out, so it
// cannot tell whether a copy made by another route (a text that parses back,
// say) holds exactly the original.
inline bool identical(const SemVer& a, const SemVer& b) {
    return a == b && a.meta == b.meta;
}
inline bool identical(const DotSeparated& a, const DotSeparated& b) {
    return a == b;
}
inline bool identical(const Other& a, const Other& b) {
    return a == b;
}
inline bool identical(const Version& a, const Version& b) {
    return a.kind() == b.kind() &&
           std::visit(
               [&b](const auto& kind) {
                   return identical(kind, std::get<std::decay_t<decltype(kind)>>(b.value));
               },
               a.value);
}

// Whether `parse` gives back exactly `value` from its text form, which then
// carries the whole value.
template <class T>
bool text_parses_back(const T& value, const std::string& text,
                      ParseResult<T> (*parse)(std::string_view)) {
    const auto parsed = parse(text);
    const T* back = std::get_if<T>(&parsed);
    return back != nullptr && identical(*back, value);
}

// The same for a packed version, with no copy of the value. A value packed from
// what the Version grammar read is known to. Otherwise: the parts the grammar
// reads are never empty and hold no "." (nor a "+" in a pre-release list), so a
// value without listed parts whose text parses as the same kind is exactly the
// value parsed, and a value with listed parts never is.
inline bool text_parses_back(const PackedVersion& value) {
    if (value.known_to_parse_back()) {
        return true;
    }
    if (value.is_listed()) {
        return false;
    }
    const auto parsed = parse_version_syntax(value.text());
    const auto* syntax = std::get_if<VersionSyntax>(&parsed);
    return syntax != nullptr && syntax->kind == value.kind();
}

} // namespace tolvi::version

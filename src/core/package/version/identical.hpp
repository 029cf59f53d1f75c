#pragma once
#include <variant>

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

} // namespace tolvi::version

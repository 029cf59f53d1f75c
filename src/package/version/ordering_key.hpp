#pragma once
#include <cstdint>

#include "package/version/mod.hpp"

namespace tolvi::version {

// A 64-bit summary of a version's position in the ordering, for comparing
// many versions quickly (sorting): the kind in the top two bits, then the
// leading numbers (SemVer) or the leading bytes (DotSeparated, Other).
//
// For any a and b: ordering_key(a) < ordering_key(b) implies a < b, and
// different keys imply a != b. Equal keys decide nothing: compare the values.
std::uint64_t ordering_key(const Version& v) noexcept;

} // namespace tolvi::version

#pragma once
#include <compare>
#include <cstdint>

#include "package/version/mod.hpp"
#include "package/version/packed.hpp"

namespace tolvi::version {

// A 64-bit summary of a version's place in the ordering, for comparing many
// versions quickly (sorting): the kind in the top two bits, then the start of
// an order-preserving encoding of the value, and in the lowest bit whether
// the encoding fitted whole.
std::uint64_t ordering_key(const Version& v) noexcept;
std::uint64_t ordering_key(const PackedVersion& v) noexcept;
// The key of a Version holding the kind these views show.
std::uint64_t ordering_key(const SemVerView& v) noexcept;
std::uint64_t ordering_key(const DotSeparatedView& v) noexcept;
std::uint64_t ordering_key(const OtherView& v) noexcept;

// What two keys tell of their values: less or greater decide the order;
// equivalent means the values are equal (both keys hold whole values);
// unordered means only a comparison of the values can tell.
inline std::partial_ordering compare_ordering_keys(std::uint64_t a, std::uint64_t b) noexcept {
    if ((a >> 1) != (b >> 1)) {
        return (a >> 1) <=> (b >> 1);
    }
    return (a & b & 1) != 0 ? std::partial_ordering::equivalent : std::partial_ordering::unordered;
}

} // namespace tolvi::version

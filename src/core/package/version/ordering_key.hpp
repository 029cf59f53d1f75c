#pragma once
#include <atomic>
#include <compare>
#include <cstdint>

#include "core/package/version/packed.hpp"
#include "core/package/version/version.hpp"

namespace tolvi::version {

// A 64-bit summary of a version's place in the ordering, for comparing many
// versions quickly (sorting): the kind in the top two bits, then the start of
// an order-preserving encoding of the value, and in the lowest bit whether
// the encoding fitted whole.
std::uint64_t ordering_key(const Version& v) noexcept;
std::uint64_t ordering_key(const VersionView& v) noexcept;

// The key of the version packed at `header` and `bytes`, computed at its first
// use, out of line, and kept in the header: many versions are built and never
// compared. No key is 0 (a whole key has its lowest bit set, and one cut short
// has a set bit in what it holds), so 0 marks a key not computed yet, and the
// test costs nothing beside the load.
//
// The header of a published object is shared by every thread that compares
// it, and two may fill its key at once: the key is read and written whole, as
// an atomic with relaxed order (a plain load and store on x86-64 and arm64).
// Every writer stores the same value, so no order between them is needed.
static_assert(alignof(std::uint64_t) >= std::atomic_ref<std::uint64_t>::required_alignment);
inline std::uint64_t kept_ordering_key(PackedHeader& header) noexcept {
    return std::atomic_ref(header.ordering_key).load(std::memory_order_relaxed);
}
// A copy of a shared header, its key read so.
inline PackedHeader copied_header(PackedHeader& header) noexcept {
    return {kept_ordering_key(header), header.text_size, header.kind, header.flags};
}
std::uint64_t keep_ordering_key(PackedHeader& header, const char* bytes) noexcept;
inline std::uint64_t cached_ordering_key(PackedHeader& header, const char* bytes) noexcept {
    const std::uint64_t key = kept_ordering_key(header);
    return key != 0 ? key : keep_ordering_key(header, bytes);
}

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

#pragma once
#include <cstddef>
#include <cstdint>

// The three kinds a Version holds. Their order is the order of the
// alternatives in Version::value and the order of Versions of different kinds:
// SemVer < DotSeparated < Other. A packed header, the grammar's result, the
// ordering key and the pickling codes all record a kind by this position.
namespace tolvi::version {

enum class Kind : std::uint8_t { semver, dot_separated, other };

// Other is the last kind.
inline constexpr std::size_t kKindCount = static_cast<std::size_t>(Kind::other) + 1;

constexpr std::size_t position(Kind kind) noexcept {
    return static_cast<std::size_t>(kind);
}

// The kind at `position`, which must be below kKindCount.
constexpr Kind kind_at(std::size_t position) noexcept {
    return static_cast<Kind>(position);
}

} // namespace tolvi::version

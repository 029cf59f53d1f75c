#pragma once
// Log levels and the process-wide level test that every event passes first.

#include <atomic>
#include <cstdint>
#include <string_view>

namespace tolvi::log {

// From the most verbose to the most severe.
enum class Level : std::uint8_t { Trace, Debug, Info, Warn, Error };

// The five-character text of a record: "TRACE", "DEBUG", " INFO", " WARN", "ERROR".
std::string_view level_text(Level level) noexcept;

namespace detail {

// The least severe level that any installed subscriber accepts. Above Error
// (nothing enabled) until a subscriber is installed.
inline constexpr std::uint8_t kNothingEnabled = static_cast<std::uint8_t>(Level::Error) + 1;
inline constinit std::atomic<std::uint8_t> min_enabled_level{kNothingEnabled};

} // namespace detail

// The cheap test in front of every event: one relaxed load and a compare, so a
// disabled event costs nothing more.
inline bool enabled(Level level) noexcept {
    return static_cast<std::uint8_t>(level) >=
           detail::min_enabled_level.load(std::memory_order_relaxed);
}

} // namespace tolvi::log

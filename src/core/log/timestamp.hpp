#pragma once
// The UTC timestamp that opens every log record, e.g. 2026-12-06T09:05:07.042311Z.

#include <cstdint>
#include <optional>
#include <string>

namespace tolvi::log {

// A moment as seconds since the Unix epoch plus the microseconds within that second.
struct WallTime {
    std::int64_t seconds = 0;
    std::uint32_t microseconds = 0;
};

// Where a formatter gets the current time. nullopt: the clock could not be read.
using Clock = std::optional<WallTime> (*)() noexcept;

// The system's real-time clock, truncated to microseconds.
std::optional<WallTime> system_time() noexcept;

// Appends year-month-dayThh:mm:ss.uuuuuuZ. The year has at least four digits and
// a "+" above 9999. Without a usable time the text is "<unknown time>", so the
// record can still be written.
void append_timestamp(std::string& out, std::optional<WallTime> time);

} // namespace tolvi::log

#pragma once
// What a subscriber receives: events, and the open spans they are nested in.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/log/field.hpp"
#include "core/log/level.hpp"

namespace tolvi::log {

struct Event {
    Level level = Level::Info;
    std::string_view target;
    std::optional<std::string_view> file; // the source file, when known
    std::optional<std::uint32_t> line;    // only written together with a file
    std::span<const Field> fields;        // in the order they were given
};

// An open span as the subscriber stored it: its fields are formatted once, when
// the span opens, and written unchanged into every record emitted inside it.
struct SpanData {
    Level level = Level::Info;
    std::string target;
    std::string name;
    std::string fields; // empty when the span recorded no fields
};

} // namespace tolvi::log

#pragma once
// The process-wide default slot that holds the installed subscriber, and the
// path from an emitted event to it.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>

#include "core/log/event.hpp"
#include "core/log/subscriber.hpp"

namespace tolvi::log {

inline constexpr std::string_view kAlreadySetText =
    "a global default trace dispatcher has already been set";

// Offers `subscriber` to the slot. The first offer is kept for the life of the
// process; every later one is destroyed and gets kAlreadySetText back.
std::optional<std::string_view> install_default(std::unique_ptr<Subscriber> subscriber) noexcept;

// Builds a subscriber (reading NO_COLOR now) and installs it: what init_tracing
// does. nullopt on success, kAlreadySetText when a subscriber is already
// installed. Throws std::bad_alloc only, when the subscriber cannot be built.
std::optional<std::string_view> init_default_subscriber();

// The installed subscriber; nullptr until an install has completed.
const Subscriber* default_subscriber() noexcept;

// Hands an event to the installed subscriber, if any accepts it.
void dispatch(const Event& event) noexcept;

// The out-of-line half of the TOLVI_EVENT macro, reached only after the level test.
void emit(Level level, std::string_view target, std::string_view file, std::uint32_t line,
          std::initializer_list<Field> fields) noexcept;

} // namespace tolvi::log

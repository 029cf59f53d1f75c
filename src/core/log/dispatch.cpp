#include "core/log/dispatch.hpp"

#include <atomic>

namespace tolvi::log {

namespace {

enum class SlotState : std::uint8_t { Empty, BeingSet, Set };

constinit std::atomic<SlotState> slot_state{SlotState::Empty};
// Written once, before the state turns Set; never freed, because events may be
// emitted until the very end of the process.
constinit const Subscriber* installed = nullptr;

} // namespace

std::optional<std::string_view> install_default(std::unique_ptr<Subscriber> subscriber) noexcept {
    SlotState expected = SlotState::Empty;
    if (!slot_state.compare_exchange_strong(expected, SlotState::BeingSet,
                                            std::memory_order_acquire)) {
        return kAlreadySetText;
    }
    installed = subscriber.release();
    slot_state.store(SlotState::Set, std::memory_order_release);
    detail::min_enabled_level.store(static_cast<std::uint8_t>(Subscriber::max_level()),
                                    std::memory_order_relaxed);
    return std::nullopt;
}

std::optional<std::string_view> init_default_subscriber() {
    return install_default(Subscriber::build());
}

const Subscriber* default_subscriber() noexcept {
    return slot_state.load(std::memory_order_acquire) == SlotState::Set ? installed : nullptr;
}

void dispatch(const Event& event) noexcept {
    if (const Subscriber* subscriber = default_subscriber()) {
        subscriber->on_event(event);
    }
}

void emit(Level level, std::string_view target, std::string_view file, std::uint32_t line,
          std::initializer_list<Field> fields) noexcept {
    dispatch(
        Event{level, target, file, line, std::span<const Field>(fields.begin(), fields.size())});
}

} // namespace tolvi::log

#pragma once
// The log subscriber: accepts INFO and more severe, formats each accepted event
// into a per-thread buffer and writes it to standard output as one piece.

#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "core/log/event.hpp"
#include "core/log/record_format.hpp"

namespace tolvi::log {

class Subscriber {
public:
    explicit Subscriber(RecordFormatter formatter) noexcept : formatter_(formatter) {}

    // A subscriber with the fixed configuration, styled unless NO_COLOR (read
    // now, once) disables styling.
    static std::unique_ptr<Subscriber> build();

    // The most verbose level this subscriber accepts.
    static constexpr Level max_level() noexcept { return Level::Info; }
    static constexpr bool accepts(Level level) noexcept { return level >= max_level(); }

    bool styled() const noexcept { return formatter_.styled(); }

    // Writes the record of an accepted event, listing the spans entered on the
    // calling thread. Failures are reported on standard error, never to the caller.
    void on_event(const Event& event) const noexcept;

    // Stores an opening span with its formatted fields; nullptr for a span this
    // subscriber does not accept (or cannot store).
    std::shared_ptr<const SpanData> new_span(Level level, std::string_view target,
                                             std::string_view name,
                                             std::span<const Field> fields) const noexcept;

private:
    RecordFormatter formatter_;
};

// Whether a NO_COLOR value (nullptr: unset) turns styling off: only a non-empty
// value does, and a value that is not valid UTF-8 counts as unset.
bool no_color_disables_styling(const char* value) noexcept;

} // namespace tolvi::log

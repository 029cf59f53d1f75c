#pragma once
// Named values carried by events and spans.

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tolvi::log {

// bool is an unsigned integral type too, but has a constructor of its own.
template <typename T>
concept UnsignedNumber = std::unsigned_integral<T> && !std::same_as<T, bool>;

// One field value. Strings are borrowed: an event is formatted before the
// statement that emits it ends, and a span formats its fields when it opens.
class Value {
public:
    using Storage = std::variant<std::string_view, std::int64_t, std::uint64_t, bool, double>;

    Value(std::string_view text) noexcept : storage_(text) {}
    Value(const char* text) noexcept : storage_(std::string_view(text)) {}
    Value(const std::string& text) noexcept : storage_(std::string_view(text)) {}
    Value(bool flag) noexcept : storage_(flag) {}
    Value(double number) noexcept : storage_(number) {}
    template <std::signed_integral T>
    Value(T number) noexcept : storage_(static_cast<std::int64_t>(number)) {}
    template <UnsignedNumber T>
    Value(T number) noexcept : storage_(static_cast<std::uint64_t>(number)) {}

    const Storage& storage() const noexcept { return storage_; }

private:
    Storage storage_;
};

struct Field {
    std::string_view name;
    Value value;
};

// Appends the debug rendering: strings quoted and escaped, numbers and bools plain.
void append_debug(std::string& out, const Value& value);

// Appends the value as a message is shown: strings as they are, anything else in
// its debug rendering.
void append_display(std::string& out, const Value& value);

// The name under which a field is written: a leading "r#" dropped, and no name
// at all (the field is skipped) when it begins with "log.".
std::optional<std::string_view> shown_field_name(std::string_view name) noexcept;

} // namespace tolvi::log

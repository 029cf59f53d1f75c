#pragma once
#include "digits.hpp"
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the text and debug forms of the version values. Each
// writer appends to a string the caller has already reserved.
namespace tolvi::version::detail {

using Identifiers = std::vector<std::string>;

inline std::size_t decimal_length(std::uint32_t n) noexcept {
    std::size_t length = 1;
    while (n >= 10) {
        n /= 10;
        ++length;
    }
    return length;
}

inline void append_decimal(std::string& out, std::uint32_t n) {
    out.append(Digits(n).view());
}

// Length of the elements joined with ".": the sum of their lengths plus one
// separator between each pair.
inline std::size_t joined_length(const Identifiers& items) noexcept {
    std::size_t length = items.empty() ? 0 : items.size() - 1;
    for (const auto& item : items) {
        length += item.size();
    }
    return length;
}

inline void append_joined(std::string& out, const Identifiers& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) {
            out.push_back('.');
        }
        out.append(items[i]);
    }
}

// ["a", "b"]
void append_debug_list(std::string& out, const Identifiers& items);

// None, or Some([...])
void append_debug_optional_list(std::string& out, const std::optional<Identifiers>& items);

} // namespace tolvi::version::detail

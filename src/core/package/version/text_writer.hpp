#pragma once
#include "core/digits.hpp"
#include "core/package/version/optional_list.hpp"
#include "core/unicode/quoted.hpp"
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the text and debug forms of the version values. The text
// form is written into a buffer of exactly its length: each write_ function
// takes the position to write at and returns the one after what it wrote, with
// no call into the standard library's string per piece (libc++ keeps those out
// of line). The debug form, whose length is not known beforehand, is appended
// to a string, its literals as string_views, so that none is measured at run
// time.
namespace tolvi::version::detail {

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

inline char* write_decimal(char* out, std::uint32_t n) noexcept {
    return std::to_chars(out, out + 10, n).ptr; // 10: the digits of 2^32 - 1
}

inline char* write_bytes(char* out, std::string_view bytes) noexcept {
    return std::copy(bytes.begin(), bytes.end(), out);
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

inline char* write_joined(char* out, const Identifiers& items) noexcept {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) {
            *out++ = '.';
        }
        out = write_bytes(out, items[i]);
    }
    return out;
}

// ["a", "b"], for any range of strings.
template <class Items> void append_debug_list(std::string& out, const Items& items) {
    out.push_back('[');
    bool first = true;
    for (const auto& item : items) {
        if (!first) {
            out.append(std::string_view(", "));
        }
        first = false;
        unicode::append_quoted(out, item);
    }
    out.push_back(']');
}

// None, or Some([...]), for anything that tests and dereferences like an optional.
template <class Optional> void append_debug_optional_list(std::string& out, const Optional& items) {
    if (!items) {
        out.append(std::string_view("None"));
        return;
    }
    out.append(std::string_view("Some("));
    append_debug_list(out, *items);
    out.push_back(')');
}

} // namespace tolvi::version::detail

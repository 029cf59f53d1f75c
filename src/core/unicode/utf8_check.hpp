#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace tolvi::unicode {

// The first place where a byte string stops being well-formed UTF-8.
struct Utf8Fault {
    std::size_t offset; // where the offending sequence starts
    bool truncated;     // the sequence was cut short by the end of the bytes
};

// Strict check: overlong forms, surrogates and code points above U+10FFFF are
// faults too, since a Python str could not hold them.
std::optional<Utf8Fault> find_utf8_fault(std::string_view bytes) noexcept;

} // namespace tolvi::unicode

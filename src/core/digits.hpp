#pragma once
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tolvi {

// The digits of an unsigned number in base 10 (or 16), held in a buffer of
// their own, so that text being built appends them without an allocation.
class Digits {
public:
    explicit Digits(std::uint64_t number, int base = 10) noexcept
        : end_(std::to_chars(buffer_, buffer_ + sizeof buffer_, number, base).ptr) {}

    std::string_view view() const noexcept {
        return {buffer_, static_cast<std::size_t>(end_ - buffer_)};
    }

private:
    char buffer_[20]{}; // the most digits any 64-bit number has in base 10
    char* end_;
};

} // namespace tolvi

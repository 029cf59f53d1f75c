#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace tolvi::report {

// Writes report text into a buffer of fixed size and counts all of it, what did
// not fit included: a report too long for the buffer is rendered again into one
// of the size counted, so every report is built in a single allocation.
class BoundedWriter {
public:
    explicit BoundedWriter(std::span<char> buffer) noexcept : buffer_(buffer) {}

    void append(std::string_view text) noexcept {
        // An empty view may hold no pointer at all, which memcpy must not be given.
        if (!text.empty() && fits(text.size())) {
            std::memcpy(buffer_.data() + size_, text.data(), text.size());
        }
        size_ += text.size();
    }
    void append(std::size_t count, char c) noexcept {
        // A short run is stored as a whole word: what lands past it is
        // overwritten by the next piece or left unused.
        if (count <= sizeof(std::uint64_t) && fits(sizeof(std::uint64_t))) {
            const std::uint64_t word = 0x0101010101010101 * static_cast<unsigned char>(c);
            std::memcpy(buffer_.data() + size_, &word, sizeof word);
        } else if (fits(count)) {
            std::memset(buffer_.data() + size_, c, count);
        }
        size_ += count;
    }
    void push_back(char c) noexcept {
        if (fits(1)) {
            buffer_[size_] = c;
        }
        ++size_;
    }

    // Bytes given so far; the text is complete only when it fitted.
    std::size_t size() const noexcept { return size_; }
    bool fitted() const noexcept { return size_ <= buffer_.size(); }

private:
    // Once a piece has not fitted, size_ is past the end and nothing more is written.
    bool fits(std::size_t count) const noexcept { return size_ + count <= buffer_.size(); }

    std::span<char> buffer_;
    std::size_t size_ = 0;
};

} // namespace tolvi::report

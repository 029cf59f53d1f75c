#include "package/version/ordering_key.hpp"

#include <string>
#include <vector>

namespace tolvi::version {

namespace {

constexpr int kind_shift = 62;
constexpr int prefix_bytes = 7;

// Collects the first bytes of an order-preserving byte encoding, big-endian,
// zero-padded. Cutting such an encoding short and padding it with zeros keeps
// a strict difference between two keys meaningful.
class Prefix {
public:
    bool full() const noexcept { return count_ == prefix_bytes; }
    void push(unsigned char byte) noexcept {
        if (!full()) {
            bits_ = (bits_ << 8) | byte;
            ++count_;
        }
    }
    std::uint64_t bits() const noexcept { return bits_ << (8 * (prefix_bytes - count_)); }

private:
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

std::uint64_t key_of(const SemVer& v) noexcept {
    // major in full, then the high 30 bits of minor.
    return (std::uint64_t{v.major} << 30) | (v.minor >> 2);
}

// The list order becomes byte order when each part is followed by a 0x00
// separator and the bytes 0x00 and 0x01 inside a part are escaped as 0x01 0x01
// and 0x01 0x02, so that no part byte sorts at or below the separator.
std::uint64_t key_of(const DotSeparated& v) noexcept {
    Prefix prefix;
    for (const std::string& part : v.parts) {
        for (const char c : part) {
            if (prefix.full()) {
                return prefix.bits();
            }
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= 1) {
                prefix.push(1);
                prefix.push(static_cast<unsigned char>(byte + 1));
            } else {
                prefix.push(byte);
            }
        }
        prefix.push(0);
    }
    return prefix.bits();
}

std::uint64_t key_of(const Other& v) noexcept {
    Prefix prefix;
    for (const char c : v.value) {
        if (prefix.full()) {
            break;
        }
        prefix.push(static_cast<unsigned char>(c));
    }
    return prefix.bits();
}

} // namespace

std::uint64_t ordering_key(const Version& v) noexcept {
    const auto kind = static_cast<std::uint64_t>(v.value.index());
    return (kind << kind_shift) | std::visit([](const auto& k) { return key_of(k); }, v.value);
}

} // namespace tolvi::version

#include "core/package/version/ordering_key.hpp"

#include <algorithm>
#include <bit>
#include <string>
#include <string_view>

namespace tolvi::version {

namespace {

// The first bits of an order-preserving encoding of the value, zero-padded.
// Cutting such an encoding short anywhere and padding it with zeros keeps a
// strict difference between two keys meaningful. The encodings never hold a
// zero byte where padding could be mistaken for them, so two whole encodings
// are equal exactly when their values are.
class KeyBits {
public:
    static constexpr int kCapacity = 61;

    bool whole() const noexcept { return !cut_; }

    // Appends `value`, which fits in `width` bits, most significant bit first,
    // as far as it fits.
    void push(std::uint64_t value, int width) noexcept {
        if (used_ + width <= kCapacity) {
            bits_ = (bits_ << width) | value;
            used_ += width;
            return;
        }
        const int taken = std::min(width, kCapacity - used_);
        if (taken < width) {
            cut_ = true;
        }
        if (taken <= 0) {
            return;
        }
        value >>= width - taken;
        bits_ = (bits_ << taken) | (value & ((std::uint64_t{1} << taken) - 1));
        used_ += taken;
    }

    std::uint64_t finish() const noexcept { return bits_ << (kCapacity - used_); }

private:
    std::uint64_t bits_ = 0;
    int used_ = 0;
    bool cut_ = false;
};

// A number as its byte count (2 bits) and then its bytes: more bytes means a
// larger number, so the encoding sorts as the numbers do.
void push_number(KeyBits& key, std::uint32_t n) noexcept {
    // Zero takes one byte like every other number below 256; `| 1` says so
    // without a branch, which zeros (common, and unpredictable) would mispredict.
    const int bytes = (static_cast<int>(std::bit_width(n | 1U)) + 7) / 8;
    const int width = 8 * bytes;
    key.push((static_cast<std::uint64_t>(bytes - 1) << width) | n, 2 + width);
}

// Text bytes, with 0x00, 0x01 and 0x02 written as 0x02 followed by the byte
// plus one: the order of the text is kept and no byte is 0x00 or 0x01.
void push_text(KeyBits& key, std::string_view text) noexcept {
    for (const char c : text) {
        if (!key.whole()) {
            return;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 2) {
            key.push(2, 8);
            key.push(byte + 1u, 8);
        } else {
            key.push(byte, 8);
        }
    }
}

// Each element followed by the separator 0x01, which sorts below every text
// byte: a shorter element, and a shorter list, come first.
template <class Items> void push_list(KeyBits& key, const Items& items) noexcept {
    for (const auto& item : items) {
        push_text(key, item);
        key.push(1, 8);
    }
}

// The kinds of the model and their views in a packed version alike.
template <class S> void push_semver(KeyBits& key, const S& v) noexcept {
    push_number(key, v.major);
    push_number(key, v.minor);
    push_number(key, v.patch);
    // A present pre-release list sorts before an absent one.
    key.push(v.rc ? 0 : 1, 1);
    if (v.rc) {
        push_list(key, *v.rc);
    }
}

struct PushKey {
    KeyBits& key;
    void operator()(const SemVer& v) const noexcept { push_semver(key, v); }
    void operator()(const SemVerView& v) const noexcept { push_semver(key, v); }
    void operator()(const DotSeparated& v) const noexcept { push_list(key, v.parts); }
    void operator()(const DotSeparatedView& v) const noexcept { push_list(key, v.parts); }
    void operator()(const Other& v) const noexcept { push_text(key, v.value); }
    void operator()(const OtherView& v) const noexcept { push_text(key, v.value); }
};

std::uint64_t finish_key(const KeyBits& key, Kind kind) noexcept {
    return (static_cast<std::uint64_t>(position(kind)) << 62) | (key.finish() << 1) |
           (key.whole() ? 1 : 0);
}

} // namespace

std::uint64_t ordering_key(const Version& v) noexcept {
    KeyBits key;
    std::visit(PushKey{key}, v.value);
    return finish_key(key, v.kind());
}

std::uint64_t ordering_key(const VersionView& v) noexcept {
    KeyBits key;
    v.visit(PushKey{key});
    return finish_key(key, v.kind());
}

std::uint64_t keep_ordering_key(PackedHeader& header, const char* bytes) noexcept {
    const std::uint64_t key = ordering_key(VersionView(header, bytes));
    std::atomic_ref(header.ordering_key).store(key, std::memory_order_relaxed);
    return key;
}

} // namespace tolvi::version

#include "core/unicode/utf8_check.hpp"

namespace tolvi::unicode {

namespace {

// Length of the sequence introduced by `lead`, and the range its second byte must
// lie in; the narrower ranges rule out overlong forms, surrogates and values past
// U+10FFFF. Length 0 means the byte cannot start a sequence.
struct LeadRule {
    std::size_t length;
    unsigned char second_min;
    unsigned char second_max;
};

LeadRule rule_for(unsigned char lead) noexcept {
    if (lead < 0x80) {
        return {1, 0, 0};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {3, 0xA0, 0xBF};
    }
    if (lead == 0xED) {
        return {3, 0x80, 0x9F};
    }
    if (lead >= 0xE1 && lead <= 0xEF) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {4, 0x90, 0xBF};
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {4, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {4, 0x80, 0x8F};
    }
    return {0, 0, 0};
}

} // namespace

std::optional<Utf8Fault> find_utf8_fault(std::string_view bytes) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const LeadRule rule = rule_for(byte(pos));
        if (rule.length == 0) {
            return Utf8Fault{pos, false};
        }
        for (std::size_t i = 1; i < rule.length; ++i) {
            if (pos + i >= bytes.size()) {
                return Utf8Fault{pos, true};
            }
            const unsigned char min = i == 1 ? rule.second_min : 0x80;
            const unsigned char max = i == 1 ? rule.second_max : 0xBF;
            if (byte(pos + i) < min || byte(pos + i) > max) {
                return Utf8Fault{pos, false};
            }
        }
        pos += rule.length;
    }
    return std::nullopt;
}

} // namespace tolvi::unicode

#include "core/package/version/scan.hpp"

#include <cstdint>
#include <limits>

namespace tolvi::version {

namespace {

bool is_part(const char* at) noexcept {
    return grammar::is_part(static_cast<unsigned char>(*at));
}

bool is_digit(const char* at) noexcept {
    return grammar::is_digit(static_cast<unsigned char>(*at));
}

// Moves past `c` if it is at `at`.
bool skip(char c, const char*& at, const char* end) noexcept {
    if (at != end && *at == c) {
        ++at;
        return true;
    }
    return false;
}

// The end of the longest list part ("." part)* starting at `at`: a dot with
// no part after it is left out, as dot_separated_list leaves it. `at` itself
// when no part starts there, which is the empty list.
const char* list_end(const char* at, const char* end) noexcept {
    const char* parsed = at;
    while (at != end && is_part(at)) {
        do {
            ++at;
        } while (at != end && is_part(at));
        parsed = at;
        if (at == end || *at != '.') {
            break;
        }
        ++at;
    }
    return parsed;
}

// Reads the integer at `at` into `out` and moves past it; false when there is
// no digit or the number passes the largest uint32. Every digit is read either
// way, as the integer rule reads them.
bool integer(const char*& at, const char* end, std::uint32_t& out) noexcept {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    const char* start = at;
    std::uint64_t value = 0;
    for (; at != end && is_digit(at); ++at) {
        // Saturates past kMax: a value that got there stays there.
        value = value <= kMax ? value * 10 + static_cast<unsigned>(*at - '0') : value;
    }
    out = static_cast<std::uint32_t>(value);
    return at != start && value <= kMax;
}

} // namespace

bool scan_semver(std::string_view text, SemVerSyntax& out) noexcept {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* at = begin;
    skip('v', at, end);
    if (!integer(at, end, out.major) || !skip('.', at, end) || !integer(at, end, out.minor) ||
        !skip('.', at, end) || !integer(at, end, out.patch)) {
        return false;
    }
    out.rest = static_cast<std::size_t>(at - begin);
    out.rc.reset();
    out.meta.reset();
    if (skip('-', at, end)) {
        const char* list = at;
        at = list_end(list, end);
        out.rc = std::string_view(list, static_cast<std::size_t>(at - list));
    }
    if (skip('+', at, end)) {
        const char* list = at;
        at = list_end(list, end);
        out.meta = std::string_view(list, static_cast<std::size_t>(at - list));
    }
    return at == end;
}

bool scan_list(std::string_view text) noexcept {
    const char* const end = text.data() + text.size();
    return list_end(text.data(), end) == end;
}

} // namespace tolvi::version

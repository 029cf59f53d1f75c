#pragma once
#include <compare>
#include <string_view>

namespace tolvi::version {

// The order of two lists of strings, each any range of strings: element by
// element by their bytes, and a list that runs out first is the lesser.
template <class A, class B> std::strong_ordering compare_lists(const A& a, const B& b) noexcept {
    auto i = a.begin();
    auto j = b.begin();
    for (; i != a.end() && j != b.end(); ++i, ++j) {
        if (const auto c = std::string_view(*i) <=> std::string_view(*j); std::is_neq(c)) {
            return c;
        }
    }
    if (i != a.end()) {
        return std::strong_ordering::greater;
    }
    return j != b.end() ? std::strong_ordering::less : std::strong_ordering::equal;
}

} // namespace tolvi::version

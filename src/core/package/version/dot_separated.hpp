#pragma once
#include <compare>
#include <string>
#include <string_view>
#include <vector>

#include "core/package/version/parser.hpp"
#include "core/package/version/text_writer.hpp"

namespace tolvi::version {

// A version made of dot-separated parts; no parts at all is a valid value.
struct DotSeparated {
    static constexpr std::string_view kQualifiedName =
        "tolvi::package::version::dot_separated::DotSeparated";

    std::vector<std::string> parts;

    friend bool operator==(const DotSeparated&, const DotSeparated&) = default;
    // clang-tidy 14 takes the 0 that the defaulted comparison compares with for a
    // null pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend std::strong_ordering operator<=>(const DotSeparated&, const DotSeparated&) = default;
};

// The debug form of a dot-separated version held as a DotSeparated or read
// from a packed version.
template <class D> void append_dot_separated_debug(std::string& out, const D& v) {
    out.append(std::string_view("DotSeparated { parts: "));
    detail::append_debug_list(out, v.parts);
    out.append(std::string_view(" }"));
}

std::size_t text_length(const DotSeparated& v) noexcept;
char* write_text(char* out, const DotSeparated& v) noexcept;
void append_debug(std::string& out, const DotSeparated& v);

// The value of a list that the grammar read, as the text of the whole list.
DotSeparated to_dot_separated(std::string_view list);

} // namespace tolvi::version

#include "core/package/version/dot_separated.hpp"

#include "core/package/version/text_writer.hpp"

namespace tolvi::version {

std::size_t text_length(const DotSeparated& v) noexcept {
    return detail::joined_length(v.parts);
}

char* write_text(char* out, const DotSeparated& v) noexcept {
    return detail::write_joined(out, v.parts);
}

void append_debug(std::string& out, const DotSeparated& v) {
    append_dot_separated_debug(out, v);
}

DotSeparated to_dot_separated(std::string_view list) {
    return DotSeparated{split_list(list)};
}

} // namespace tolvi::version

#include "core/package/version/dot_separated.hpp"

#include "core/package/version/scan.hpp"
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

ParseResult<DotSeparated> parse_dot_separated(std::string_view text) {
    return parse_entry<DotSeparated>(text, DotSeparated::qualified_name,
                                     [](auto& parser, DotSeparated& out) {
                                         if (!whole_list(parser)) {
                                             return false;
                                         }
                                         out.parts = split_list(parser.input());
                                         return true;
                                     });
}

} // namespace tolvi::version

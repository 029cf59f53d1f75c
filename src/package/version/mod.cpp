#include "package/version/mod.hpp"

namespace tolvi::version {

std::size_t text_length(const Version& v) noexcept {
    return std::visit([](const auto& kind) { return text_length(kind); }, v.value);
}

char* write_text(char* out, const Version& v) noexcept {
    return std::visit([&](const auto& kind) { return write_text(out, kind); }, v.value);
}

void append_debug(std::string& out, const Version& v) {
    out.append(std::string_view("Version::"));
    std::visit([&](const auto& kind) { append_debug(out, kind); }, v.value);
}

ParseResult<Version> parse_version(std::string_view text) {
    return parse_entry<Version>(
        text, Version::qualified_name, [](auto& parser) -> std::optional<Version> {
            if (auto v = semver_rule(parser); v && parser.end_of_input()) {
                return Version{std::move(*v)};
            }
            parser.rewind(0);
            if (DotSeparated v{grammar::dot_separated_list(parser)}; parser.end_of_input()) {
                return Version{std::move(v)};
            }
            parser.rewind(0);
            if (auto v = identifier_rule(parser); v && parser.end_of_input()) {
                return Version{std::move(*v)};
            }
            return std::nullopt;
        });
}

} // namespace tolvi::version

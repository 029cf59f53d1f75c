#include "core/package/version/version.hpp"

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

ParseResult<VersionSyntax> parse_version_syntax(std::string_view text) {
    return parse_entry<VersionSyntax>(
        text, Version::qualified_name, [](auto& parser, VersionSyntax& out) {
            if (semver_rule(parser, out.semver) && parser.end_of_input()) {
                out.kind = 0;
                return true;
            }
            parser.rewind(0);
            if (grammar::dot_separated_list(parser); parser.end_of_input()) {
                out.kind = 1;
                return true;
            }
            parser.rewind(0);
            out.kind = 2;
            return identifier_rule(parser) && parser.end_of_input();
        });
}

Version to_version(const VersionSyntax& syntax, std::string_view text) {
    switch (syntax.kind) {
    case 0:
        return Version{to_semver(syntax.semver)};
    case 1:
        return Version{DotSeparated{split_list(text)}};
    default:
        return Version{Other{std::string(text)}};
    }
}

ParseResult<Version> parse_version(std::string_view text) {
    auto parsed = parse_version_syntax(text);
    if (auto* syntax = std::get_if<VersionSyntax>(&parsed)) {
        return to_version(*syntax, text);
    }
    return std::get<ParseFailure>(parsed);
}

} // namespace tolvi::version

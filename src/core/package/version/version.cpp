#include "core/package/version/version.hpp"

#include <type_traits>

#include "core/package/version/version_scan.hpp"

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
            if constexpr (std::is_same_v<std::remove_reference_t<decltype(parser)>,
                                         grammar::Recogniser>) {
                if (scan_semver_or_list(parser.input(), out)) {
                    return true;
                }
            } else {
                // The rules themselves, for the errors they record.
                if (semver_rule(parser, out.semver) && parser.end_of_input()) {
                    out.kind = Kind::semver;
                    return true;
                }
                parser.rewind(0);
                if (grammar::dot_separated_list(parser); parser.end_of_input()) {
                    out.kind = Kind::dot_separated;
                    return true;
                }
                parser.rewind(0);
            }
            out.kind = Kind::other;
            return identifier_rule(parser) && parser.end_of_input();
        });
}

ParseResult<VersionSyntax> parse_kind_syntax(Grammar grammar, std::string_view text) {
    switch (grammar) {
    case Grammar::version:
        return parse_version_syntax(text);
    case Grammar::semver:
        return parse_entry<VersionSyntax>(
            text, SemVer::qualified_name, [](auto& parser, VersionSyntax& out) {
                out.kind = Kind::semver;
                return semver_rule(parser, out.semver) && parser.end_of_input();
            });
    case Grammar::dot_separated:
        return parse_entry<VersionSyntax>(text, DotSeparated::qualified_name,
                                          [](auto& parser, VersionSyntax& out) {
                                              out.kind = Kind::dot_separated;
                                              grammar::dot_separated_list(parser);
                                              return parser.end_of_input();
                                          });
    case Grammar::other_as_is:
        break;
    }
    ParseResult<VersionSyntax> result;
    std::get<VersionSyntax>(result).kind = Kind::other;
    return result;
}

Version to_version(const VersionSyntax& syntax, std::string_view text) {
    switch (syntax.kind) {
    case Kind::semver:
        return Version{to_semver(syntax.semver)};
    case Kind::dot_separated:
        return Version{DotSeparated{split_list(text)}};
    case Kind::other:
        break;
    }
    return Version{Other{std::string(text)}};
}

ParseResult<Version> parse_version(std::string_view text) {
    auto parsed = parse_version_syntax(text);
    if (auto* syntax = std::get_if<VersionSyntax>(&parsed)) {
        return to_version(*syntax, text);
    }
    return std::get<ParseFailure>(parsed);
}

} // namespace tolvi::version

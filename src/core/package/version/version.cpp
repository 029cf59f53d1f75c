#include "core/package/version/version.hpp"

#include "core/package/version/scan.hpp"

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
    return parse_entry<VersionSyntax>(text, Version::qualified_name,
                                      [](auto& parser, VersionSyntax& out) {
                                          if (whole_semver(parser, out.semver)) {
                                              out.kind = Kind::semver;
                                              return true;
                                          }
                                          parser.rewind(0);
                                          if (whole_list(parser)) {
                                              out.kind = Kind::dot_separated;
                                              return true;
                                          }
                                          parser.rewind(0);
                                          out.kind = Kind::other;
                                          return identifier_rule(parser) && parser.end_of_input();
                                      });
}

ParseResult<VersionSyntax> parse_kind_syntax(Grammar grammar, std::string_view text) {
    switch (grammar) {
    case Grammar::version:
        return parse_version_syntax(text);
    case Grammar::semver:
        return parse_entry<VersionSyntax>(text, SemVer::qualified_name,
                                          [](auto& parser, VersionSyntax& out) {
                                              out.kind = Kind::semver;
                                              return whole_semver(parser, out.semver);
                                          });
    case Grammar::dot_separated:
        return parse_entry<VersionSyntax>(text, DotSeparated::qualified_name,
                                          [](auto& parser, VersionSyntax& out) {
                                              out.kind = Kind::dot_separated;
                                              return whole_list(parser);
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

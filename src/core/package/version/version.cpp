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

namespace {

// Runs `attempt` (a callable taking either parser and the syntax to fill, and
// telling whether it parsed) on the recogniser; if it fails, runs it again on
// the diagnosing parser and fails with its pending error. The syntax, or the
// failure, is written where the caller receives it and never copied: copying
// one just written costs more than reading it.
template <class Attempt>
ParseResult parse_entry(std::string_view text, std::string_view source_name, Attempt&& attempt) {
    ParseResult result;
    grammar::Recogniser fast(text);
    if (!attempt(fast, std::get<VersionSyntax>(result))) {
        grammar::DiagnosingParser diagnosing(text);
        VersionSyntax unused;
        attempt(diagnosing, unused);
        ParseFailure& failure = result.emplace<ParseFailure>();
        failure.source_name = source_name;
        diagnosing.errors().write_error(failure.error, text, diagnosing.position());
    }
    return result;
}

template <class Errors> bool whole_identifier(grammar::Parser<Errors>& parser) {
    return identifier_rule(parser) && parser.end_of_input();
}

} // namespace

ParseResult parse_version(std::string_view text) {
    return parse_entry(text, Version::kQualifiedName, [](auto& parser, VersionSyntax& out) {
        out.reads_as_version = true;
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
        return whole_identifier(parser);
    });
}

ParseResult parse_semver(std::string_view text) {
    return parse_entry(text, SemVer::kQualifiedName, [](auto& parser, VersionSyntax& out) {
        out.kind = Kind::semver;
        out.reads_as_version = true;
        return whole_semver(parser, out.semver);
    });
}

ParseResult parse_dot_separated(std::string_view text) {
    return parse_entry(text, DotSeparated::kQualifiedName, [](auto& parser, VersionSyntax& out) {
        out.kind = Kind::dot_separated;
        out.reads_as_version = false;
        return whole_list(parser);
    });
}

ParseResult parse_other(std::string_view text) {
    return parse_entry(text, Other::kQualifiedName, [](auto& parser, VersionSyntax& out) {
        out.kind = Kind::other;
        out.reads_as_version = false;
        return whole_identifier(parser);
    });
}

Version to_version(const VersionSyntax& syntax, std::string_view text) {
    switch (syntax.kind) {
    case Kind::semver:
        return Version{to_semver(syntax.semver)};
    case Kind::dot_separated:
        return Version{to_dot_separated(text)};
    case Kind::other:
        break;
    }
    return Version{to_other(text)};
}

} // namespace tolvi::version

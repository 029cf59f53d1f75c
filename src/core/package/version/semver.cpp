#include "core/package/version/semver.hpp"

#include "core/package/version/text_writer.hpp"

namespace tolvi::version {

bool operator==(const SemVer& a, const SemVer& b) noexcept {
    return a.major == b.major && a.minor == b.minor && a.patch == b.patch && a.rc == b.rc;
}

std::strong_ordering operator<=>(const SemVer& a, const SemVer& b) noexcept {
    return compare_semver(a, b);
}

std::size_t text_length(const SemVer& v) noexcept {
    std::size_t length = numbers_length(v.major, v.minor, v.patch);
    if (v.rc) {
        length += 1 + detail::joined_length(*v.rc);
    }
    if (v.meta) {
        length += 1 + detail::joined_length(*v.meta);
    }
    return length;
}

char* write_text(char* out, const SemVer& v) noexcept {
    out = write_numbers(out, v.major, v.minor, v.patch);
    if (v.rc) {
        *out++ = '-';
        out = detail::write_joined(out, *v.rc);
    }
    if (v.meta) {
        *out++ = '+';
        out = detail::write_joined(out, *v.meta);
    }
    return out;
}

void append_debug(std::string& out, const SemVer& v) {
    append_semver_debug(out, v);
}

template <class Errors> bool semver_rule(grammar::Parser<Errors>& parser, SemVerSyntax& out) {
    using grammar::Pattern;
    const std::size_t start = parser.position();
    const auto fail = [&] {
        parser.rewind(start);
        return false;
    };
    parser.literal('v', Pattern::V);
    if (!grammar::integer(parser, out.major) || !parser.literal('.', Pattern::Dot) ||
        !grammar::integer(parser, out.minor) || !parser.literal('.', Pattern::Dot) ||
        !grammar::integer(parser, out.patch)) {
        return fail();
    }
    out.rest = parser.position();
    out.rc.reset();
    out.meta.reset();
    if (parser.literal('-', Pattern::Dash)) {
        out.rc = grammar::dot_separated_list(parser);
    }
    if (parser.literal('+', Pattern::Plus)) {
        out.meta = grammar::dot_separated_list(parser);
    }
    return true;
}

template bool semver_rule(grammar::DiagnosingParser&, SemVerSyntax&);

SemVer to_semver(const SemVerSyntax& syntax) {
    SemVer v{syntax.major, syntax.minor, syntax.patch, std::nullopt, std::nullopt};
    if (syntax.rc) {
        v.rc = split_list(*syntax.rc);
    }
    if (syntax.meta) {
        v.meta = split_list(*syntax.meta);
    }
    return v;
}

} // namespace tolvi::version

#include "package/version/other.hpp"

#include "unicode/quoted.hpp"

namespace tolvi::version {

void append_debug(std::string& out, const Other& v) {
    out.append("Other { value: ");
    unicode::append_quoted(out, v.value);
    out.append(" }");
}

std::optional<Other> identifier_rule(grammar::Parser& parser) {
    const std::size_t start = parser.position();
    if (!parser.identifier_start()) {
        return std::nullopt;
    }
    while (parser.identifier_continuation()) {
    }
    return Other{std::string(parser.input().substr(start, parser.position() - start))};
}

ParseResult<Other> parse_other(std::string_view text) {
    grammar::Parser parser(text);
    if (auto v = identifier_rule(parser); v && parser.end_of_input()) {
        return std::move(*v);
    }
    return failure_message(parser, Other::qualified_name);
}

} // namespace tolvi::version

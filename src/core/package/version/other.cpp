#include "core/package/version/other.hpp"

#include "core/unicode/quoted.hpp"

namespace tolvi::version {

void append_other_debug(std::string& out, std::string_view value) {
    out.append(std::string_view("Other { value: "));
    unicode::append_quoted(out, value);
    out.append(std::string_view(" }"));
}

void append_debug(std::string& out, const Other& v) {
    append_other_debug(out, v.value);
}

template <class Errors>
std::optional<std::string_view> identifier_rule(grammar::Parser<Errors>& parser) {
    const std::size_t start = parser.position();
    if (!parser.identifier_start()) {
        return std::nullopt;
    }
    while (parser.identifier_continuation()) {
    }
    return parser.input().substr(start, parser.position() - start);
}

template std::optional<std::string_view> identifier_rule(grammar::Recogniser&);
template std::optional<std::string_view> identifier_rule(grammar::DiagnosingParser&);

} // namespace tolvi::version

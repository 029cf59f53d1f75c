#include "package/version/text_writer.hpp"

#include "unicode/quoted.hpp"

namespace tolvi::version::detail {

void append_debug_list(std::string& out, const Identifiers& items) {
    out.push_back('[');
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) {
            out.append(std::string_view(", "));
        }
        unicode::append_quoted(out, items[i]);
    }
    out.push_back(']');
}

void append_debug_optional_list(std::string& out, const std::optional<Identifiers>& items) {
    if (!items) {
        out.append(std::string_view("None"));
        return;
    }
    out.append(std::string_view("Some("));
    append_debug_list(out, *items);
    out.push_back(')');
}

} // namespace tolvi::version::detail

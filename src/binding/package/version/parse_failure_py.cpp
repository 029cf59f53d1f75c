#include "binding/package/version/parse_failure_py.hpp"

#include <string>

#include "binding/errors_py.hpp"
#include "binding/str_from_utf8_py.hpp"
#include "core/report/colour.hpp"
#include "core/report/render.hpp"

namespace tolvi::py {

std::nullptr_t raise_parse_failure(const version::ParseFailure& failure, std::string_view input) {
    const bool colour = report::colour_enabled();
    // The report is read once, into the message: it is laid out on the stack and
    // decoded from there, the decoding being its check of UTF-8. Only a long
    // report, or one that is not well-formed, is made a string.
    report::ReportBuffer buffer; // NOLINT(cppcoreguidelines-pro-type-member-init)
    if (const auto laid_out = report::lay_out_parse_error(buffer, failure.error, input,
                                                          failure.source_name, colour)) {
        if (auto text = str_from_decodable(*laid_out)) {
            return raise_builtin(PyExc_RuntimeError, std::move(*text));
        }
    }
    const std::string text =
        report::render_parse_error(failure.error, input, failure.source_name, colour);
    return raise_builtin(PyExc_RuntimeError, str_from_utf8(text));
}

} // namespace tolvi::py

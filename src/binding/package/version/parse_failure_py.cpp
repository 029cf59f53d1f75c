// The report of a failed parse as the exception that the constructors raise.
#include "binding/package/version/parse_failure_py.hpp"

#include "binding/errors_py.hpp"
#include "binding/to_python_str_py.hpp"
#include "core/report/colour.hpp"
#include "core/report/render.hpp"

#include <string>
#include <utility>

namespace tolvi::py {

void raise_report(const version::ParseFailure& failure, std::string_view utf8, PyObject*) {
    const bool colour = report::colour_enabled();
    // The report is read once, into the message: it is laid out on the stack and
    // decoded from there, the decoding being its check of UTF-8. Only a long
    // report, or one that is not well-formed, is made a string.
    report::ReportBuffer buffer; // NOLINT(cppcoreguidelines-pro-type-member-init)
    if (const auto laid_out =
            report::lay_out_parse_error(buffer, failure.error, utf8, failure.source_name, colour)) {
        if (auto text = to_python_str_ucs2(*laid_out)) {
            raise_builtin(PyExc_RuntimeError, std::move(*text));
            return;
        }
    }
    const std::string text =
        report::render_parse_error(failure.error, utf8, failure.source_name, colour);
    raise_builtin(PyExc_RuntimeError, to_python_str_wide(text));
}

} // namespace tolvi::py

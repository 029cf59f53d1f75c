#include "binding/package/version/parse_failure_py.hpp"

#include "binding/errors_py.hpp"
#include "core/report/colour.hpp"
#include "core/report/render.hpp"

namespace tolvi::py {

std::nullptr_t raise_parse_failure(const version::ParseFailure& failure, std::string_view input) {
    return raise(PyExc_RuntimeError,
                 report::render_parse_error(failure.error, input, failure.source_name,
                                            report::colour_enabled()));
}

} // namespace tolvi::py

#pragma once
#include <string_view>

#include "core/report/bounded_writer.hpp"
#include "core/report/parse_error.hpp"

namespace tolvi::report {

// Appends the report for `error` to `out`: seven lines, each ending with a line
// feed, that quote the first line of `input` under `source_name` and point at the
// error's span (bytes of `input`). With `colour` the same text carries ANSI SGR
// sequences.
void write_report(BoundedWriter& out, const ParseError& error, std::string_view input,
                  std::string_view source_name, bool colour);

} // namespace tolvi::report

#pragma once
#include <string_view>

#include "core/package/version/parser.hpp"
#include "core/package/version/scan.hpp"
#include "core/package/version/semver.hpp"

// Whether the one-pass scans read `text` exactly as the grammar rules, which
// the diagnosing parse runs, read it: the same answer, and for a semantic
// version the same fields.
inline bool scans_agree_with_rules(std::string_view text) {
    namespace v = tolvi::version;
    v::SemVerSyntax scanned;
    v::SemVerSyntax read;
    v::grammar::DiagnosingParser semver(text);
    const bool is_semver = v::semver_rule(semver, read) && semver.end_of_input();
    if (v::scan_semver(text, scanned) != is_semver) {
        return false;
    }
    if (is_semver && (scanned.major != read.major || scanned.minor != read.minor ||
                      scanned.patch != read.patch || scanned.rest != read.rest ||
                      scanned.rc != read.rc || scanned.meta != read.meta)) {
        return false;
    }
    v::grammar::DiagnosingParser list(text);
    v::grammar::dot_separated_list(list);
    return v::scan_list(text) == list.end_of_input();
}

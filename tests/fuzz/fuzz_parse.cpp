// libFuzzer harness for the Python-free core: every parse entry point, the text
// and debug forms, the ordering key and the report renderer, on arbitrary bytes.
//
// Built by CMake with TOLVI_BUILD_FUZZERS (clang, -fsanitize=fuzzer,address,undefined)
// and run by `make fuzz`, which CI runs too. Besides the sanitizers, it traps on any broken
// invariant below, each of which holds for every input of a correct model:
//
// - the one-pass scans that the value-only parses take read exactly what the
//   grammar rules read;
// - the four entry points agree: `parse_version` gives the first of the
//   semantic, dotted and identifier results that succeeds, and fails only when
//   all three fail;
// - a parsed value's text form parses again to the same value (build metadata
//   included), has the length `text_length` announces, and gives the same text;
// - the text and debug forms, and a failure report, are valid UTF-8 whenever
//   the input is; a report for valid UTF-8 input is a real report, not one of
//   the renderer's fallback messages, and its plain form is the coloured one
//   without the escape sequences;
// - the message a failed parse returns is the report rendered from the error
//   that the diagnosing parse records, coloured or plain;
// - for two parsed versions (the input split at its first line feed, or in
//   half when it has none), the ordering keys never contradict `<=>`, and equal
//   versions have equal keys.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "../cpp/packed_buffer.hpp"
#include "../cpp/scan_agreement.hpp"
#include "core/package/version/dot_separated.hpp"
#include "core/package/version/identical.hpp"
#include "core/package/version/ordering_key.hpp"
#include "core/package/version/other.hpp"
#include "core/package/version/parser.hpp"
#include "core/package/version/parses_back.hpp"
#include "core/package/version/semver.hpp"
#include "core/package/version/version.hpp"
#include "core/report/render.hpp"

namespace {

namespace v = tolvi::version;
namespace g = tolvi::version::grammar;

[[noreturn]] void violated(const char* what, std::string_view input) {
    std::fprintf(stderr, "\ninvariant violated: %s\ninput (%zu bytes):", what, input.size());
    for (const char c : input) {
        std::fprintf(stderr, " %02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    }
    std::fprintf(stderr, "\n");
    __builtin_trap();
}

#define CHECK(condition, input)                                                                    \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            violated(#condition, input);                                                           \
        }                                                                                          \
    } while (false)

// An independent strict UTF-8 check (no overlong forms, surrogates or values
// past U+10FFFF), so that the model's own check is not trusted here.
bool is_valid_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t cp = 0;
        std::uint32_t min = 0;
        if (b0 >= 0xC0 && b0 <= 0xDF) {
            length = 2;
            cp = b0 & 0x1Fu;
            min = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            cp = b0 & 0x0Fu;
            min = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF7) {
            length = 4;
            cp = b0 & 0x07u;
            min = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// The report with every SGR sequence (ESC '[' digits-and-semicolons 'm') removed.
std::string strip_sgr(std::string_view s) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\x1b' && i + 1 < s.size() && s[i + 1] == '[') {
            std::size_t j = i + 2;
            while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == ';')) {
                ++j;
            }
            if (j < s.size() && s[j] == 'm') {
                i = j + 1;
                continue;
            }
        }
        out.push_back(s[i]);
        ++i;
    }
    return out;
}

bool is_fallback(std::string_view report) {
    return report.starts_with("Failed to write error to string: ") ||
           report.starts_with("Invalid UTF-8 string: ");
}

// The diagnosing parse of each entry point, the way the entry point runs it
// after the error-free parse has failed.
template <class Attempt>
tolvi::report::ParseError diagnose(std::string_view text, Attempt&& attempt) {
    g::DiagnosingParser parser(text);
    attempt(parser);
    return parser.errors().error(parser.input(), parser.position());
}

tolvi::report::ParseError diagnose_semver(std::string_view text) {
    return diagnose(text, [](g::DiagnosingParser& p) {
        v::SemVerSyntax value;
        return v::semver_rule(p, value) && p.end_of_input();
    });
}

tolvi::report::ParseError diagnose_dot_separated(std::string_view text) {
    return diagnose(text, [](g::DiagnosingParser& p) {
        g::dot_separated_list(p);
        return p.end_of_input();
    });
}

tolvi::report::ParseError diagnose_other(std::string_view text) {
    return diagnose(text, [](g::DiagnosingParser& p) {
        auto value = v::identifier_rule(p);
        return value && p.end_of_input();
    });
}

tolvi::report::ParseError diagnose_version(std::string_view text) {
    return diagnose(text, [](g::DiagnosingParser& p) {
        if (v::SemVerSyntax value; v::semver_rule(p, value) && p.end_of_input()) {
            return true;
        }
        p.rewind(0);
        g::dot_separated_list(p);
        if (p.end_of_input()) {
            return true;
        }
        p.rewind(0);
        auto value = v::identifier_rule(p);
        return value && p.end_of_input();
    });
}

void check_failure(std::string_view input, bool valid, const v::ParseFailure& failure,
                   const tolvi::report::ParseError& error, std::string_view source_name) {
    CHECK(failure.source_name == source_name, input);
    const std::string message =
        tolvi::report::render_parse_error(failure.error, input, failure.source_name, false);
    CHECK(error.span_start <= error.span_end, input);
    CHECK(error.span_end <= input.size(), input);
    CHECK(!error.expected.empty(), input);

    const std::string coloured = tolvi::report::render_parse_error(error, input, source_name, true);
    const std::string plain = tolvi::report::render_parse_error(error, input, source_name, false);
    CHECK(message == coloured || message == plain, input);
    CHECK(is_valid_utf8(coloured), input);
    CHECK(is_valid_utf8(plain), input);
    CHECK(is_valid_utf8(message), input);
    if (valid) {
        CHECK(!is_fallback(coloured), input);
        CHECK(!is_fallback(plain), input);
        if (input.find('\x1b') == std::string_view::npos) {
            CHECK(plain.find('\x1b') == std::string::npos, input);
            CHECK(strip_sgr(coloured) == plain, input);
        }
    }
}

// The value of class T that an entry read, if it read one.
template <class T> std::optional<T> value_of(const v::ParseResult& parsed, std::string_view text) {
    const auto* syntax = std::get_if<v::VersionSyntax>(&parsed);
    if (syntax == nullptr) {
        return std::nullopt;
    }
    return v::to_value<T>(*syntax, text);
}

// What every parsed value must satisfy; `reparse` is the entry point that
// produced it.
template <class T>
void check_value(std::string_view input, bool valid, const T& value, v::ParseEntry reparse) {
    const std::string text = v::to_text(value);
    CHECK(text.size() == v::text_length(value), input);
    const std::string debug = v::to_debug(value);
    if (valid) {
        CHECK(is_valid_utf8(text), input);
        CHECK(is_valid_utf8(debug), input);
    }
    const std::vector<char> exact(text.begin(), text.end());
    const std::string_view exact_text(exact.data(), exact.size());
    const auto again = value_of<T>(reparse(exact_text), exact_text);
    CHECK(again.has_value(), input);
    const T& second = *again;
    CHECK(v::identical(value, second), input);
    CHECK(value == second, input);
    CHECK((value <=> second) == 0, input);
    CHECK(v::to_text(second) == text, input);
    CHECK(v::to_debug(second) == debug, input);
}

// A parsed version packs the same from what the grammar read as from the value,
// and the packed form gives back the value, its forms and its key.
void check_packed(std::string_view input, const v::VersionSyntax& syntax, const v::Version& value) {
    const PackedBuffer read(v::Packer(syntax, input));
    const PackedBuffer built{v::Packer(value)};
    CHECK(read.bytes == built.bytes, input);
    CHECK(read.header.text_size == built.header.text_size, input);
    CHECK(read.header.kind == built.header.kind, input);
    CHECK(read.header.flags == (built.header.flags | v::packed_flag::kParsesBack), input);
    const v::VersionView view = read.view();
    CHECK(view.size() == read.bytes.size(), input);
    CHECK(v::identical(v::unpack(view), value), input);
    CHECK(view.text() == v::to_text(value), input);
    CHECK(v::to_debug(view) == v::to_debug(value), input);
    CHECK(v::ordering_key(view) == v::ordering_key(value), input);
    CHECK(v::ordering_key(value) != 0, input); // 0 marks a key not computed yet
    CHECK(v::text_parses_back(built.view()), input);
}

// Parses one string through all four entry points and checks them; gives the
// Version, if any.
std::optional<v::Version> check_one(std::string_view input) {
    const bool valid = is_valid_utf8(input);
    CHECK(scans_agree_with_rules(input), input);

    const auto read_version = v::parse_version(input);
    const auto read_semver = v::parse_semver(input);
    const auto read_dotted = v::parse_dot_separated(input);
    const auto read_other = v::parse_other(input);
    auto version = value_of<v::Version>(read_version, input);
    const auto semver = value_of<v::SemVer>(read_semver, input);
    const auto dotted = value_of<v::DotSeparated>(read_dotted, input);
    const auto other = value_of<v::Other>(read_other, input);

    // parse_version is the first of the three kinds that succeeds.
    if (semver) {
        CHECK(version.has_value(), input);
        CHECK(std::holds_alternative<v::SemVer>(version->value), input);
        CHECK(v::identical(*semver, std::get<v::SemVer>(version->value)), input);
    } else if (dotted) {
        CHECK(version.has_value(), input);
        CHECK(std::holds_alternative<v::DotSeparated>(version->value), input);
        CHECK(*dotted == std::get<v::DotSeparated>(version->value), input);
    } else if (other) {
        CHECK(version.has_value(), input);
        CHECK(std::holds_alternative<v::Other>(version->value), input);
        CHECK(*other == std::get<v::Other>(version->value), input);
    } else {
        CHECK(!version.has_value(), input);
    }

    if (semver) {
        check_value(input, valid, *semver, v::parse_semver);
    } else {
        check_failure(input, valid, std::get<v::ParseFailure>(read_semver), diagnose_semver(input),
                      v::SemVer::kQualifiedName);
    }
    if (dotted) {
        check_value(input, valid, *dotted, v::parse_dot_separated);
    } else {
        check_failure(input, valid, std::get<v::ParseFailure>(read_dotted),
                      diagnose_dot_separated(input), v::DotSeparated::kQualifiedName);
    }
    if (other) {
        check_value(input, valid, *other, v::parse_other);
    } else {
        check_failure(input, valid, std::get<v::ParseFailure>(read_other), diagnose_other(input),
                      v::Other::kQualifiedName);
    }
    if (version) {
        check_value(input, valid, *version, v::parse_version);
        check_packed(input, std::get<v::VersionSyntax>(read_version), *version);
        const std::uint64_t key = v::ordering_key(*version);
        CHECK(v::compare_ordering_keys(key, key) != std::partial_ordering::less, input);
        CHECK(v::compare_ordering_keys(key, key) != std::partial_ordering::greater, input);
        return version;
    }
    check_failure(input, valid, std::get<v::ParseFailure>(read_version), diagnose_version(input),
                  v::Version::kQualifiedName);
    return std::nullopt;
}

void check_pair(std::string_view input, const v::Version& a, const v::Version& b) {
    const std::strong_ordering order = a <=> b;
    CHECK((a == b) == (order == 0), input);
    CHECK((PackedBuffer(v::Packer(a)).view() <=> PackedBuffer(v::Packer(b)).view()) == order,
          input);
    CHECK((b <=> a) == (0 <=> order), input);

    const std::uint64_t ka = v::ordering_key(a);
    const std::uint64_t kb = v::ordering_key(b);
    const std::partial_ordering hint = v::compare_ordering_keys(ka, kb);
    if (hint == std::partial_ordering::less) {
        CHECK(order < 0, input);
    } else if (hint == std::partial_ordering::greater) {
        CHECK(order > 0, input);
    } else if (hint == std::partial_ordering::equivalent) {
        CHECK(order == 0, input);
    }
    const std::partial_ordering reverse = v::compare_ordering_keys(kb, ka);
    CHECK((reverse == std::partial_ordering::unordered) ==
              (hint == std::partial_ordering::unordered),
          input);
    if (hint != std::partial_ordering::unordered) {
        CHECK((0 <=> reverse) == hint, input);
    }
    if (order == 0) {
        CHECK(ka == kb, input);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // libFuzzer hands over a buffer of exactly `size` bytes.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    check_one(input);

    // Two versions: the input split at its first line feed (which no version
    // holds), or in half when there is none.
    std::size_t split = input.find('\n');
    std::size_t rest = split + 1;
    if (split == std::string_view::npos) {
        split = size / 2;
        rest = split;
    }
    // Copies of their exact size, so that the address sanitizer sees a read past
    // the end of either half.
    const std::vector<char> first(input.begin(),
                                  input.begin() + static_cast<std::ptrdiff_t>(split));
    const std::vector<char> second(input.begin() + static_cast<std::ptrdiff_t>(rest), input.end());
    const auto a = check_one(std::string_view(first.data(), first.size()));
    const auto b = check_one(std::string_view(second.data(), second.size()));
    if (a && b) {
        check_pair(input, *a, *b);
        check_pair(input, *b, *a);
        check_pair(input, *a, *a);
    }
    return 0;
}

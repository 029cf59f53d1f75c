#pragma once
#include <optional>
#include <string_view>

namespace tolvi::report {

// What the colour decision looks at. An absent variable is nullopt, which is not
// the same as a variable set to the empty string.
struct ColourEnvironment {
    std::optional<std::string_view> clicolor_force;
    std::optional<std::string_view> clicolor;
    std::optional<std::string_view> no_color;
    std::optional<std::string_view> term;
    bool stderr_is_terminal = false;
};

// Whether reports are coloured in the given environment. Pure, so every
// combination can be tested without touching the process environment.
bool decide_colour(const ColourEnvironment& env) noexcept;

// The process-wide decision: taken from the real environment and standard error
// on the first call, then reused for the life of the process.
bool colour_enabled() noexcept;

} // namespace tolvi::report

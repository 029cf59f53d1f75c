#include "core/report/colour.hpp"

#include <atomic>
#include <cstdlib>
#include <unistd.h>

namespace tolvi::report {

namespace {

enum Decision : unsigned char { undecided, off, on };

// Several threads may render their first report at once; whichever stores its
// answer first wins and the others adopt it, so all reports of the process agree
// even if the environment changes in between.
constinit std::atomic<unsigned char> decision{undecided};

std::optional<std::string_view> variable(const char* name) noexcept {
    // getenv races only with changes to the environment, which the process makes
    // from Python under the interpreter lock that the caller holds.
    const char* value = std::getenv(name); // NOLINT(concurrency-mt-unsafe)
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string_view(value);
}

ColourEnvironment read_environment() noexcept {
    ColourEnvironment env;
    env.clicolor_force = variable("CLICOLOR_FORCE");
    env.clicolor = variable("CLICOLOR");
    env.no_color = variable("NO_COLOR");
    env.term = variable("TERM");
    env.stderr_is_terminal = ::isatty(STDERR_FILENO) == 1;
    return env;
}

} // namespace

bool decide_colour(const ColourEnvironment& env) noexcept {
    // A forced choice overrides everything, and only an explicit "0" withdraws it.
    if (env.clicolor_force && *env.clicolor_force != "0") {
        return true;
    }
    if (env.clicolor && *env.clicolor == "0") {
        return false;
    }
    // An empty NO_COLOR counts as unset.
    if (env.no_color && !env.no_color->empty()) {
        return false;
    }
    if (!env.term || *env.term == "dumb") {
        return false;
    }
    return env.stderr_is_terminal;
}

bool colour_enabled() noexcept {
    unsigned char current = decision.load(std::memory_order_acquire);
    if (current == undecided) {
        const unsigned char computed = decide_colour(read_environment()) ? on : off;
        // On failure `current` receives the answer another thread stored first.
        if (decision.compare_exchange_strong(current, computed, std::memory_order_acq_rel,
                                             std::memory_order_acquire)) {
            current = computed;
        }
    }
    return current == on;
}

} // namespace tolvi::report

#include "core/log/level.hpp"

namespace tolvi::log {

std::string_view level_text(Level level) noexcept {
    switch (level) {
    case Level::Trace:
        return "TRACE";
    case Level::Debug:
        return "DEBUG";
    case Level::Info:
        return " INFO";
    case Level::Warn:
        return " WARN";
    case Level::Error:
        return "ERROR";
    }
    return "?????";
}

} // namespace tolvi::log

#include "core/log/timestamp.hpp"

#include "core/digits.hpp"
#include <ctime>

namespace tolvi::log {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

struct CivilDate {
    std::int64_t year;
    unsigned month; // 1..12
    unsigned day;   // 1..31
};

// Proleptic Gregorian date of a day count since 1970-01-01, for any count that
// an int64 of seconds can produce (gmtime would give up on far-off years).
CivilDate civil_from_days(std::int64_t days) noexcept {
    days += 719468; // shift the epoch to 0000-03-01, the start of a 400-year era
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned shifted_month = (5 * day_of_year + 2) / 153; // March is 0
    const unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    const std::int64_t year =
        static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

void append_padded(std::string& out, std::uint64_t number, std::size_t width) {
    const Digits digits(number);
    if (digits.view().size() < width) {
        out.append(width - digits.view().size(), '0');
    }
    out.append(digits.view());
}

void append_year(std::string& out, std::int64_t year) {
    if (year > 9999) {
        out += '+';
    } else if (year < 0) {
        out += '-';
    }
    const std::uint64_t magnitude =
        year < 0 ? 0 - static_cast<std::uint64_t>(year) : static_cast<std::uint64_t>(year);
    append_padded(out, magnitude, 4);
}

} // namespace

std::optional<WallTime> system_time() noexcept {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return std::nullopt;
    }
    return WallTime{static_cast<std::int64_t>(now.tv_sec),
                    static_cast<std::uint32_t>(now.tv_nsec / 1000)};
}

void append_timestamp(std::string& out, std::optional<WallTime> time) {
    if (!time || time->microseconds >= 1'000'000) {
        out += "<unknown time>";
        return;
    }
    // Floor division, so that moments before 1970 fall on the right day.
    std::int64_t days = time->seconds / kSecondsPerDay;
    std::int64_t second_of_day = time->seconds % kSecondsPerDay;
    if (second_of_day < 0) {
        second_of_day += kSecondsPerDay;
        --days;
    }
    const CivilDate date = civil_from_days(days);
    append_year(out, date.year);
    out += '-';
    append_padded(out, date.month, 2);
    out += '-';
    append_padded(out, date.day, 2);
    out += 'T';
    append_padded(out, static_cast<std::uint64_t>(second_of_day / 3600), 2);
    out += ':';
    append_padded(out, static_cast<std::uint64_t>(second_of_day / 60 % 60), 2);
    out += ':';
    append_padded(out, static_cast<std::uint64_t>(second_of_day % 60), 2);
    out += '.';
    append_padded(out, time->microseconds, 6);
    out += 'Z';
}

} // namespace tolvi::log

#include "core/log/failure_report.hpp"
#include "core/log/log.hpp"
#include "core/log/record_format.hpp"
#include "core/log/thread_id.hpp"
#include "core/log/timestamp.hpp"
#include "core/stdout_writer.hpp"
#include "fd_redirect.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace tolvi::log;
using tolvi::WriteError;
using tolvi::testing::BrokenStdout;
using tolvi::testing::ClosedStdout;
using tolvi::testing::FdCapture;

// ---------------------------------------------------------------------------
// Descriptor and environment helpers

// Sets (or, with nullptr, removes) an environment variable for the guard's lifetime.
// The tests change the environment only while no other thread reads it.
// NOLINTBEGIN(concurrency-mt-unsafe)
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};
// NOLINTEND(concurrency-mt-unsafe)

// ---------------------------------------------------------------------------
// The default slot is filled once per process, so it is filled here, before any
// test runs, whether the tests share one process or each runs in its own. What
// the process looked like before that is kept for the tests to check.

struct BeforeInstall {
    std::uint64_t first_thread_id = 0;
    bool info_enabled = true;
    std::string output;
    std::optional<std::string_view> install_result = kAlreadySetText;
};
BeforeInstall before_install;

class InstallPlainSubscriber : public ::testing::Environment {
public:
    void SetUp() override {
        before_install.first_thread_id = current_thread_id();
        before_install.info_enabled = enabled(Level::Info);
        {
            FdCapture capture(STDOUT_FILENO);
            TOLVI_ERROR("app", {"message", "too early"});
            before_install.output = capture.finish();
        }
        const ScopedEnv no_color("NO_COLOR", "1");
        before_install.install_result = init_default_subscriber();
    }
};

// GoogleTest's way to register an environment without a main of our own; a
// failure this early ends the test run, as it should.
// NOLINTNEXTLINE(cert-err58-cpp)
[[maybe_unused]] ::testing::Environment* const install_environment =
    ::testing::AddGlobalTestEnvironment(new InstallPlainSubscriber);

// ---------------------------------------------------------------------------
// Formatting helpers

std::optional<WallTime> fixed_clock() noexcept {
    return WallTime{1796547907, 42311};
}
std::optional<WallTime> broken_clock() noexcept {
    return std::nullopt;
}

using SpanList = std::vector<std::shared_ptr<const SpanData>>;

std::shared_ptr<const SpanData> span_data(const RecordFormatter& formatter, std::string target,
                                          std::string name, std::span<const Field> fields = {}) {
    return std::make_shared<const SpanData>(SpanData{
        Level::Info, std::move(target), std::move(name), formatter.format_span_fields(fields)});
}

std::string record(const RecordFormatter& formatter, const Event& event, const SpanList& spans = {},
                   std::uint64_t thread_id = 1) {
    std::string out;
    formatter.format_event(out, event, spans, thread_id);
    return out;
}

std::string timestamp(std::optional<WallTime> time) {
    std::string out;
    append_timestamp(out, time);
    return out;
}

// Real records carry the current time; tests compare everything else.
std::string mask_timestamps(const std::string& text) {
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd.ddddddZ";
    const auto is_stamp = [&](std::size_t at) {
        if (text.size() - at < shape.size()) {
            return false;
        }
        for (std::size_t i = 0; i < shape.size(); ++i) {
            const char c = text[at + i];
            if (shape[i] == 'd' ? (c < '0' || c > '9') : c != shape[i]) {
                return false;
            }
        }
        return true;
    };
    std::string masked;
    for (std::size_t at = 0; at < text.size();) {
        if (is_stamp(at)) {
            masked += "<ts>";
            at += shape.size();
        } else {
            masked += text[at++];
        }
    }
    return masked;
}

std::string location(int line) {
    return std::string("    at ") + __FILE__ + ":" + std::to_string(line) + " on ThreadId(" +
           std::to_string(current_thread_id()) + ")\n";
}

// The records of a text, each without its closing empty line.
std::vector<std::string> split_records(const std::string& text) {
    std::vector<std::string> records;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\n\n", start);
        if (end == std::string::npos) {
            records.push_back(text.substr(start));
            break;
        }
        records.push_back(text.substr(start, end + 1 - start));
        start = end + 2;
    }
    return records;
}

const RecordFormatter plain(false, &fixed_clock);
const RecordFormatter styled(true, &fixed_clock);

// ---------------------------------------------------------------------------
// Timestamps

TEST(LogTimestamp, UtcWithMicroseconds) {
    EXPECT_EQ(timestamp(WallTime{1796547907, 42311}), "2026-12-06T09:05:07.042311Z");
    EXPECT_EQ(timestamp(WallTime{0, 0}), "1970-01-01T00:00:00.000000Z");
    EXPECT_EQ(timestamp(WallTime{1709251199, 999999}), "2024-02-29T23:59:59.999999Z");
    EXPECT_EQ(timestamp(WallTime{253402300799, 7}), "9999-12-31T23:59:59.000007Z");
}

TEST(LogTimestamp, YearsAboveNineThousandNineHundredNinetyNineGetAPlus) {
    EXPECT_EQ(timestamp(WallTime{253402300800, 0}), "+10000-01-01T00:00:00.000000Z");
    EXPECT_EQ(timestamp(WallTime{327416994855, 123456}), "+12345-06-07T13:14:15.123456Z");
}

TEST(LogTimestamp, EarlyYearsKeepFourDigits) {
    EXPECT_EQ(timestamp(WallTime{-1, 500000}), "1969-12-31T23:59:59.500000Z");
    EXPECT_EQ(timestamp(WallTime{-62135596800, 0}), "0001-01-01T00:00:00.000000Z");
}

TEST(LogTimestamp, UnusableTimeIsWrittenAsUnknown) {
    EXPECT_EQ(timestamp(std::nullopt), "<unknown time>");
    EXPECT_EQ(timestamp(WallTime{0, 1000000}), "<unknown time>");
}

TEST(LogTimestamp, SystemClockIsReadable) {
    const auto now = system_time();
    ASSERT_TRUE(now.has_value());
    EXPECT_GT(now->seconds, 1700000000);
    EXPECT_LT(now->microseconds, 1000000u);
}

// ---------------------------------------------------------------------------
// Record layout, plain

TEST(LogFormat, ExampleRecordInOneSpan) {
    const Field fields[] = {{"message", "saved"}, {"n", 3}};
    const Field span_fields[] = {{"id", 7}};
    const Event event{Level::Info, "app::io", "src/io", 42u, fields};
    EXPECT_EQ(record(plain, event, {span_data(plain, "app", "load", span_fields)}),
              "  2026-12-06T09:05:07.042311Z  INFO app::io: saved, n: 3\n"
              "    at src/io:42 on ThreadId(1)\n"
              "    in app::load with id: 7\n"
              "\n");
}

TEST(LogFormat, OutsideAnySpanThreeLines) {
    const Field fields[] = {{"message", "saved"}, {"n", 3}};
    const Event event{Level::Info, "app::io", "src/io", 42u, fields};
    EXPECT_EQ(record(plain, event, {}, 12),
              "  2026-12-06T09:05:07.042311Z  INFO app::io: saved, n: 3\n"
              "    at src/io:42 on ThreadId(12)\n"
              "\n");
}

TEST(LogFormat, SpansInnermostFirst) {
    const Field fields[] = {{"message", "step"}};
    const Field outer_fields[] = {{"id", 7}, {"name", "pkg"}};
    const Event event{Level::Warn, "app::io", "src/io", 9u, fields};
    const SpanList spans{span_data(plain, "app", "load", outer_fields),
                         span_data(plain, "app::parse", "token")};
    EXPECT_EQ(record(plain, event, spans), "  2026-12-06T09:05:07.042311Z  WARN app::io: step\n"
                                           "    at src/io:9 on ThreadId(1)\n"
                                           "    in app::parse::token\n"
                                           "    in app::load with id: 7, name: \"pkg\"\n"
                                           "\n");
}

TEST(LogFormat, WithoutSourceFile) {
    const Field fields[] = {{"message", "hello"}};
    EXPECT_EQ(record(plain, Event{Level::Error, "app", std::nullopt, std::nullopt, fields}, {}, 3),
              "  2026-12-06T09:05:07.042311Z ERROR app: hello\n"
              "    on ThreadId(3)\n"
              "\n");
    // A line number means nothing without its file.
    EXPECT_EQ(record(plain, Event{Level::Error, "app", std::nullopt, 5u, fields}, {}, 3),
              "  2026-12-06T09:05:07.042311Z ERROR app: hello\n"
              "    on ThreadId(3)\n"
              "\n");
}

TEST(LogFormat, SourceFileWithoutLine) {
    const Field fields[] = {{"message", "hello"}};
    EXPECT_EQ(record(plain, Event{Level::Info, "app", "lib.rs", std::nullopt, fields}),
              "  2026-12-06T09:05:07.042311Z  INFO app: hello\n"
              "    at lib.rs on ThreadId(1)\n"
              "\n");
}

TEST(LogFormat, LevelTexts) {
    EXPECT_EQ(level_text(Level::Trace), "TRACE");
    EXPECT_EQ(level_text(Level::Debug), "DEBUG");
    EXPECT_EQ(level_text(Level::Info), " INFO");
    EXPECT_EQ(level_text(Level::Warn), " WARN");
    EXPECT_EQ(level_text(Level::Error), "ERROR");
    const Event event{Level::Trace, "t", std::nullopt, std::nullopt, {}};
    EXPECT_EQ(record(plain, event), "  2026-12-06T09:05:07.042311Z TRACE t: \n"
                                    "    on ThreadId(1)\n"
                                    "\n");
}

TEST(LogFormat, FieldNamesAndMessage) {
    const Field fields[] = {{"log.target", "skipped"},   {"r#type", "semver"}, {"count", 2},
                            {"message", "read \"1.0\""}, {"log.line", 12},     {"ok", true}};
    const Event event{Level::Info, "app", std::nullopt, std::nullopt, fields};
    EXPECT_EQ(record(plain, event),
              "  2026-12-06T09:05:07.042311Z  INFO app: type: \"semver\", count: 2, read \"1.0\", "
              "ok: true\n"
              "    on ThreadId(1)\n"
              "\n");
}

TEST(LogFormat, ValueRenderings) {
    const Field fields[] = {
        {"text", "say \"hi\" C:\\dir\ttab\r\nnl"},
        {"nul", std::string_view("a\0b", 3)},
        {"unicode", "caf\u00e9 e\u0301 \u00a0\u00ad\u007f\ue000 it's"},
        {"negative", -5},
        {"unsigned", std::numeric_limits<std::uint64_t>::max()},
        {"lowest", std::numeric_limits<std::int64_t>::min()},
        {"no", false},
        {"half", 0.5},
        {"whole", 3.0},
        {"negative_zero", -0.0},
        {"tiny", 1.5e-7},
        {"huge", 1e16},
        {"nan", std::nan("")},
        {"infinite", -std::numeric_limits<double>::infinity()},
    };
    const Event event{Level::Info, "app", std::nullopt, std::nullopt, fields};
    EXPECT_EQ(record(plain, event),
              "  2026-12-06T09:05:07.042311Z  INFO app: "
              R"(text: "say \"hi\" C:\\dir\ttab\r\nnl", nul: "a\0b", )"
              "unicode: \"caf\u00e9 e\\u{301} \\u{a0}\\u{ad}\\u{7f}\\u{e000} it's\", "
              "negative: -5, unsigned: 18446744073709551615, lowest: -9223372036854775808, "
              "no: false, half: 0.5, whole: 3.0, negative_zero: -0.0, tiny: 1.5e-7, "
              "huge: 1e16, nan: NaN, infinite: -inf\n"
              "    on ThreadId(1)\n"
              "\n");
}

TEST(LogFormat, MessageIsWrittenAsItIs) {
    const Field fields[] = {{"message", "tab\there \"quoted\" \u00e9"}};
    const Event event{Level::Info, "app", std::nullopt, std::nullopt, fields};
    EXPECT_EQ(record(plain, event), "  2026-12-06T09:05:07.042311Z  INFO app: tab\there "
                                    "\"quoted\" \u00e9\n"
                                    "    on ThreadId(1)\n"
                                    "\n");
}

TEST(LogFormat, ManyFields) {
    const Field fields[] = {{"message", "resolved"},
                            {"package", "tolvi"},
                            {"major", 1},
                            {"minor", 2},
                            {"patch", 3},
                            {"pre", "rc.1"},
                            {"build", "b5"},
                            {"yanked", false},
                            {"score", 0.25},
                            {"deps", 14u},
                            {"delta", -3},
                            {"source", "index"}};
    const Event event{Level::Info, "app::resolve", "src/resolve.cpp", 120u, fields};
    EXPECT_EQ(record(plain, event, {}, 2),
              "  2026-12-06T09:05:07.042311Z  INFO app::resolve: resolved, package: \"tolvi\", "
              "major: 1, minor: 2, patch: 3, pre: \"rc.1\", build: \"b5\", yanked: false, "
              "score: 0.25, deps: 14, delta: -3, source: \"index\"\n"
              "    at src/resolve.cpp:120 on ThreadId(2)\n"
              "\n");
}

TEST(LogFormat, SpanWhoseFieldsAreAllHiddenHasNoWith) {
    const Field span_fields[] = {{"log.module_path", "x"}};
    const Event event{Level::Info, "app", std::nullopt, std::nullopt, {}};
    EXPECT_EQ(record(plain, event, {span_data(plain, "app", "quiet", span_fields)}),
              "  2026-12-06T09:05:07.042311Z  INFO app: \n"
              "    on ThreadId(1)\n"
              "    in app::quiet\n"
              "\n");
}

TEST(LogFormat, UnknownTimeKeepsTheRecord) {
    const RecordFormatter no_clock(false, &broken_clock);
    const Field fields[] = {{"message", "m"}};
    EXPECT_EQ(record(no_clock, Event{Level::Info, "app", std::nullopt, std::nullopt, fields}),
              "  <unknown time>  INFO app: m\n"
              "    on ThreadId(1)\n"
              "\n");
}

// ---------------------------------------------------------------------------
// Record layout, styled

TEST(LogFormatStyled, ExampleRecordInOneSpan) {
    const Field fields[] = {{"message", "saved"}, {"n", 3}};
    const Field span_fields[] = {{"id", 7}};
    const Event event{Level::Info, "app::io", "src/io", 42u, fields};
    EXPECT_EQ(record(styled, event, {span_data(styled, "app", "load", span_fields)}),
              "  \x1b[2m2026-12-06T09:05:07.042311Z\x1b[0m \x1b[32m INFO\x1b[0m "
              "\x1b[1;32mapp::io\x1b[0m: \x1b[32msaved, \x1b[1;32mn\x1b[0m\x1b[32m: 3\x1b[0m\n"
              "    \x1b[2;3mat\x1b[0m src/io:42 \x1b[2;3mon\x1b[0m ThreadId(1)\n"
              "    \x1b[2;3min\x1b[0m app::\x1b[1mload\x1b[0m \x1b[2;3mwith\x1b[0m "
              "\x1b[1mid\x1b[0m: 7\x1b[0m\n"
              "\n");
}

TEST(LogFormatStyled, LevelColours) {
    const struct {
        Level level;
        const char* colour;
        const char* text;
    } cases[] = {{Level::Trace, "35", "TRACE"},
                 {Level::Debug, "34", "DEBUG"},
                 {Level::Info, "32", " INFO"},
                 {Level::Warn, "33", " WARN"},
                 {Level::Error, "31", "ERROR"}};
    const Field fields[] = {{"k", 1}};
    for (const auto& c : cases) {
        const std::string colour = std::string("\x1b[") + c.colour + "m";
        const std::string bold = std::string("\x1b[1;") + c.colour + "m";
        // The expected record reads best as one concatenation.
        // NOLINTBEGIN(performance-inefficient-string-concatenation)
        EXPECT_EQ(record(styled, Event{c.level, "t", std::nullopt, std::nullopt, fields}),
                  "  \x1b[2m2026-12-06T09:05:07.042311Z\x1b[0m " + colour + c.text + "\x1b[0m " +
                      bold + "t\x1b[0m: " + colour + bold + "k\x1b[0m" + colour + ": 1\x1b[0m\n" +
                      "    \x1b[2;3mon\x1b[0m ThreadId(1)\n\n");
        // NOLINTEND(performance-inefficient-string-concatenation)
    }
}

TEST(LogFormatStyled, NoFieldsNoColourSequence) {
    const Event event{Level::Info, "app", std::nullopt, std::nullopt, {}};
    EXPECT_EQ(record(styled, event), "  \x1b[2m2026-12-06T09:05:07.042311Z\x1b[0m \x1b[32m "
                                     "INFO\x1b[0m \x1b[1;32mapp\x1b[0m: \n"
                                     "    \x1b[2;3mon\x1b[0m ThreadId(1)\n"
                                     "\n");
    EXPECT_EQ(styled.format_span_fields({}), "");
}

TEST(LogFormatStyled, UnknownTimeIsDimmedToo) {
    const RecordFormatter no_clock(true, &broken_clock);
    const Event event{Level::Info, "app", std::nullopt, std::nullopt, {}};
    EXPECT_TRUE(record(no_clock, event).starts_with("  \x1b[2m<unknown time>\x1b[0m "));
}

// ---------------------------------------------------------------------------
// Failure texts

TEST(LogFailureText, Texts) {
    EXPECT_EQ(unwritable_event_text(WriteError{EPIPE}),
              "[tracing-subscriber] Unable to write an event to the Writer for this Subscriber! "
              "Error: Broken pipe\n\n");
    EXPECT_EQ(unwritable_format_error_text(WriteError{EPIPE}),
              "[tracing-subscriber] Unable to write an \"event formatting error\" to the Writer "
              "for this Subscriber! Error: Broken pipe\n\n");
    const Field fields[] = {{"message", "saved"}, {"n", 3}};
    EXPECT_EQ(unformattable_event_text(Event{Level::Info, "app::io", "src/io", 42u, fields}),
              "Unable to format the following event. Name: event src/io:42; Fields: "
              "[\"message\", \"n\"]\n");
    EXPECT_EQ(unformattable_event_text(Event{Level::Info, "app", std::nullopt, std::nullopt, {}}),
              "Unable to format the following event. Name: event; Fields: []\n");
    const Field span_fields[] = {{"id", 7}};
    EXPECT_EQ(unformattable_span_text(Level::Warn, "app", "load", span_fields),
              "[tracing-subscriber] Unable to format the following event, ignoring: "
              "Attributes { level: WARN, target: \"app\", name: \"load\", fields: [\"id\"] }");
}

// ---------------------------------------------------------------------------
// Styling decision

TEST(LogNoColor, OnlyANonEmptyValidValueTurnsStylingOff) {
    EXPECT_FALSE(no_color_disables_styling(nullptr));
    EXPECT_FALSE(no_color_disables_styling(""));
    EXPECT_TRUE(no_color_disables_styling("1"));
    EXPECT_TRUE(no_color_disables_styling("0"));
    EXPECT_TRUE(no_color_disables_styling("caf\u00e9 \U0001F600"));
    EXPECT_FALSE(no_color_disables_styling("\xff"));
    EXPECT_FALSE(no_color_disables_styling("1\x80"));
    EXPECT_FALSE(no_color_disables_styling("\xc0\xaf"));         // overlong
    EXPECT_FALSE(no_color_disables_styling("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(no_color_disables_styling("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(no_color_disables_styling("\xe2\x82"));         // cut short
}

TEST(LogNoColor, BuildReadsTheEnvironment) {
    {
        const ScopedEnv env("NO_COLOR", "1");
        EXPECT_FALSE(Subscriber::build()->styled());
    }
    {
        const ScopedEnv env("NO_COLOR", "");
        EXPECT_TRUE(Subscriber::build()->styled());
    }
    {
        const ScopedEnv env("NO_COLOR", nullptr);
        EXPECT_TRUE(Subscriber::build()->styled());
    }
    {
        const ScopedEnv env("NO_COLOR", "\xff");
        EXPECT_TRUE(Subscriber::build()->styled());
    }
}

// A subscriber that is not installed still writes through the real writer when
// handed an event, which shows both decisions on descriptor 1.
TEST(LogNoColor, PlainAndStyledRecordsOnStdout) {
    const Field fields[] = {{"message", "saved"}, {"n", 3}};
    const Event event{Level::Info, "app::io", "src/io", 42u, fields};
    const std::string id = std::to_string(current_thread_id());
    std::unique_ptr<Subscriber> unstyled;
    std::unique_ptr<Subscriber> coloured;
    {
        const ScopedEnv env("NO_COLOR", "1");
        unstyled = Subscriber::build();
    }
    {
        const ScopedEnv env("NO_COLOR", "");
        coloured = Subscriber::build();
    }

    FdCapture plain_capture(STDOUT_FILENO);
    unstyled->on_event(event);
    const std::string plain_text = plain_capture.finish();
    EXPECT_EQ(plain_text.find('\x1b'), std::string::npos);
    EXPECT_EQ(mask_timestamps(plain_text), "  <ts>  INFO app::io: saved, n: 3\n"
                                           "    at src/io:42 on ThreadId(" +
                                               id + ")\n\n");

    FdCapture styled_capture(STDOUT_FILENO);
    coloured->on_event(event);
    EXPECT_EQ(mask_timestamps(styled_capture.finish()),
              "  \x1b[2m<ts>\x1b[0m \x1b[32m INFO\x1b[0m \x1b[1;32mapp::io\x1b[0m: "
              "\x1b[32msaved, \x1b[1;32mn\x1b[0m\x1b[32m: 3\x1b[0m\n"
              "    \x1b[2;3mat\x1b[0m src/io:42 \x1b[2;3mon\x1b[0m ThreadId(" +
                  id + ")\n\n");
}

// ---------------------------------------------------------------------------
// The installed subscriber

TEST(LogInstalled, NothingIsEnabledBeforeInstall) {
    EXPECT_FALSE(before_install.info_enabled);
    EXPECT_EQ(before_install.output, "");
    EXPECT_FALSE(before_install.install_result.has_value());
}

TEST(LogInstalled, InstalledTwiceIsRefused) {
    ASSERT_NE(default_subscriber(), nullptr);
    const Subscriber* first = default_subscriber();
    {
        const ScopedEnv env("NO_COLOR", "");
        const auto refused = init_default_subscriber();
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(*refused, "a global default trace dispatcher has already been set");
    }
    const auto again = install_default(std::make_unique<Subscriber>(RecordFormatter(true)));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, "a global default trace dispatcher has already been set");
    EXPECT_EQ(default_subscriber(), first);

    // The first subscriber keeps the styling it was built with.
    const ScopedEnv env("NO_COLOR", "");
    FdCapture capture(STDOUT_FILENO);
    TOLVI_INFO("app", {"message", "still plain"});
    const std::string text = capture.finish();
    EXPECT_NE(text.find("still plain"), std::string::npos);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

TEST(LogInstalled, RacingInstallsAreAllRefused) {
    constexpr int kThreads = 8;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    std::atomic<int> refused{0};
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            if (init_default_subscriber() == kAlreadySetText) {
                ++refused;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(refused, kThreads);
}

TEST(LogInstalled, InfoOutsideAnySpan) {
    FdCapture capture(STDOUT_FILENO);
    const int line = __LINE__ + 1;
    TOLVI_INFO("app::io", {"message", "saved"}, {"n", 3});
    EXPECT_EQ(mask_timestamps(capture.finish()),
              "  <ts>  INFO app::io: saved, n: 3\n" + location(line) + "\n");
}

TEST(LogInstalled, InsideOneAndTwoSpans) {
    FdCapture capture(STDOUT_FILENO);
    int lines[5];
    {
        const Span load(Level::Info, "app", "load", {{"id", 7}});
        ASSERT_TRUE(load.is_enabled());
        const auto in_load = load.enter();
        lines[0] = __LINE__ + 1;
        TOLVI_INFO("app::io", {"message", "one"});
        {
            const Span parse(Level::Warn, "app::parse", "token");
            const auto in_parse = parse.enter();
            lines[1] = __LINE__ + 1;
            TOLVI_WARN("app::io", {"message", "two"});
            {
                // Below the threshold: the span is disabled and never named.
                const Span hidden(Level::Debug, "app", "hidden", {{"x", 1}});
                EXPECT_FALSE(hidden.is_enabled());
                const auto in_hidden = hidden.enter();
                lines[2] = __LINE__ + 1;
                TOLVI_ERROR("app::io", {"message", "three"});
            }
        }
        lines[3] = __LINE__ + 1;
        TOLVI_INFO("app::io", {"message", "four"});
    }
    lines[4] = __LINE__ + 1;
    TOLVI_INFO("app::io", {"message", "five"});

    const std::string in_load = "    in app::load with id: 7\n";
    const std::string in_parse = "    in app::parse::token\n";
    EXPECT_EQ(mask_timestamps(capture.finish()),
              "  <ts>  INFO app::io: one\n" + location(lines[0]) + in_load + "\n" +
                  "  <ts>  WARN app::io: two\n" + location(lines[1]) + in_parse + in_load + "\n" +
                  "  <ts> ERROR app::io: three\n" + location(lines[2]) + in_parse + in_load + "\n" +
                  "  <ts>  INFO app::io: four\n" + location(lines[3]) + in_load + "\n" +
                  "  <ts>  INFO app::io: five\n" + location(lines[4]) + "\n");
}

TEST(LogInstalled, GuardsMayEndOutOfOrder) {
    auto outer = std::make_unique<Span>(Level::Info, "app", "outer");
    const Span inner(Level::Info, "app", "inner");
    auto in_outer = std::make_unique<EnteredSpan>(outer->enter());
    const auto in_inner = inner.enter();
    in_outer.reset();
    outer.reset(); // the entered span outlives its Span object
    ASSERT_EQ(entered_spans().size(), 1u);
    EXPECT_EQ(entered_spans()[0]->name, "inner");
}

TEST(LogInstalled, DisabledSpanEntersNothing) {
    const Span none;
    EXPECT_FALSE(none.is_enabled());
    const auto entered = none.enter();
    EXPECT_TRUE(entered_spans().empty());
}

TEST(LogInstalled, DebugAndTraceAreDroppedBeforeFormatting) {
    EXPECT_TRUE(enabled(Level::Info));
    EXPECT_TRUE(enabled(Level::Error));
    EXPECT_FALSE(enabled(Level::Debug));
    EXPECT_FALSE(enabled(Level::Trace));

    int built = 0;
    const auto count = [&built] { return ++built; };
    FdCapture capture(STDOUT_FILENO);
    TOLVI_DEBUG("app", {"message", "hidden"}, {"n", count()});
    TOLVI_TRACE("app", {"message", "hidden"}, {"n", count()});
    const Field fields[] = {{"message", "hidden"}};
    dispatch(Event{Level::Debug, "app", std::nullopt, std::nullopt, fields});
    EXPECT_EQ(capture.finish(), "");
    EXPECT_EQ(built, 0);
}

TEST(LogInstalled, WithoutSourceFile) {
    FdCapture capture(STDOUT_FILENO);
    const Field fields[] = {{"message", "bare"}, {"k", "v"}};
    dispatch(Event{Level::Info, "app", std::nullopt, std::nullopt, fields});
    EXPECT_EQ(mask_timestamps(capture.finish()),
              "  <ts>  INFO app: bare, k: \"v\"\n    on ThreadId(" +
                  std::to_string(current_thread_id()) + ")\n\n");
}

TEST(LogInstalled, QuotedFieldValues) {
    FdCapture capture(STDOUT_FILENO);
    const int line = __LINE__ + 1;
    TOLVI_INFO("app", {"path", "C:\\v\"1\"\n"}, {"name", "\u00e9t\u00e9 e\u0301\x01"});
    EXPECT_EQ(mask_timestamps(capture.finish()),
              "  <ts>  INFO app: path: \"C:\\\\v\\\"1\\\"\\n\", name: \"\u00e9t\u00e9 "
              "e\\u{301}\\u{1}\"\n" +
                  location(line) + "\n");
}

TEST(LogInstalled, ThreadIdsStartAtOneAndAreNeverReused) {
    EXPECT_EQ(before_install.first_thread_id, 1u);
    EXPECT_EQ(current_thread_id(), current_thread_id());
    std::vector<std::uint64_t> ids{current_thread_id()};
    for (int i = 0; i < 3; ++i) {
        std::thread([&ids] { ids.push_back(current_thread_id()); }).join();
    }
    for (std::size_t i = 1; i < ids.size(); ++i) {
        EXPECT_GT(ids[i], ids[i - 1]);
    }
}

TEST(LogInstalled, TwoThreadsHaveDifferentThreadIds) {
    FdCapture capture(STDOUT_FILENO);
    TOLVI_INFO("app", {"message", "main"});
    std::uint64_t other_id = 0;
    std::thread([&other_id] {
        other_id = current_thread_id();
        TOLVI_INFO("app", {"message", "other"});
    }).join();
    const auto records = split_records(capture.finish());
    ASSERT_EQ(records.size(), 2u);
    const std::string main_id = "ThreadId(" + std::to_string(current_thread_id()) + ")";
    const std::string other = "ThreadId(" + std::to_string(other_id) + ")";
    EXPECT_NE(main_id, other);
    EXPECT_NE(records[0].find(main_id), std::string::npos);
    EXPECT_NE(records[1].find(other), std::string::npos);
}

TEST(LogInstalled, RecordsFromThreadsNeverInterleave) {
    constexpr int kThreads = 6;
    constexpr int kRecordsPerThread = 50;
    FdCapture capture(STDOUT_FILENO);
    std::vector<std::uint64_t> ids(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &ids] {
            ids[t] = current_thread_id();
            const Span work(Level::Info, "app", "work", {{"worker", t}});
            const auto entered = work.enter();
            const std::string message(3000, static_cast<char>('a' + t));
            for (int i = 0; i < kRecordsPerThread; ++i) {
                TOLVI_INFO("app", {"message", message}, {"i", i});
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto records = split_records(capture.finish());
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads * kRecordsPerThread));
    for (const std::string& text : records) {
        const std::size_t start = text.find("app: ") + 5;
        ASSERT_NE(start, std::string::npos + 5);
        const char letter = text[start];
        ASSERT_TRUE(letter >= 'a' && letter < 'a' + kThreads) << text.substr(0, 80);
        const int t = letter - 'a';
        EXPECT_EQ(text.substr(start, 3000), std::string(3000, letter));
        EXPECT_NE(text.find(" on ThreadId(" + std::to_string(ids[t]) + ")\n"), std::string::npos);
        EXPECT_TRUE(text.ends_with("    in app::work with worker: " + std::to_string(t) + "\n"));
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    }
}

TEST(LogInstalled, BrokenStdoutIsReportedOnStderr) {
    FdCapture errors(STDERR_FILENO);
    bool went_on = false;
    {
        const BrokenStdout broken;
        TOLVI_INFO("app", {"message", "lost"});
        went_on = true;
    }
    EXPECT_TRUE(went_on);
    EXPECT_EQ(errors.finish(), "[tracing-subscriber] Unable to write an event to the Writer for "
                               "this Subscriber! Error: Broken pipe\n\n");

    FdCapture capture(STDOUT_FILENO);
    TOLVI_INFO("app", {"message", "after"});
    EXPECT_NE(capture.finish().find("app: after\n"), std::string::npos);
}

TEST(LogInstalled, ClosedStdoutDropsRecordsSilently) {
    FdCapture errors(STDERR_FILENO);
    {
        const ClosedStdout closed;
        TOLVI_ERROR("app", {"message", "nobody listens"});
    }
    EXPECT_EQ(errors.finish(), "");
}

} // namespace

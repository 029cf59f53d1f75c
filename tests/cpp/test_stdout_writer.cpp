#include "core/stdout_writer.hpp"
#include "fd_redirect.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using tolvi::lock_stdout;
using tolvi::stdout_failure_message;
using tolvi::write_stdout;
using tolvi::WriteError;
using tolvi::testing::BrokenStdout;
using tolvi::testing::ClosedStdout;
using tolvi::testing::FdCapture;

TEST(StdoutWriter, WritesTheTextToDescriptorOne) {
    FdCapture capture(STDOUT_FILENO);
    EXPECT_FALSE(write_stdout("Got version: 1.0\n").has_value());
    EXPECT_FALSE(write_stdout("").has_value());
    EXPECT_FALSE(write_stdout("second\n").has_value());
    EXPECT_EQ(capture.finish(), "Got version: 1.0\nsecond\n");
}

TEST(StdoutWriter, ClosedDescriptorCountsAsDone) {
    std::optional<WriteError> error;
    {
        const ClosedStdout closed;
        error = write_stdout("dropped\n");
    }
    EXPECT_FALSE(error.has_value());
}

TEST(StdoutWriter, BrokenPipeIsReturnedAsAnError) {
    std::optional<WriteError> error;
    {
        const BrokenStdout broken;
        error = write_stdout("lost\n");
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, EPIPE);
    EXPECT_EQ(error->description(), "Broken pipe");
    EXPECT_EQ(stdout_failure_message(*error), "failed printing to stdout: Broken pipe");
}

TEST(StdoutWriter, ErrorDescriptions) {
    EXPECT_EQ(WriteError{EBADF}.description(), "Bad file descriptor");
    EXPECT_EQ(WriteError{0}.description(), "failed to write whole buffer");
    EXPECT_FALSE(WriteError{99999}.description().empty());
}

extern "C" void ignore_signal(int) {}

// A writer blocked on a full pipe is hit by signals whose handler does not ask
// for restarts: each one ends the write(2) early, with a partial count or EINTR.
TEST(StdoutWriter, InterruptedAndPartialWritesAreCompleted) {
    struct sigaction action {};
    action.sa_handler = ignore_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    std::string text;
    for (int i = 0; text.size() < (4u << 20); ++i) {
        text += "line " + std::to_string(i) + " of an interrupted write\n";
    }

    ASSERT_EQ(std::fflush(stdout), 0);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(ends[1], STDOUT_FILENO);
    ::close(ends[1]);

    // A full pipe makes the first write(2) block before it has written anything,
    // so the first signals end it with EINTR rather than a partial count.
    std::string filler;
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    ::fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
    while (::write(STDOUT_FILENO, "f", 1) == 1) {
        filler += 'f';
    }
    ::fcntl(STDOUT_FILENO, F_SETFL, flags);

    std::atomic<bool> done{false};
    std::optional<WriteError> error;
    std::thread writer([&] {
        error = write_stdout(text);
        done = true;
        // Drops the pipe's last write end, so the reader below sees end of file.
        ::dup2(saved, STDOUT_FILENO);
    });

    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pthread_kill(writer.native_handle(), SIGUSR1);
    }

    std::string received;
    char chunk[4096];
    for (;;) {
        if (!done) {
            pthread_kill(writer.native_handle(), SIGUSR1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const ssize_t n = ::read(ends[0], chunk, sizeof chunk);
        if (n > 0) {
            received.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    writer.join();
    ::close(saved);
    ::close(ends[0]);
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_FALSE(error.has_value());
    EXPECT_TRUE(received == filler + text);
}

// Lines longer than the pipe's atomic write size would interleave without the lock.
TEST(StdoutWriter, LinesFromThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLinesPerThread = 20;
    constexpr std::size_t kLineLength = 20000;

    FdCapture capture(STDOUT_FILENO);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string line = std::string(kLineLength, static_cast<char>('a' + t)) + '\n';
            for (int i = 0; i < kLinesPerThread; ++i) {
                EXPECT_FALSE(write_stdout(line).has_value());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const std::string& text = capture.finish();

    ASSERT_EQ(text.size(), (kLineLength + 1) * kThreads * kLinesPerThread);
    int lines = 0;
    for (std::size_t start = 0; start < text.size(); start += kLineLength + 1) {
        const std::string_view line(text.data() + start, kLineLength + 1);
        ASSERT_EQ(line.back(), '\n');
        ASSERT_EQ(line.find_first_not_of(line.front()), kLineLength) << "line " << lines;
        ++lines;
    }
    EXPECT_EQ(lines, kThreads * kLinesPerThread);
}

// The lock is reentrant and keeps other threads out for as long as it is held.
TEST(StdoutWriter, HeldLockKeepsOtherWritersOut) {
    FdCapture capture(STDOUT_FILENO);
    std::atomic<bool> other_started{false};
    std::thread other;
    {
        const auto lock = lock_stdout();
        EXPECT_FALSE(write_stdout("first\n").has_value());
        other = std::thread([&] {
            other_started = true;
            EXPECT_FALSE(write_stdout("other\n").has_value());
        });
        while (!other_started) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(write_stdout("second\n").has_value());
    }
    other.join();
    EXPECT_EQ(capture.finish(), "first\nsecond\nother\n");
}

} // namespace

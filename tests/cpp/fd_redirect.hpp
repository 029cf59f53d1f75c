#pragma once
// Redirections of the process's standard output for tests that check what the
// extension writes to descriptor 1 itself.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

namespace tolvi::testing {

// Points a descriptor at a pipe and collects everything written to it until finish().
class FdCapture {
public:
    explicit FdCapture(int fd) : fd_(fd) {
        EXPECT_EQ(std::fflush(nullptr), 0);
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        saved_ = ::dup(fd_);
        ::dup2(ends[1], fd_);
        ::close(ends[1]);
        read_end_ = ends[0];
        reader_ = std::thread([this] {
            char chunk[65536];
            for (;;) {
                const ssize_t n = ::read(read_end_, chunk, sizeof chunk);
                if (n > 0) {
                    text_.append(chunk, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    break;
                }
            }
        });
    }
    FdCapture(const FdCapture&) = delete;
    FdCapture& operator=(const FdCapture&) = delete;
    ~FdCapture() { finish(); }

    // Restores the descriptor and returns what was written meanwhile.
    const std::string& finish() {
        if (saved_ >= 0) {
            EXPECT_EQ(std::fflush(nullptr), 0);
            ::dup2(saved_, fd_); // drops the last write end: the reader sees end of file
            ::close(saved_);
            saved_ = -1;
            reader_.join();
            ::close(read_end_);
        }
        return text_;
    }

private:
    int fd_;
    int saved_ = -1;
    int read_end_ = -1;
    std::thread reader_;
    std::string text_;
};

// Standard output closed for the guard's lifetime.
class ClosedStdout {
public:
    ClosedStdout() : saved_(::dup(STDOUT_FILENO)) {
        EXPECT_EQ(std::fflush(stdout), 0);
        ::close(STDOUT_FILENO);
    }
    ~ClosedStdout() {
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
    ClosedStdout(const ClosedStdout&) = delete;
    ClosedStdout& operator=(const ClosedStdout&) = delete;

private:
    int saved_;
};

// Standard output going into a pipe that nobody reads any more.
class BrokenStdout {
public:
    BrokenStdout() : saved_(::dup(STDOUT_FILENO)) {
        EXPECT_NE(std::signal(SIGPIPE, SIG_IGN), SIG_ERR);
        EXPECT_EQ(std::fflush(stdout), 0);
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        ::close(ends[0]);
        ::dup2(ends[1], STDOUT_FILENO);
        ::close(ends[1]);
    }
    ~BrokenStdout() {
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
    BrokenStdout(const BrokenStdout&) = delete;
    BrokenStdout& operator=(const BrokenStdout&) = delete;

private:
    int saved_;
};

} // namespace tolvi::testing

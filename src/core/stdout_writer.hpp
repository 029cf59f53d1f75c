#pragma once
// The extension's own writer for the process's standard output. Lines go to file
// descriptor 1 directly, never through Python's sys.stdout, and one process-wide
// reentrant lock keeps each line (or log record) whole when threads race.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tolvi {

// A write that failed for a reason other than a closed descriptor.
struct WriteError {
    // The errno of the failed write(2); 0 when the system accepted no bytes
    // without reporting an error.
    int code = 0;

    // The operating system's description of the error, e.g. "Broken pipe".
    std::string description() const;
};

// "failed printing to stdout: " followed by the error's description: the message
// the Python layer raises when a line of test_function cannot be written.
std::string stdout_failure_message(const WriteError& error);

// Writes all of `text` to descriptor `fd`, repeating interrupted and partial
// writes. A descriptor that is not open (EBADF) counts as success, so a process
// without that stream drops the text silently. Takes no lock.
std::optional<WriteError> write_all(int fd, std::string_view text) noexcept;

// Writes all of `text` to standard output while holding the stdout lock, so the
// text never interleaves with another thread's text. Texts end with a line feed
// and are written at once; nothing is kept back in a buffer.
std::optional<WriteError> write_stdout(std::string_view text) noexcept;

// Holds the stdout lock across several writes. The lock is reentrant, so
// write_stdout may be called while holding it.
[[nodiscard]] std::unique_lock<std::recursive_mutex> lock_stdout();

} // namespace tolvi

#include "core/stdout_writer.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace tolvi {

namespace {

// Deliberately never destroyed: a thread may still print while the process
// runs its exit-time destructors.
std::recursive_mutex& stdout_mutex() {
    static auto* const mutex = new std::recursive_mutex;
    return *mutex;
}

// strerror_r comes in a GNU flavour (returns the text) and an XSI flavour
// (fills the buffer); overloads pick whichever the C library declares. Windows'
// C runtime has strerror_s instead, which fills the buffer as the XSI one does.
[[maybe_unused]] const char* strerror_result(const char* text, const char*) {
    return text;
}
[[maybe_unused]] const char* strerror_result(int rc, const char* buffer) {
    return rc == 0 ? buffer : nullptr;
}

} // namespace

std::string WriteError::description() const {
    if (code == 0) {
        return "failed to write whole buffer";
    }
    char buffer[256] = {};
#ifdef _WIN32
    const char* text = strerror_result(strerror_s(buffer, sizeof buffer, code), buffer);
#else
    const char* text = strerror_result(strerror_r(code, buffer, sizeof buffer), buffer);
#endif
    if (text == nullptr || *text == '\0') {
        return "Unknown error " + std::to_string(code);
    }
    return text;
}

std::string stdout_failure_message(const WriteError& error) {
    return "failed printing to stdout: " + error.description();
}

std::optional<WriteError> write_all(int fd, std::string_view text) noexcept {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written == 0) {
            return WriteError{0};
        }
        const int code = errno;
        if (code == EINTR) {
            continue;
        }
        if (code == EBADF) {
            return std::nullopt;
        }
        return WriteError{code};
    }
    return std::nullopt;
}

std::optional<WriteError> write_stdout(std::string_view text) noexcept {
    try {
        const std::lock_guard<std::recursive_mutex> lock(stdout_mutex());
        return write_all(STDOUT_FILENO, text);
    } catch (const std::system_error& error) {
        // Only locking can throw here (the recursion limit of the mutex).
        return WriteError{error.code().value()};
    }
}

std::unique_lock<std::recursive_mutex> lock_stdout() {
    return std::unique_lock<std::recursive_mutex>(stdout_mutex());
}

} // namespace tolvi

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvi::report {

// Writes report text, wrapping painted pieces in ANSI SGR sequences when colour
// is on. With colour off painted and plain pieces come out alike, which keeps the
// plain and coloured layouts one piece of code.
class Painter {
public:
    Painter(std::string& out, bool colour) noexcept : out_(out), colour_(colour) {}

    void plain(std::string_view text);
    void spaces(std::size_t count);
    void red(std::string_view text);
    void palette(std::uint8_t index, std::string_view text);

private:
    void reset();

    std::string& out_;
    bool colour_;
};

} // namespace tolvi::report

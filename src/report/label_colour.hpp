#pragma once
#include <cstdint>

namespace tolvi::report {

// Hands out the 256-colour palette indexes of a report's labels, one per label in
// order. Each report starts a fresh generator, so the first label of every report
// gets the same colour (201).
class LabelColourGenerator {
public:
    std::uint8_t next() noexcept;

private:
    std::uint16_t state_[3] = {30000, 15000, 35000};
};

} // namespace tolvi::report

#pragma once
#include <cstdint>

namespace tolvi::report {

// Hands out the 256-colour palette indexes of a report's labels, one per label in
// order. Each report starts a fresh generator, so the first label of every report
// gets the same colour (201). Constant-evaluable, so that a report with its one
// label has the colour decided at compile time.
class LabelColourGenerator {
public:
    constexpr std::uint8_t next() noexcept {
        // Single precision on purpose: v is truncated, so a sum computed more
        // precisely could fall on the other side of an integer and change the colour.
        float v = 0.0f;
        for (int i = 0; i < 3; ++i) {
            state_[i] = static_cast<std::uint16_t>(state_[i] + kSteps[i]);
            const float share = static_cast<float>(state_[i]) / 65535.0f;
            v += kWeights[i] * (kMinBrightness + (1.0f - kMinBrightness) * share);
        }
        unsigned whole = 0;
        if (v >= 255.0f) {
            whole = 255;
        } else if (v > 0.0f) {
            whole = static_cast<unsigned>(v);
        }
        return static_cast<std::uint8_t>((kPaletteCubeStart + whole) % 256);
    }

private:
    static constexpr std::uint16_t kSteps[3] = {24262, 55202, 20606};
    // 180, 30 and 5 are five times the place values 36, 6 and 1 of the palette's
    // 6x6x6 colour cube, so the three state words roughly pick red, green and blue;
    // the minimum brightness keeps every channel in the upper half.
    static constexpr float kWeights[3] = {180.0f, 30.0f, 5.0f};
    static constexpr float kMinBrightness = 0.5f;
    static constexpr unsigned kPaletteCubeStart = 16;

    std::uint16_t state_[3] = {30000, 15000, 35000};
};

} // namespace tolvi::report

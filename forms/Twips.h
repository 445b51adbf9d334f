// Twips, the unit of every length the windows set: 15 to a logical pixel at 96 dpi.
#pragma once

#include <cmath>

namespace forms {

inline constexpr float TwipsPerPixel = 15.0f;

// Whole pixels for a length in twips; a half goes to the even neighbour.
inline int ToPixels(float twips) {
    return static_cast<int>(std::lrint(twips / TwipsPerPixel));
}
inline float ToTwips(int pixels) {
    return static_cast<float>(pixels) * TwipsPerPixel;
}

// A computed length rounded to whole twips, a half going to the even neighbour.
inline float RoundTwips(float twips) {
    return std::nearbyint(twips);
}

} // namespace forms

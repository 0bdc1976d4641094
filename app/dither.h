#pragma once
// The window's background: 256 horizontal bands from white at the top to light blue at the bottom.

#include <cstdint>

namespace ledrana {

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

inline constexpr int kDitherBands = 256;

// Colour of band i (0 top ... 255 bottom): red 255 - i/4, green 255 - i/8, blue 255, each rounded to the
// nearest whole number with halves to the even one (VB's conversion to Integer).
Rgb DitherColour(int i);

// Band i covers the client-area rows [top, bottom) of a window `heightPx` pixels high. The height counts 256
// units and band i is the box from unit i - 1 to unit i drawn with a wide pen: it is painted here from unit
// i - 1 to unit i + 1, the next band paints over its lower half, and the last band reaches the bottom edge.
// Bands are painted in order 0 to 255.
struct Band {
    int top, bottom;
};
Band DitherBand(int i, int heightPx);

} // namespace ledrana

#include "app/dither.h"

#include <algorithm>
#include <cmath>

namespace ledrana {
namespace {

// VB's CInt: nearest whole number, halves to the even one.
int RoundHalfEven(double x) {
    return static_cast<int>(std::nearbyint(x));
}

} // namespace

Rgb DitherColour(int i) {
    const auto component = [](double v) {
        return static_cast<std::uint8_t>(std::clamp(RoundHalfEven(v), 0, 255));
    };
    return Rgb{component(255 - i / 4.0), component(255 - i / 8.0), 255};
}

Band DitherBand(int i, int heightPx) {
    const auto row = [heightPx](int unit) {
        return std::clamp(static_cast<int>(std::floor(unit * heightPx / double(kDitherBands))), 0, heightPx);
    };
    Band b{row(i - 1), row(i + 1)};
    if (i == kDitherBands - 1) b.bottom = heightPx;
    return b;
}

} // namespace ledrana

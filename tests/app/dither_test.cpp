#include <gtest/gtest.h>

#include "app/dither.h"

using namespace ledrana;

namespace {

TEST(Dither, ColoursRoundHalvesToEven) {
    struct Case {
        int band;
        Rgb colour;
    };
    const Case cases[] = {
        {0, {255, 255, 255}},   {2, {254, 255, 255}},   // 254.5 -> 254, 254.75 -> 255
        {4, {254, 254, 255}},                           // 254.5 -> 254 for green
        {6, {254, 254, 255}},                           // 253.5 -> 254, 254.25 -> 254
        {10, {252, 254, 255}},                          // 252.5 -> 252, 253.75 -> 254
        {12, {252, 254, 255}},                          // 252 exactly, 253.5 -> 254
        {128, {223, 239, 255}}, {255, {191, 223, 255}}, // 191.25, 223.125
    };
    for (const Case& c : cases)
        EXPECT_EQ(DitherColour(c.band), c.colour) << "band " << c.band;
}

TEST(Dither, BandsCoverTheWholeHeightTopToBottom) {
    for (int height : {431, 256, 100, 1000}) {
        EXPECT_EQ(DitherBand(0, height).top, 0) << height;
        EXPECT_EQ(DitherBand(kDitherBands - 1, height).bottom, height) << height;
        // Painted in order, every row ends up with the colour of the last band that covers it; each band
        // starts where the previous one's own unit starts, so nothing is left unpainted.
        for (int i = 1; i < kDitherBands; ++i) {
            const Band prev = DitherBand(i - 1, height), band = DitherBand(i, height);
            EXPECT_LE(band.top, prev.bottom) << height << " band " << i;
            EXPECT_GE(band.top, prev.top) << height << " band " << i;
            EXPECT_LE(band.top, band.bottom) << height << " band " << i;
        }
    }
}

} // namespace

#include <dwg/IndexColours.h>

#include <array>
#include <cstddef>
#include <limits>

namespace dwg {
namespace {

// 1-9 are named; 10-249 go round the hue circle in 15-degree steps, ten
// entries per hue: five shades (100, 80, 60, 50, 30 %), each saturated and
// half-saturated; 250-255 are greys.
std::array<std::uint32_t, 256> makePalette() {
    std::array<std::uint32_t, 256> table{};
    const std::uint32_t named[10] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                     0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
    for (int i = 0; i < 10; ++i) table[i] = named[i];
    const double shades[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    for (int i = 10; i < 250; ++i) {
        const double hue = (i / 10 - 1) * 15.0;
        const double low = (i % 2) ? 127.5 : 0.0;  // half saturation keeps a floor
        const double shade = shades[(i % 10) / 2];
        // Hue as fractions of the full channel between `low` and 255.
        auto channel = [&](double offset) {
            double h = hue + offset;
            while (h >= 360) h -= 360;
            double f;
            if (h < 60)
                f = 1;
            else if (h < 120)
                f = (120 - h) / 60;
            else if (h < 240)
                f = 0;
            else if (h < 300)
                f = (h - 240) / 60;
            else
                f = 1;
            return static_cast<std::uint32_t>((low + (255 - low) * f) * shade);
        };
        // Red peaks at 0 degrees, green at 120, blue at 240.
        const std::uint32_t r = channel(0), g = channel(240), b = channel(120);
        table[i] = (r << 16) | (g << 8) | b;
    }
    const std::uint32_t greys[6] = {0x333333, 0x5B5B5B, 0x848484, 0xADADAD, 0xD6D6D6, 0xFFFFFF};
    for (int i = 0; i < 6; ++i) table[250 + i] = greys[i];
    return table;
}

const std::array<std::uint32_t, 256>& palette() {
    static const std::array<std::uint32_t, 256> table = makePalette();
    return table;
}

}  // namespace

std::uint32_t indexColourRgb(int index) {
    return (index >= 1 && index <= 255) ? palette()[static_cast<std::size_t>(index)] : 0xFFFFFF;
}

int nearestIndexColour(std::uint32_t rgb) {
    auto channel = [](std::uint32_t colour, int shift) {
        return static_cast<int>((colour >> shift) & 0xFF);
    };
    auto isGrey = [&](std::uint32_t colour) {
        return channel(colour, 16) == channel(colour, 8) &&
               channel(colour, 8) == channel(colour, 0);
    };
    // A grey stays a grey (black becoming the darkest, not a dark red).
    const bool grey = isGrey(rgb);
    int best = 7;
    long bestDistance = std::numeric_limits<long>::max();
    for (int index = 1; index <= 255; ++index) {
        if (grey && !isGrey(palette()[static_cast<std::size_t>(index)])) continue;
        long distance = 0;
        for (int shift : {16, 8, 0}) {
            const long d =
                channel(rgb, shift) - channel(palette()[static_cast<std::size_t>(index)], shift);
            distance += d * d;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = index;
        }
    }
    return best;
}

}  // namespace dwg

// Reduces the colours of a picture to a bounded palette, deterministically
// (integer arithmetic only, so the same input always gives the same bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "twcmake/image.h"

namespace tarn::twc {

struct ReducedColours {
    std::vector<Rgb> palette;          // at most the requested number of entries
    std::vector<std::uint8_t> index;   // one entry per input colour: its palette slot
};

// Keeps the colours exactly when there are at most `maxColours` distinct ones; otherwise
// splits the colour space by median cut into `maxColours` boxes and maps every colour
// to its nearest palette entry. `maxColours` is 1 to 256.
ReducedColours reduceColours(const std::vector<Rgb>& colours, std::size_t maxColours);

}  // namespace tarn::twc

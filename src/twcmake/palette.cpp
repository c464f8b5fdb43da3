#include "twcmake/palette.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>

namespace tarn::twc {

namespace {

struct Entry {
    Rgb colour;
    std::uint64_t count;
};

std::uint8_t channel(Rgb c, int which) { return which == 0 ? c.r : which == 1 ? c.g : c.b; }

struct Box {
    std::vector<Entry> entries;

    // The widest channel and its extent.
    std::pair<int, int> widest() const {
        int best = 0;
        int bestRange = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (const auto& e : entries) {
                lo = std::min<int>(lo, channel(e.colour, ch));
                hi = std::max<int>(hi, channel(e.colour, ch));
            }
            if (hi - lo > bestRange) {
                bestRange = hi - lo;
                best = ch;
            }
        }
        return {best, bestRange};
    }

    Rgb mean() const {
        std::uint64_t r = 0, g = 0, b = 0, n = 0;
        for (const auto& e : entries) {
            r += e.colour.r * e.count;
            g += e.colour.g * e.count;
            b += e.colour.b * e.count;
            n += e.count;
        }
        return Rgb{static_cast<std::uint8_t>((r + n / 2) / n), static_cast<std::uint8_t>((g + n / 2) / n),
                   static_cast<std::uint8_t>((b + n / 2) / n)};
    }
};

int distance2(Rgb a, Rgb b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

using Histogram = std::map<std::array<std::uint8_t, 3>, std::uint64_t>;

// Distinct colours with their pixel counts, in a fixed (sorted) order.
Histogram countColours(const std::vector<Rgb>& colours) {
    Histogram histogram;
    for (Rgb c : colours) ++histogram[{c.r, c.g, c.b}];
    return histogram;
}

// The box to split next and the channel to split it along: the one with the widest
// spread, which bounds how far a colour can end up from its entry, which is what shows.
// Nothing when no box has two colours left.
std::optional<std::pair<std::size_t, int>> widestBox(const std::vector<Box>& boxes) {
    std::optional<std::pair<std::size_t, int>> pick;
    int pickRange = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].entries.size() < 2) continue;
        const auto [ch, range] = boxes[i].widest();
        if (range > pickRange) {
            pick = {i, ch};
            pickRange = range;
        }
    }
    return pick;
}

// Sorts the box along `ch` and moves the colours above its pixel-weighted median into
// the box returned, keeping at least one colour on each side.
Box splitAtMedian(Box& box, int ch) {
    auto& entries = box.entries;
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const Entry& a, const Entry& b) { return channel(a.colour, ch) < channel(b.colour, ch); });
    std::uint64_t total = 0;
    for (const auto& e : entries) total += e.count;
    std::uint64_t running = 0;
    std::size_t cut = 1;
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        running += entries[i].count;
        cut = i + 1;
        if (running * 2 >= total) break;
    }
    Box upper;
    upper.entries.assign(entries.begin() + static_cast<std::ptrdiff_t>(cut), entries.end());
    entries.resize(cut);
    return upper;
}

// Median cut: the colour space split into at most `maxColours` boxes, each giving the
// mean of its colours.
std::vector<Rgb> medianCut(const Histogram& histogram, std::size_t maxColours) {
    std::vector<Box> boxes(1);
    for (const auto& [key, count] : histogram) boxes[0].entries.push_back({Rgb{key[0], key[1], key[2]}, count});
    while (boxes.size() < maxColours) {
        const auto pick = widestBox(boxes);
        if (!pick) break;  // nothing left to split
        Box upper = splitAtMedian(boxes[pick->first], pick->second);
        boxes.push_back(std::move(upper));
    }
    std::vector<Rgb> palette;
    for (const auto& box : boxes) palette.push_back(box.mean());
    return palette;
}

// The palette entry nearest to `c`; the first of equally near ones.
std::uint8_t nearestEntry(Rgb c, const std::vector<Rgb>& palette) {
    std::size_t best = 0;
    int bestDistance = distance2(c, palette[0]);
    for (std::size_t i = 1; i < palette.size() && bestDistance > 0; ++i) {
        const int d = distance2(c, palette[i]);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return static_cast<std::uint8_t>(best);
}

}  // namespace

ReducedColours reduceColours(const std::vector<Rgb>& colours, std::size_t maxColours) {
    if (maxColours < 1 || maxColours > 256) throw std::invalid_argument("reduceColours: 1 to 256 colours");
    const Histogram histogram = countColours(colours);
    ReducedColours out;
    if (histogram.size() <= maxColours) {
        for (const auto& [key, count] : histogram) out.palette.push_back(Rgb{key[0], key[1], key[2]});
    } else {
        out.palette = medianCut(histogram, maxColours);
    }
    out.index.reserve(colours.size());
    for (Rgb c : colours) out.index.push_back(nearestEntry(c, out.palette));
    return out;
}

}  // namespace tarn::twc

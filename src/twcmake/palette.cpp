#include "twcmake/palette.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

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

}  // namespace

ReducedColours reduceColours(const std::vector<Rgb>& colours, std::size_t maxColours) {
    if (maxColours < 1 || maxColours > 256) throw std::invalid_argument("reduceColours: 1 to 256 colours");

    // Distinct colours with their pixel counts, in a fixed (sorted) order.
    std::map<std::array<std::uint8_t, 3>, std::uint64_t> histogram;
    for (Rgb c : colours) ++histogram[{c.r, c.g, c.b}];

    ReducedColours out;
    if (histogram.size() <= maxColours) {
        for (const auto& [key, count] : histogram) out.palette.push_back(Rgb{key[0], key[1], key[2]});
    } else {
        std::vector<Box> boxes(1);
        for (const auto& [key, count] : histogram) boxes[0].entries.push_back({Rgb{key[0], key[1], key[2]}, count});

        // Split the box with the widest spread until there are enough; the widest spread
        // bounds how far a colour can end up from its entry, which is what shows.
        while (boxes.size() < maxColours) {
            std::size_t pick = boxes.size();
            int pickRange = 0;
            int pickChannel = 0;
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                if (boxes[i].entries.size() < 2) continue;
                const auto [ch, range] = boxes[i].widest();
                if (range > pickRange) {
                    pick = i;
                    pickRange = range;
                    pickChannel = ch;
                }
            }
            if (pick == boxes.size()) break;  // nothing left to split

            auto& entries = boxes[pick].entries;
            std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
                return channel(a.colour, pickChannel) < channel(b.colour, pickChannel);
            });
            // Split at the pixel-weighted median, keeping at least one colour on each side.
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
            boxes.push_back(std::move(upper));
        }
        for (const auto& box : boxes) out.palette.push_back(box.mean());
    }

    out.index.reserve(colours.size());
    for (Rgb c : colours) {
        std::size_t best = 0;
        int bestDistance = distance2(c, out.palette[0]);
        for (std::size_t i = 1; i < out.palette.size() && bestDistance > 0; ++i) {
            const int d = distance2(c, out.palette[i]);
            if (d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        out.index.push_back(static_cast<std::uint8_t>(best));
    }
    return out;
}

}  // namespace tarn::twc

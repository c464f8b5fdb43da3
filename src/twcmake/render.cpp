#include "twcmake/render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace tarn::twc {

namespace {

// cos(k * 22.5 degrees) for k = 0..4, written out so that no run-time trigonometry
// (whose last bit may differ between libraries) enters the pictures.
constexpr std::array<double, 5> kQuarterCos{1.0, 0.92387953251128674, 0.70710678118654757, 0.38268343236508978, 0.0};

int wrap(int d) { return ((d % kDirections) + kDirections) % kDirections; }

std::uint8_t toByte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5); }

// ---- Vector designs, drawn as signed distance fields in design space: the design
// points up, its pivot at the origin, v grows downward.

struct Circle {
    PointF centre;
    double radius;
};

// The first polygon's first vertex is the tip, at (0, -tipRadius), and its neighbours
// are mirror images, so the tip's half angle can be read from them.
struct Shape {
    std::vector<std::vector<PointF>> polygons;
    std::vector<Circle> circles;
    double tipRadius;     // distance of the tip from the pivot
    double outlineWidth;  // drawn inside the shape, so the outline never grows the shape

    PointF tip() const { return polygons.front().front(); }
    // Sine and tangent of the angle between the axis and a side of the tip.
    std::pair<double, double> tipHalfAngle() const {
        const PointF side = polygons.front()[1];
        const double dx = side.x - tip().x, dy = side.y - tip().y;
        return {dx / std::sqrt(dx * dx + dy * dy), dx / dy};
    }
};

double segmentDistance(PointF p, PointF a, PointF b) {
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double px = p.x - a.x, py = p.y - a.y;
    const double t = std::clamp((px * ex + py * ey) / (ex * ex + ey * ey), 0.0, 1.0);
    const double dx = px - t * ex, dy = py - t * ey;
    return std::sqrt(dx * dx + dy * dy);
}

double polygonDistance(PointF p, const std::vector<PointF>& poly) {
    double d = std::numeric_limits<double>::max();
    bool inside = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const PointF a = poly[j], b = poly[i];
        d = std::min(d, segmentDistance(p, a, b));
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
    }
    return inside ? -d : d;
}

// Negative inside, positive outside; the union of the shape's parts.
double shapeDistance(PointF p, const Shape& shape) {
    double d = std::numeric_limits<double>::max();
    for (const auto& poly : shape.polygons) d = std::min(d, polygonDistance(p, poly));
    for (const auto& c : shape.circles) {
        const double dx = p.x - c.centre.x, dy = p.y - c.centre.y;
        d = std::min(d, std::sqrt(dx * dx + dy * dy) - c.radius);
    }
    return d;
}

constexpr double kTip = 15.0;  // the tip's distance from the pivot

Shape shapeOf(Design design) {
    switch (design) {
        case Design::Classic:
            // A symmetric arrow: a broad head on a straight shaft.
            return Shape{{{{0, -kTip}, {7.5, -4.5}, {2.7, -4.5}, {2.7, 11.0}, {-2.7, 11.0}, {-2.7, -4.5}, {-7.5, -4.5}}},
                         {},
                         kTip,
                         1.3};
        case Design::Dart:
            // A slim dart with a notched tail.
            return Shape{{{{0, -kTip}, {5.2, 10.5}, {0, 6.0}, {-5.2, 10.5}}}, {}, kTip, 1.3};
        case Design::Round:
            // A point running into a round tail; the triangle meets the circle at its tangents.
            return Shape{{{{0, -kTip}, {5.71, 3.15}, {-5.71, 3.15}}}, {Circle{{0, 5.0}, 6.0}}, kTip, 1.3};
    }
    return {};
}

// A point of a picture drawn at `unit` design units a pixel and turned by the direction
// of cosine `c` and sine `s`, turned back into the upright design.
PointF toDesign(PointF p, double c, double s, double unit) {
    const double qx = p.x * unit - kDesignPivot.x, qy = p.y * unit - kDesignPivot.y;
    return PointF{qx * c + qy * s, -qx * s + qy * c};
}

// A design with its colours: the fill, and the outline drawn inside the shape's edge.
struct InkedShape {
    const Shape& shape;
    PointF tip;
    double tipSin;  // of the tip's half angle
    Rgb fill;
    Rgb outline;

    // The ink at a point of design space; nothing outside the shape.
    std::optional<Rgb> inkAt(PointF u) const {
        const double dist = shapeDistance(u, shape);
        if (dist > 0) return std::nullopt;
        // Towards the tip the outline narrows to half the shape's width, so a slim tip
        // keeps some fill and shows on dark and light ground alike.
        const double ax = u.x - tip.x, ay = u.y - tip.y;
        const double width = std::min(shape.outlineWidth, 0.5 * tipSin * std::sqrt(ax * ax + ay * ay));
        return dist > -width ? outline : fill;
    }

    // What the samples of pixel (x, y) of the picture turned by the direction of cosine
    // `c` and sine `s` find, the picture being drawn at `unit` design units a pixel (1
    // at 32 pixels): each sample is turned back into the upright design and looked up
    // there, 8 x 8 of them a pixel.
    struct Coverage {
        int covered = 0;  // of kSamples * kSamples
        int r = 0, g = 0, b = 0;  // summed over the covered samples
    };
    static constexpr int kSamples = 8;  // per axis

    Coverage cover(int x, int y, double c, double s, double unit) const {
        const auto designAt = [&](double px, double py) { return toDesign(PointF{px, py}, c, s, unit); };
        // A pixel whose middle lies far enough from every edge is wholly clear or wholly
        // fill: no sample lies further than 0.62 pixels from the middle, and a distance
        // changes no faster than the point.
        const double reach = 0.75 * unit;
        const double middle = shapeDistance(designAt(x + 0.5, y + 0.5), shape);
        if (middle > reach) return Coverage{};
        if (middle < -(shape.outlineWidth + reach)) {
            constexpr int all = kSamples * kSamples;
            return Coverage{all, fill.r * all, fill.g * all, fill.b * all};
        }
        Coverage found;
        for (int j = 0; j < kSamples; ++j) {
            for (int i = 0; i < kSamples; ++i) {
                const std::optional<Rgb> ink = inkAt(designAt(x + (i + 0.5) / kSamples, y + (j + 0.5) / kSamples));
                if (!ink) continue;
                ++found.covered;
                found.r += ink->r;
                found.g += ink->g;
                found.b += ink->b;
            }
        }
        return found;
    }

    // A slice's pixel: the mask has one bit, so a pixel at least half covered is drawn,
    // in the mean colour of the samples that cover it; nothing for any other.
    std::optional<Rgba> slicePixel(int x, int y, double c, double s) const {
        const Coverage found = cover(x, y, c, s, 1.0);
        if (found.covered * 2 < kSamples * kSamples) return std::nullopt;
        return Rgba{mean(found.r, found.covered), mean(found.g, found.covered), mean(found.b, found.covered), 255};
    }

    // A large picture's pixel: as opaque as it is covered.
    Rgba picturePixel(int x, int y, double c, double s, double unit) const {
        const Coverage found = cover(x, y, c, s, unit);
        if (found.covered == 0) return Rgba{};
        constexpr int all = kSamples * kSamples;
        return Rgba{mean(found.r, found.covered), mean(found.g, found.covered), mean(found.b, found.covered),
                    mean(255 * found.covered, all)};
    }

    static std::uint8_t mean(int sum, int count) { return static_cast<std::uint8_t>((sum + count / 2) / count); }
};

// ---- Premultiplied sampling of an 8-bit picture.

struct Premul {
    double r = 0, g = 0, b = 0, a = 0;  // colour 0..255 times alpha 0..1
    void add(const Premul& o, double w) {
        r += o.r * w;
        g += o.g * w;
        b += o.b * w;
        a += o.a * w;
    }
};

Premul premul(Rgba p) {
    const double a = p.a / 255.0;
    return Premul{p.r * a, p.g * a, p.b * a, a};
}

Rgba straight(const Premul& p) {
    if (p.a <= 0) return Rgba{};
    return Rgba{toByte(p.r / p.a), toByte(p.g / p.a), toByte(p.b / p.a), toByte(p.a * 255.0)};
}

enum class Beyond { Clear, Edge };

Premul texel(const Image& img, int x, int y, Beyond beyond) {
    if (beyond == Beyond::Edge) {
        x = std::clamp(x, 0, img.width - 1);
        y = std::clamp(y, 0, img.height - 1);
    } else if (x < 0 || y < 0 || x >= img.width || y >= img.height) {
        return Premul{};
    }
    return premul(img.at(x, y));
}

// Bilinear sample at a continuous point (pixel centres at i + 0.5); beyond the picture
// it is transparent, or repeats the edge pixels.
Premul bilinear(const Image& img, PointF p, Beyond beyond = Beyond::Clear) {
    const double fx = p.x - 0.5, fy = p.y - 0.5;
    const double x0 = std::floor(fx), y0 = std::floor(fy);
    const double tx = fx - x0, ty = fy - y0;
    const int ix = static_cast<int>(x0), iy = static_cast<int>(y0);
    Premul out;
    out.add(texel(img, ix, iy, beyond), (1 - tx) * (1 - ty));
    out.add(texel(img, ix + 1, iy, beyond), tx * (1 - ty));
    out.add(texel(img, ix, iy + 1, beyond), (1 - tx) * ty);
    out.add(texel(img, ix + 1, iy + 1, beyond), tx * ty);
    return out;
}

}  // namespace

double directionCos(int d) {
    const int k = wrap(d);
    if (k <= 4) return kQuarterCos[static_cast<std::size_t>(k)];
    if (k <= 8) return -kQuarterCos[static_cast<std::size_t>(8 - k)];
    if (k <= 12) return -kQuarterCos[static_cast<std::size_t>(k - 8)];
    return kQuarterCos[static_cast<std::size_t>(16 - k)];
}

// sin(a) = cos(a - 90 degrees)
double directionSin(int d) { return directionCos(d - 4); }

PointF turn(PointF p, PointF centre, int d) {
    const double c = directionCos(d), s = directionSin(d);
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    return PointF{centre.x + dx * c - dy * s, centre.y + dx * s + dy * c};
}

Pixel pixelAt(PointF p) {
    const auto clampAxis = [](double v) { return std::clamp(static_cast<int>(std::floor(v)), 0, kSide - 1); };
    return Pixel{clampAxis(p.x), clampAxis(p.y)};
}

std::optional<Design> designNamed(std::string_view name) {
    if (name == "classic") return Design::Classic;
    if (name == "dart") return Design::Dart;
    if (name == "round") return Design::Round;
    return std::nullopt;
}

std::vector<std::string> designNames() { return {"classic", "dart", "round"}; }

PointF designHotPoint(Design design) {
    // Far enough inside the tip that the shape is over a pixel wide there, so the
    // hotspot pixel is one the mask draws; never less than one pixel in.
    const Shape shape = shapeOf(design);
    const double inset = std::max(1.0, 0.6 / shape.tipHalfAngle().second);
    return PointF{kDesignPivot.x, kDesignPivot.y - (shape.tipRadius - inset)};
}

SliceSet renderDesign(Design design, Rgb fill, Rgb outline) {
    const Shape shape = shapeOf(design);
    const InkedShape inked{shape, shape.tip(), shape.tipHalfAngle().first, fill, outline};
    const PointF hot = designHotPoint(design);
    SliceSet set;
    for (int d = 0; d < kDirections; ++d) {
        Slice& slice = set[static_cast<std::size_t>(d)];
        const double c = directionCos(d), s = directionSin(d);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (const std::optional<Rgba> pixel = inked.slicePixel(x, y, c, s)) slice.at(x, y) = *pixel;
        slice.hotspot = pixelAt(turn(hot, kDesignPivot, d));
    }
    return set;
}

std::array<Image, kDirections> renderDesignAt(Design design, Rgb fill, Rgb outline, int side) {
    const Shape shape = shapeOf(design);
    const InkedShape inked{shape, shape.tip(), shape.tipHalfAngle().first, fill, outline};
    const double unit = static_cast<double>(kSide) / side;
    // Most of a large picture is clear: a block of pixels whose middle lies further from
    // the shape than any of its samples can is left so without looking at each pixel.
    constexpr int kBlock = 8;
    const double blockReach = (kBlock / 2.0 * 1.5) * unit;
    std::array<Image, kDirections> pictures;
    for (int d = 0; d < kDirections; ++d) {
        Image& picture = pictures[static_cast<std::size_t>(d)] = Image(side, side);
        const double c = directionCos(d), s = directionSin(d);
        for (int by = 0; by < side; by += kBlock)
            for (int bx = 0; bx < side; bx += kBlock) {
                const PointF middle = toDesign(PointF{bx + kBlock / 2.0, by + kBlock / 2.0}, c, s, unit);
                if (shapeDistance(middle, shape) > blockReach) continue;
                for (int y = by; y < std::min(by + kBlock, side); ++y)
                    for (int x = bx; x < std::min(bx + kBlock, side); ++x)
                        picture.at(x, y) = inked.picturePixel(x, y, c, s, unit);
            }
    }
    return pictures;
}

Image fitTo32(const Image& source, Pixel hotspot, PointF& hotPoint) {
    const int longer = std::max(source.width, source.height);
    const double scale = static_cast<double>(kSide) / longer;
    const double ox = (kSide - source.width * scale) / 2;
    const double oy = (kSide - source.height * scale) / 2;
    hotPoint = PointF{(hotspot.x + 0.5) * scale + ox, (hotspot.y + 0.5) * scale + oy};

    Image out(kSide, kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            Premul acc;
            if (scale >= 1.0) {
                // Growing: pixels whose centre lies on the picture take a bilinear sample,
                // with the picture's own edge repeated so that its border does not fade.
                const PointF at{(x + 0.5 - ox) / scale, (y + 0.5 - oy) / scale};
                if (at.x >= 0 && at.y >= 0 && at.x < source.width && at.y < source.height)
                    acc = bilinear(source, at, Beyond::Edge);
            } else {
                // Average the source area under the pixel; parts beyond the picture are clear.
                const double x0 = (x - ox) / scale, x1 = (x + 1 - ox) / scale;
                const double y0 = (y - oy) / scale, y1 = (y + 1 - oy) / scale;
                const int ix0 = std::max(0, static_cast<int>(std::floor(x0)));
                const int ix1 = std::min(source.width, static_cast<int>(std::ceil(x1)));
                const int iy0 = std::max(0, static_cast<int>(std::floor(y0)));
                const int iy1 = std::min(source.height, static_cast<int>(std::ceil(y1)));
                for (int sy = iy0; sy < iy1; ++sy) {
                    const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
                    if (wy <= 0) continue;
                    for (int sx = ix0; sx < ix1; ++sx) {
                        const double wx = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
                        if (wx > 0) acc.add(premul(source.at(sx, sy)), wx * wy);
                    }
                }
                const double area = (x1 - x0) * (y1 - y0);
                acc = Premul{acc.r / area, acc.g / area, acc.b / area, acc.a / area};
            }
            out.at(x, y) = straight(acc);
        }
    }
    return out;
}

SliceSet turnPicture(const Image& upright, PointF hotPoint) {
    constexpr int kSamples = 4;  // per axis
    constexpr PointF centre{kSide / 2.0, kSide / 2.0};
    SliceSet set;
    for (int d = 0; d < kDirections; ++d) {
        Slice& slice = set[static_cast<std::size_t>(d)];
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                Premul acc;
                for (int j = 0; j < kSamples; ++j)
                    for (int i = 0; i < kSamples; ++i) {
                        const PointF q{x + (i + 0.5) / kSamples, y + (j + 0.5) / kSamples};
                        acc.add(bilinear(upright, turn(q, centre, -d)), 1.0 / (kSamples * kSamples));
                    }
                const Rgba p = straight(acc);
                if (p.a >= 128) slice.at(x, y) = Rgba{p.r, p.g, p.b, 255};
            }
        }
        slice.hotspot = pixelAt(turn(hotPoint, centre, d));
    }
    return set;
}

}  // namespace tarn::twc

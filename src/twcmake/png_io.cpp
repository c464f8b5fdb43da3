#include "twcmake/png_io.h"

#include <algorithm>

namespace tarn::twc {

Image decodePng(std::span<const std::uint8_t> bytes, const std::string& name) {
    const PngInfo info = ReadPngInfo(bytes);
    if (!info.sized) throw TwcError(name + ": " + info.failure);
    if (info.width == 0 || info.height == 0 || info.width > kMaxPngSide || info.height > kMaxPngSide)
        throw TwcError(name + ": the picture is " + std::to_string(info.width) + "x" + std::to_string(info.height) +
                       " pixels; 1 to " + std::to_string(kMaxPngSide) + " pixels on a side are accepted");
    const PngDecode decoded = DecodePng(bytes);
    if (!decoded.picture) throw TwcError(name + ": " + decoded.failure);
    return imageOf(*decoded.picture);
}

std::vector<std::uint8_t> encodePng(const Image& image) { return EncodePng(pictureOf(image)); }

Image imageOf(const RgbaPicture& picture) {
    Image img(picture.width, picture.height);
    for (std::size_t i = 0; i < img.pixels.size(); ++i) {
        const std::uint8_t* p = picture.rgba.data() + 4 * i;
        img.pixels[i] = Rgba{p[0], p[1], p[2], p[3]};
    }
    return img;
}

RgbaPicture pictureOf(const Image& image) {
    RgbaPicture picture(image.width, image.height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const Rgba& p = image.pixels[i];
        std::copy_n(std::begin({p.r, p.g, p.b, p.a}), 4, picture.rgba.data() + 4 * i);
    }
    return picture;
}

}  // namespace tarn::twc

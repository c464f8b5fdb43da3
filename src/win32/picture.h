// A picture for the set list and the preview: loaded from a cursor or icon file, or
// made from pixels. A one-image file of the kind set slices are (a bitmap with a palette
// or plain colours and a transparency mask) is kept as its bits and drawn by GDI
// straight from them, so a long list costs no system icon per set; any other file the
// system's loader takes is kept as the icon it makes. A picture made from pixels keeps
// them, and a bitmap of them as GDI blends it.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "stb/pictures.h"
#include "win32/owned.h"

namespace tarn::win32 {

// A 32-bit top-down bitmap of `width` x `height` whose pixels (blue, green, red, alpha)
// are at `bits`; an empty owner when the system cannot make it.
OwnedBitmap dibSection(int width, int height, std::uint8_t** bits);

class Picture {
public:
    // Throws PlatformError "File not found" or "Invalid picture", as the loader would;
    // a file whose picture has no pixels is refused before the system sees it.
    static Picture load(const std::filesystem::path& file);
    // Straight RGBA pixels. Throws PlatformError when the system cannot hold them.
    static Picture fromPixels(RgbaPicture pixels);

    // The side it was made for: a cursor file's own width (an icon the system made is
    // drawn at a slice's 32 pixels), a picture of pixels its width.
    [[nodiscard]] int side() const noexcept;
    // Its pixels at that side, straight alpha: a cursor's as GDI draws them, clear where
    // its mask lets the background through.
    [[nodiscard]] RgbaPicture pixels() const;
    // The pixels of each, as pixels() gives them.
    static std::vector<RgbaPicture> pixelsOf(std::span<const Picture* const> pictures);
    // At its own size, transparent where its mask or its alpha says.
    void draw(HDC dc, int x, int y) const;

private:
    // Stretched to `size` x `size`: its colours (black where transparent), its mask.
    void drawImage(HDC dc, int x, int y, int size) const;
    void drawMask(HDC dc, int x, int y, int size) const;

    // Takes the bytes when they are such a file.
    bool parse(std::vector<unsigned char>& bytes);

    std::vector<unsigned char> bytes_;  // the file; the bitmap's bits are drawn from here
    std::vector<unsigned char> colourInfo_;  // its header (one image high) and palette
    std::vector<unsigned char> maskInfo_;    // a one-bit header and its black-and-white palette
    const unsigned char* colourBits_ = nullptr;
    const unsigned char* maskBits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    OwnedIcon icon_;  // for any other picture
    RgbaPicture rgba_;     // a picture made from pixels
    OwnedBitmap blended_;  // its pixels premultiplied, as GdiAlphaBlend takes them
};

}  // namespace tarn::win32

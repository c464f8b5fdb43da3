// A picture loaded from a cursor or icon file, for the set list and the preview. A
// one-image file of the kind set slices are (a bitmap with a palette or plain colours
// and a transparency mask) is kept as its bits and drawn by GDI straight from them, so
// a long list costs no system icon per set; any other file the system's loader takes
// is kept as the icon it makes.
#pragma once

#include "win32/win32_api.h"

#include <filesystem>
#include <vector>

#include "win32/owned.h"

namespace tarn::win32 {

class Picture {
public:
    // Throws PlatformError "File not found" or "Invalid picture", as the loader would;
    // a file whose picture has no pixels is refused before the system sees it.
    static Picture load(const std::filesystem::path& file);

    // At its own size, transparent where its mask says.
    void draw(HDC dc, int x, int y) const;
    // Stretched to `size` x `size`: its colours (black where transparent) into a colour
    // bitmap, its mask into a monochrome one, as an image list takes them.
    void drawImage(HDC dc, int x, int y, int size) const;
    void drawMask(HDC dc, int x, int y, int size) const;

private:
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
};

}  // namespace tarn::win32

#include "win32/picture.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cursorset/cursor_check.h"
#include "platform/platform.h"

namespace tarn::win32 {

namespace {

std::uint32_t read16(const std::vector<unsigned char>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

std::uint32_t read32(const std::vector<unsigned char>& b, std::size_t at) {
    return read16(b, at) | (read16(b, at + 2) << 16);
}

std::size_t stride(std::size_t width, std::size_t bits) { return (width * bits + 31) / 32 * 4; }

}  // namespace

bool Picture::parse(std::vector<unsigned char>& bytes) {
    // One image only: with several, the system's loader chooses, and that is kept as it chooses.
    if (bytes.size() < 22 || read16(bytes, 0) != 0 || read16(bytes, 4) != 1) return false;
    const std::uint32_t type = read16(bytes, 2);
    if (type != 1 && type != 2) return false;
    const std::size_t length = read32(bytes, 14);
    const std::size_t offset = read32(bytes, 18);
    if (offset > bytes.size() || length > bytes.size() - offset || length < sizeof(BITMAPINFOHEADER)) return false;

    BITMAPINFOHEADER header{};
    std::memcpy(&header, bytes.data() + offset, sizeof header);
    const bool plain = header.biSize == sizeof header && header.biPlanes == 1 && header.biCompression == BI_RGB;
    // 32-bit pictures may carry their own transparency, which only the system's drawing honours.
    const bool depth = header.biBitCount == 1 || header.biBitCount == 4 || header.biBitCount == 8 ||
                       header.biBitCount == 24;
    if (!plain || !depth || header.biWidth < 1 || header.biWidth > 256 || header.biHeight < 2 ||
        header.biHeight % 2 != 0 || header.biHeight > 512)
        return false;
    const std::size_t width = static_cast<std::size_t>(header.biWidth);
    const std::size_t height = static_cast<std::size_t>(header.biHeight) / 2;
    const std::size_t maxColours = header.biBitCount <= 8 ? std::size_t{1} << header.biBitCount : 0;
    const std::size_t colours = header.biClrUsed ? header.biClrUsed : maxColours;
    if (colours > maxColours) return false;
    const std::size_t palette = colours * sizeof(RGBQUAD);
    const std::size_t colourBytes = stride(width, header.biBitCount) * height;
    const std::size_t maskBytes = stride(width, 1) * height;
    if (sizeof header + palette + colourBytes + maskBytes > length) return false;

    bytes_ = std::move(bytes);
    const unsigned char* image = bytes_.data() + offset;
    header.biHeight = static_cast<LONG>(height);
    header.biSizeImage = 0;
    colourInfo_.resize(sizeof header + palette);
    std::memcpy(colourInfo_.data(), &header, sizeof header);
    std::memcpy(colourInfo_.data() + sizeof header, image + sizeof(BITMAPINFOHEADER), palette);
    colourBits_ = image + sizeof(BITMAPINFOHEADER) + palette;
    maskBits_ = colourBits_ + colourBytes;

    BITMAPINFOHEADER mask = header;
    mask.biBitCount = 1;
    mask.biClrUsed = 2;
    mask.biClrImportant = 0;
    const RGBQUAD blackAndWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    maskInfo_.resize(sizeof mask + sizeof blackAndWhite);
    std::memcpy(maskInfo_.data(), &mask, sizeof mask);
    std::memcpy(maskInfo_.data() + sizeof mask, blackAndWhite, sizeof blackAndWhite);
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    return true;
}

Picture Picture::load(const std::filesystem::path& file) {
    Picture picture;
    if (std::ifstream in(file, std::ios::binary); in) {
        std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
        // One whose picture has no pixels could end the process inside the system's loader.
        if (!DescribesImage(bytes)) throw PlatformError("Invalid picture");
        if (picture.parse(bytes)) return picture;
    }
    HANDLE image = ::LoadImageW(nullptr, file.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
    if (!image) image = ::LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    if (!image) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) throw PlatformError("File not found");
        throw PlatformError("Invalid picture");
    }
    picture.icon_.reset(static_cast<HICON>(image));
    return picture;
}

void Picture::draw(HDC dc, int x, int y) const {
    if (icon_) {
        ::DrawIconEx(dc, x, y, icon_.get(), 0, 0, 0, nullptr, DI_NORMAL);
        return;
    }
    // As the system draws such a pointer: the mask clears what it covers, the colours
    // are laid over that.
    const auto* mask = reinterpret_cast<const BITMAPINFO*>(maskInfo_.data());
    const auto* colour = reinterpret_cast<const BITMAPINFO*>(colourInfo_.data());
    ::StretchDIBits(dc, x, y, width_, height_, 0, 0, width_, height_, maskBits_, mask, DIB_RGB_COLORS, SRCAND);
    ::StretchDIBits(dc, x, y, width_, height_, 0, 0, width_, height_, colourBits_, colour, DIB_RGB_COLORS,
                    SRCINVERT);
}

void Picture::drawImage(HDC dc, int x, int y, int size) const {
    if (icon_) {
        ::DrawIconEx(dc, x, y, icon_.get(), size, size, 0, nullptr, DI_IMAGE);
        return;
    }
    const auto* mask = reinterpret_cast<const BITMAPINFO*>(maskInfo_.data());
    const auto* colour = reinterpret_cast<const BITMAPINFO*>(colourInfo_.data());
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, x, y, size, size, 0, 0, width_, height_, colourBits_, colour, DIB_RGB_COLORS, SRCCOPY);
    // Black wherever the mask lets the background through (colour AND NOT mask).
    constexpr DWORD kAndNotSource = 0x00220326;
    ::StretchDIBits(dc, x, y, size, size, 0, 0, width_, height_, maskBits_, mask, DIB_RGB_COLORS, kAndNotSource);
}

void Picture::drawMask(HDC dc, int x, int y, int size) const {
    if (icon_) {
        ::DrawIconEx(dc, x, y, icon_.get(), size, size, 0, nullptr, DI_MASK);
        return;
    }
    const auto* mask = reinterpret_cast<const BITMAPINFO*>(maskInfo_.data());
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, x, y, size, size, 0, 0, width_, height_, maskBits_, mask, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace tarn::win32

#include "win32/picture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>

#include "cursorset/cursor_check.h"
#include "cursorset/twc_format.h"
#include "platform/messages.h"
#include "platform/platform.h"

namespace tarn::win32 {

namespace {

std::size_t stride(std::size_t width, std::size_t bits) { return (width * bits + 31) / 32 * 4; }

// Where a file's one image lies, as its directory entry says: its offset and length.
struct Entry {
    std::size_t offset = 0;
    std::size_t length = 0;
};

// A file of one image, or nothing. With several, the system's loader chooses, and that
// is kept as it chooses; an entry must lie in the file and hold a bitmap header.
std::optional<Entry> singleEntry(const std::vector<unsigned char>& bytes) {
    const std::optional<CursorFileHeader> file = ReadCursorFileHeader(bytes);
    if (!file || file->reserved != 0 || file->count != 1 || (file->type != kIconType && file->type != kCursorType))
        return std::nullopt;
    const std::optional<CursorEntry> entry = ReadCursorEntry(bytes);
    if (!entry) return std::nullopt;
    const std::size_t length = entry->bytes;
    const std::size_t offset = entry->offset;
    if (offset > bytes.size() || length > bytes.size() - offset || length < kBitmapHeaderBytes) return std::nullopt;
    return Entry{offset, length};
}

// The image's bitmap as it is drawn from its bits: its header as GDI takes the colour
// rows (one image high, the mask not counted), its size, and the bytes of its palette and
// colour rows; the mask's rows follow those.
struct Bitmap {
    BITMAPINFOHEADER header{};
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t paletteBytes = 0;
    std::size_t colourBytes = 0;
};

static_assert(sizeof(BITMAPINFOHEADER) == kBitmapHeaderBytes);

// The entry's bitmap when it is one GDI draws as the system's loader would: an
// uncompressed one-plane picture with a palette or plain colours, its mask below it, and
// every part within the entry. Nothing for any other.
std::optional<Bitmap> plainBitmap(const std::vector<unsigned char>& bytes, Entry entry) {
    const std::optional<BitmapHeader> read = ReadBitmapHeader(bytes, entry.offset);
    if (!read || !read->whole) return std::nullopt;
    const bool plain = read->bytes == kBitmapHeaderBytes && read->planes == 1 && read->compression == BI_RGB;
    // 32-bit pictures may carry their own transparency, which only the system's drawing honours.
    const int bits = read->bitsPerPixel;
    const bool depth = bits == 1 || bits == 4 || bits == 8 || bits == 24;
    if (!plain || !depth || read->width < 1 || read->width > 256 || read->height < 2 || read->height % 2 != 0 ||
        read->height > 512)
        return std::nullopt;
    Bitmap b;
    b.width = static_cast<std::size_t>(read->width);
    b.height = static_cast<std::size_t>(read->height) / 2;
    const std::size_t maxColours = bits <= 8 ? std::size_t{1} << bits : 0;
    const std::size_t colours = read->coloursUsed ? read->coloursUsed : maxColours;
    if (colours > maxColours) return std::nullopt;
    b.paletteBytes = colours * sizeof(RGBQUAD);
    b.colourBytes = stride(b.width, static_cast<std::size_t>(bits)) * b.height;
    const std::size_t maskBytes = stride(b.width, 1) * b.height;
    if (kBitmapHeaderBytes + b.paletteBytes + b.colourBytes + maskBytes > entry.length) return std::nullopt;
    BITMAPINFOHEADER& header = b.header;
    header.biSize = sizeof header;
    header.biWidth = read->width;
    header.biHeight = static_cast<LONG>(b.height);
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = BI_RGB;
    header.biClrUsed = read->coloursUsed;
    return b;
}

// The colour rows' header followed by the palette.
std::vector<unsigned char> colourInfo(const BITMAPINFOHEADER& header, const unsigned char* palette,
                                      std::size_t paletteBytes) {
    std::vector<unsigned char> info(sizeof header + paletteBytes);
    std::memcpy(info.data(), &header, sizeof header);
    std::memcpy(info.data() + sizeof header, palette, paletteBytes);
    return info;
}

// The mask rows' header: the colour rows' at one bit, black and white.
std::vector<unsigned char> maskInfo(BITMAPINFOHEADER header) {
    header.biBitCount = 1;
    header.biClrUsed = 2;
    header.biClrImportant = 0;
    const RGBQUAD blackAndWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    std::vector<unsigned char> info(sizeof header + sizeof blackAndWhite);
    std::memcpy(info.data(), &header, sizeof header);
    std::memcpy(info.data() + sizeof header, blackAndWhite, sizeof blackAndWhite);
    return info;
}

// A memory device context with `bitmap` selected for as long as it lives.
class BitmapDc {
public:
    explicit BitmapDc(HBITMAP bitmap) : dc_(::CreateCompatibleDC(nullptr)), selection_(dc_.get(), bitmap) {}
    [[nodiscard]] HDC get() const noexcept { return dc_.get(); }

private:
    OwnedDc dc_;
    Selection selection_;
};

}  // namespace

OwnedBitmap dibSection(int width, int height, std::uint8_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    OwnedBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    *bits = bitmap ? static_cast<std::uint8_t*>(pixels) : nullptr;
    return bitmap;
}

bool Picture::parse(std::vector<unsigned char>& bytes) {
    const std::optional<Entry> entry = singleEntry(bytes);
    if (!entry) return false;
    const std::optional<Bitmap> bitmap = plainBitmap(bytes, *entry);
    if (!bitmap) return false;

    bytes_ = std::move(bytes);
    const unsigned char* palette = bytes_.data() + entry->offset + kBitmapHeaderBytes;
    colourInfo_ = colourInfo(bitmap->header, palette, bitmap->paletteBytes);
    maskInfo_ = maskInfo(bitmap->header);
    colourBits_ = palette + bitmap->paletteBytes;
    maskBits_ = colourBits_ + bitmap->colourBytes;
    width_ = static_cast<int>(bitmap->width);
    height_ = static_cast<int>(bitmap->height);
    return true;
}

Picture Picture::load(const std::filesystem::path& file) {
    Picture picture;
    if (std::ifstream in(file, std::ios::binary); in) {
        std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
        // One whose picture has no pixels could end the process inside the system's loader.
        if (!DescribesImage(bytes)) throw PlatformError(messages::kInvalidPicture);
        if (picture.parse(bytes)) return picture;
    }
    HANDLE image = ::LoadImageW(nullptr, file.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
    if (!image) image = ::LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    if (!image) {
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) throw PlatformError(messages::kFileNotFound);
        throw PlatformError(messages::kInvalidPicture);
    }
    picture.icon_.reset(static_cast<HICON>(image));
    return picture;
}

Picture Picture::fromPixels(RgbaPicture pixels) {
    Picture picture;
    std::uint8_t* bits = nullptr;
    picture.blended_ = dibSection(pixels.width, pixels.height, &bits);
    if (!picture.blended_) throw PlatformError(messages::kNoMemoryForPicture);
    for (std::size_t i = 0; i < pixels.rgba.size(); i += 4) {
        const std::uint8_t* p = &pixels.rgba[i];
        const auto times = [a = p[3]](std::uint8_t c) { return static_cast<std::uint8_t>((c * a + 127) / 255); };
        bits[i] = times(p[2]);
        bits[i + 1] = times(p[1]);
        bits[i + 2] = times(p[0]);
        bits[i + 3] = p[3];
    }
    ::GdiFlush();
    picture.width_ = pixels.width;
    picture.height_ = pixels.height;
    picture.rgba_ = std::move(pixels);
    return picture;
}

int Picture::side() const noexcept { return icon_ ? kSliceSide : width_; }

RgbaPicture Picture::pixels() const { return pixelsOf(std::span<const Picture* const>(std::array{this})).at(0); }

std::vector<RgbaPicture> Picture::pixelsOf(std::span<const Picture* const> pictures) {
    // Every cursor drawn side by side into one bitmap of colours and one of masks: a
    // long list costs two bitmaps, not two for each picture.
    int width = 0, height = 0;
    for (const Picture* p : pictures)
        if (!p->blended_) {
            width += p->side();
            height = std::max(height, p->side());
        }
    std::uint8_t* colours = nullptr;
    std::uint8_t* mask = nullptr;
    OwnedBitmap colourBitmap, maskBitmap;
    if (width > 0) {
        colourBitmap = dibSection(width, height, &colours);
        maskBitmap = dibSection(width, height, &mask);
        if (!colourBitmap || !maskBitmap) throw PlatformError(messages::kNoMemoryForPicture);
        const BitmapDc colourDc(colourBitmap.get()), maskDc(maskBitmap.get());
        ::PatBlt(colourDc.get(), 0, 0, width, height, BLACKNESS);
        ::PatBlt(maskDc.get(), 0, 0, width, height, BLACKNESS);
        int left = 0;
        for (const Picture* p : pictures)
            if (!p->blended_) {
                p->drawImage(colourDc.get(), left, 0, p->side());
                p->drawMask(maskDc.get(), left, 0, p->side());
                left += p->side();
            }
        ::GdiFlush();
    }
    std::vector<RgbaPicture> out;
    out.reserve(pictures.size());
    int left = 0;
    for (const Picture* p : pictures) {
        if (p->blended_) {
            out.push_back(p->rgba_);
            continue;
        }
        const int side = p->side();
        RgbaPicture& picture = out.emplace_back(side, side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                        static_cast<std::size_t>(left + x)) * 4;
                std::uint8_t* to = picture.pixel(x, y);
                to[0] = colours[at + 2];
                to[1] = colours[at + 1];
                to[2] = colours[at];
                to[3] = mask[at] != 0 ? 0 : 255;  // the mask lets the background through
            }
        left += side;
    }
    return out;
}

void Picture::draw(HDC dc, int x, int y) const {
    if (blended_) {
        const BitmapDc from(blended_.get());
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::GdiAlphaBlend(dc, x, y, width_, height_, from.get(), 0, 0, width_, height_, blend);
        return;
    }
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

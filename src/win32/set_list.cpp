#include "win32/set_list.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "cursorset/companion.h"
#include "cursorset/twc_format.h"
#include "win32/failure.h"
#include "win32/handles.h"

namespace tarn::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;
// Far from the ids the list view may use for its own timers.
constexpr UINT_PTR kAskTimer = 0x5441;

// Pictures drawn into one strip for the image list: a strip stays a modest bitmap.
constexpr std::size_t kStrip = 128;
// How long the form may spend on answers before the window handles its messages again.
constexpr auto kAnswering = std::chrono::milliseconds(20);

// A picture's pixels at `side`: as they are when it was made for that side, else
// scaled with stb (never stretched by GDI, whose blocks and smears would show).
RgbaPicture pixelsAt(const Picture& picture, int side) { return PictureAtSide(picture.pixels(), side); }

// `pixels`, `side` square, into a strip `width` wide at column `left`: its colours as
// the bitmap holds them, its mask bits cleared where it is mostly opaque. A picture only
// clear or opaque (a slice at its own size) goes in by its mask alone, with no alpha,
// and is drawn as the list always drew the sets' 256-colour slices.
void putPixels(const RgbaPicture& pixels, std::uint8_t* colours, int width, std::size_t left,
               std::vector<std::uint8_t>& maskBits, std::size_t maskStride) {
    bool soft = false;
    for (std::size_t a = 3; a < pixels.rgba.size() && !soft; a += 4)
        soft = pixels.rgba[a] != 0 && pixels.rgba[a] != 255;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint8_t* from = pixels.pixel(x, y);
            const std::size_t column = left + static_cast<std::size_t>(x);
            std::uint8_t* to = colours + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + column) * 4;
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = soft ? from[3] : 0;
            if (from[3] >= 128)
                maskBits[static_cast<std::size_t>(y) * maskStride + column / 8] &=
                    static_cast<std::uint8_t>(~(0x80u >> (column % 8)));
        }
}

}  // namespace

// Colours with straight alpha and the mask an image list takes beside them (set where
// a pixel is mostly clear, for the ways of drawing that use no alpha).
struct SetList::Strip {
    OwnedBitmap colours;
    OwnedBitmap mask;
};

SetList::SetList(FormLink& form, const Dialogs& dialogs) : form_(form), dialogs_(dialogs), side_(kSliceSide) {
    images_.reset(checked(::ImageList_Create(side_, side_, ILC_COLOR32 | ILC_MASK, 0, 16),
                          messages::kCannotCreateControls, "ImageList_Create"));
}

void SetList::create(HINSTANCE instance, HWND form, int id, COLORREF back, COLORREF text) {
    list_ = checked(::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_ICON | LVS_SINGLESEL |
                                          LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE,
                                      0, 0, 0, 0, form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                      nullptr),
                    messages::kCannotCreateControls, "CreateWindowExW");
    setColors(back, text);
    ListView_SetImageList(list_, images_.get(), LVSIL_NORMAL);
    ::SetWindowSubclass(list_, &SetList::subclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void SetList::setColors(COLORREF back, COLORREF text) {
    ListView_SetBkColor(list_, back);
    ListView_SetTextBkColor(list_, back);
    ListView_SetTextColor(list_, text);
    ::InvalidateRect(list_, nullptr, TRUE);
}

LRESULT SetList::notified(const NMHDR& header) {
    if (header.hwndFrom != list_) return 0;
    if (header.code == static_cast<UINT>(NM_CUSTOMDRAW))
        return customDraw(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
    if (header.code == static_cast<UINT>(NM_DBLCLK)) form_.send([](TarnFrm& f) { f.listv_DblClick(); });
    return 0;
}

void SetList::setSide(int side, SIZE spacing) {
    if (side == side_) return;
    // A new image list of the new size, every entry drawn into it afresh and to be asked
    // for at this side; the list view lets go of the old one before it goes.
    OwnedImageList images(checked(::ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, 0, 16),
                                  messages::kCannotCreateControls, "ImageList_Create"));
    side_ = side;
    std::swap(images_, images);
    flushed_ = 0;
    for (Entry& entry : entries_) entry.asked = false;
    previewShown_.reset();
    previewAsked_ = false;
    if (!list_) return;
    flushPictures();
    ListView_SetImageList(list_, images_.get(), LVSIL_NORMAL);
    ListView_SetIconSpacing(list_, spacing.cx, spacing.cy);
    ListView_Arrange(list_, LVA_DEFAULT);
    ::InvalidateRect(list_, nullptr, TRUE);
}

// ---- Items and pictures

void SetList::clearSmallIcons() { ListView_SetImageList(list_, nullptr, LVSIL_SMALL); }

void SetList::clearItems() {
    ListView_DeleteAllItems(list_);
    itemKeys_.clear();
}

void SetList::clearImages() {
    entries_.clear();
    flushed_ = 0;
    asks_.clear();
    ImageList_RemoveAll(images_.get());
    imageKeys_.clear();
    ::InvalidateRect(list_, nullptr, TRUE);
}

std::optional<Picture> SetList::takePicture(PictureHandle picture) {
    if (picture.isNull()) return std::nullopt;
    const auto it = pictures_.find(picture.value());
    if (it == pictures_.end()) throw PlatformError(messages::kInvalidPicture);
    Picture taken = std::move(it->second);
    pictures_.erase(it);
    return taken;
}

void SetList::addPicture(const std::string& key, PictureHandle picture) {
    std::optional<Picture> taken = takePicture(picture);  // released on every path out of here
    imageKeys_.checkUnique(key);
    entries_.push_back({std::move(taken)});
    imageKeys_.add(key);
}

void SetList::replacePicture(const std::string& key, PictureHandle picture) {
    std::optional<Picture> taken = takePicture(picture);
    const std::size_t index = imageKeys_.at(key);
    entries_[index] = {std::move(taken), answering_};
    if (index >= flushed_) return;  // drawn with the others
    const Strip strip = drawStrip(index, 1);
    if (!strip.colours || !ImageList_Replace(images_.get(), static_cast<int>(index), strip.colours.get(),
                                             strip.mask.get()))
        throw PlatformError(messages::kOutOfMemory);
    // The list paints only what can be seen, once, however many pictures were replaced
    // meanwhile: no search for the items showing this one.
    ::InvalidateRect(list_, nullptr, FALSE);
}

SetList::Strip SetList::drawStrip(std::size_t first, std::size_t count) const {
    Strip strip;
    const int width = side_ * static_cast<int>(count);
    std::uint8_t* colours = nullptr;
    strip.colours = dibSection(width, side_, &colours);
    const std::size_t maskStride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    std::vector<std::uint8_t> maskBits(maskStride * static_cast<std::size_t>(side_), 0xFF);  // all background
    if (!strip.colours) return strip;
    std::memset(colours, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(side_) * 4);
    std::vector<const Picture*> pictures;  // a blank entry has none: it is all background
    for (std::size_t i = 0; i < count; ++i)
        if (const std::optional<Picture>& p = entries_[first + i].picture) pictures.push_back(&*p);
    try {
        const std::vector<RgbaPicture> drawn = Picture::pixelsOf(pictures);
        std::size_t next = 0;
        for (std::size_t i = 0; i < count; ++i)
            if (entries_[first + i].picture)
                putPixels(PictureAtSide(drawn[next++], side_), colours, width, i * static_cast<std::size_t>(side_),
                          maskBits, maskStride);
    } catch (const std::exception&) {
        strip.colours.reset();  // no memory to draw them
        return strip;
    }
    ::GdiFlush();
    const struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } mono{{sizeof(BITMAPINFOHEADER), width, -side_, 1, 1, BI_RGB, 0, 0, 0, 2, 0}, {{0, 0, 0, 0}, {255, 255, 255, 0}}};
    strip.mask.reset(::CreateBitmap(width, side_, 1, 1, nullptr));
    const WindowDc screen;
    if (!strip.mask || !::SetDIBits(screen.get(), strip.mask.get(), 0, static_cast<UINT>(side_), maskBits.data(),
                                    reinterpret_cast<const BITMAPINFO*>(&mono), DIB_RGB_COLORS))
        strip.colours.reset();
    return strip;
}

void SetList::flushPictures() {
    while (flushed_ < entries_.size()) {
        const std::size_t count = std::min(kStrip, entries_.size() - flushed_);
        const Strip strip = drawStrip(flushed_, count);
        // Without a strip these entries and the ones after them show no pictures, until
        // the next paint tries again.
        if (!strip.colours || ImageList_Add(images_.get(), strip.colours.get(), strip.mask.get()) < 0) return;
        flushed_ += count;
    }
}

void SetList::addItem(const std::string& key, const std::string& text, const std::string& iconKey) {
    itemKeys_.checkUnique(key);
    const int image = iconKey.empty() ? I_IMAGENONE : static_cast<int>(imageKeys_.at(iconKey));
    std::wstring caption = wide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list_);
    item.pszText = caption.data();
    item.iImage = image;
    item.lParam = static_cast<LPARAM>(itemKeys_.size());
    if (ListView_InsertItem(list_, &item) < 0) throw PlatformError(messages::kOutOfMemory);
    itemKeys_.add(key);
}

void SetList::holdLayout(bool held) {
    if (!list_) return;
    const LONG_PTR style = ::GetWindowLongPtrW(list_, GWL_STYLE);
    ::SendMessageW(list_, WM_SETREDRAW, held ? FALSE : TRUE, 0);
    ::SetWindowLongPtrW(list_, GWL_STYLE, held ? style & ~LONG_PTR{LVS_AUTOARRANGE} : style | LVS_AUTOARRANGE);
    if (held) return;
    flushPictures();
    ListView_Arrange(list_, LVA_DEFAULT);
    ::InvalidateRect(list_, nullptr, TRUE);
}

std::optional<std::string> SetList::selectedKey() const {
    const int selected = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (selected < 0) return std::nullopt;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = selected;
    if (!ListView_GetItem(list_, &item)) return std::nullopt;
    const auto position = static_cast<std::size_t>(item.lParam);
    if (position >= itemKeys_.size()) return std::nullopt;
    return itemKeys_.keyAt(position);
}

void SetList::select(const std::string& key) {
    const std::optional<std::size_t> position = itemKeys_.find(key);
    if (!position || !list_) return;
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(*position);
    const int item = ListView_FindItem(list_, -1, &find);
    if (item >= 0) ListView_SetItemState(list_, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void SetList::focus() {
    if (!list_) return;
    ::SetFocus(list_);
    const int selected = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (selected >= 0) ListView_EnsureVisible(list_, selected, FALSE);
}

PictureHandle SetList::keep(Picture picture) {
    const PictureHandle handle{nextPicture_++};
    pictures_.emplace(handle.value(), std::move(picture));
    return handle;
}

PictureHandle SetList::loadPicture(const std::filesystem::path& file) { return keep(Picture::load(file)); }

PictureHandle SetList::createPicture(RgbaPicture pixels) { return keep(Picture::fromPixels(std::move(pixels))); }

void SetList::setPreview(PictureHandle picture) {
    preview_ = takePicture(picture);  // the previous picture is released here
    previewShown_.reset();
    previewAsked_ = answering_;
}

const Picture* SetList::shownPreview() {
    if (!preview_ || preview_->side() == side_) return preview_ ? &*preview_ : nullptr;
    if (!previewAsked_) {
        previewAsked_ = previewAsk_ = true;
        ask();
    }
    if (!previewShown_) {
        try {
            previewShown_ = Picture::fromPixels(pixelsAt(*preview_, side_));
        } catch (const std::exception&) {
            return &*preview_;  // no memory for the scaled one: at its own size
        }
    }
    return &*previewShown_;
}

// ---- Asking the form for pictures made for the side

LRESULT SetList::customDraw(const NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = static_cast<int>(draw.nmcd.dwItemSpec);
    if (!ListView_GetItem(list_, &item) || item.iImage < 0) return CDRF_DODEFAULT;
    const auto index = static_cast<std::size_t>(item.iImage);
    if (index >= entries_.size()) return CDRF_DODEFAULT;
    Entry& entry = entries_[index];
    if (!entry.asked && (!entry.picture || entry.picture->side() != side_)) {
        entry.asked = true;
        asks_.push_back(imageKeys_.keyAt(index));
        ask();
    }
    return CDRF_DODEFAULT;
}

void SetList::ask() {
    // Answered from a timer: its message comes after the paint and the user's input.
    if (timer_ || !list_) return;
    timer_ = ::SetTimer(list_, kAskTimer, USER_TIMER_MINIMUM, nullptr) != 0;
}

void SetList::answer() {
    const auto until = std::chrono::steady_clock::now() + kAnswering;
    answering_ = true;
    struct Done {
        bool& answering;
        ~Done() { answering = false; }
    } done{answering_};
    while ((previewAsk_ || !asks_.empty()) && std::chrono::steady_clock::now() < until) {
        if (previewAsk_) {
            previewAsk_ = false;
            form_.send([](TarnFrm& f) { f.Picture2_PictureWanted(); });
            continue;
        }
        const std::string key = std::move(asks_.front());
        asks_.pop_front();
        form_.send([&](TarnFrm& f) { f.ilist_PictureWanted(key); });
    }
    if (previewAsk_ || !asks_.empty() || !list_) return;
    ::KillTimer(list_, kAskTimer);
    timer_ = false;
}

// ---- The list view's messages

LRESULT CALLBACK SetList::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
    auto* list = reinterpret_cast<SetList*>(data);
    return guarded(list->dialogs(), [&] { return list->onMessage(window, message, wParam, lParam); });
}

LRESULT SetList::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: flushPictures(); break;  // nothing added is ever drawn missing
        case WM_TIMER:
            if (wParam != kAskTimer) break;
            answer();
            return 0;
        case WM_MOUSEMOVE: form_.send([](TarnFrm& f) { f.listv_MouseMove(); }); break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_NCDESTROY: ::RemoveWindowSubclass(window, &SetList::subclassProc, kSubclassId); break;
        default: break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace tarn::win32

#include "win32/set_list.h"

#include <algorithm>
#include <vector>

#include "win32/failure.h"
#include "win32/handles.h"

namespace tarn::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;

constexpr int kPictureSide = 32;
// Pictures drawn into one strip for the image list: a strip stays a modest bitmap.
constexpr std::size_t kStrip = 128;

}  // namespace

SetList::SetList(FormLink& form, const Dialogs& dialogs) : form_(form), dialogs_(dialogs) {
    images_.reset(checked(::ImageList_Create(kPictureSide, kPictureSide, ILC_COLOR32 | ILC_MASK, 0, 16),
                          "Cannot create the window's controls", "ImageList_Create"));
}

void SetList::create(HINSTANCE instance, HWND form, int id, COLORREF back, COLORREF text) {
    list_ = checked(::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_ICON | LVS_SINGLESEL |
                                          LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE,
                                      0, 0, 0, 0, form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                      nullptr),
                    "Cannot create the window's controls", "CreateWindowExW");
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

bool SetList::notified(const NMHDR& header) {
    if (header.hwndFrom != list_ || header.code != static_cast<UINT>(NM_DBLCLK)) return false;
    form_.send([](TarnFrm& f) { f.listv_DblClick(); });
    return true;
}

// ---- Items and pictures

void SetList::clearSmallIcons() { ListView_SetImageList(list_, nullptr, LVSIL_SMALL); }

void SetList::clearItems() {
    ListView_DeleteAllItems(list_);
    itemKeys_.clear();
}

void SetList::clearImages() {
    pending_.clear();
    ImageList_RemoveAll(images_.get());
    imageKeys_.clear();
    ::InvalidateRect(list_, nullptr, TRUE);
}

std::optional<Picture> SetList::takePicture(PictureHandle picture) {
    if (picture.isNull()) return std::nullopt;
    const auto it = pictures_.find(picture.value());
    if (it == pictures_.end()) throw PlatformError("Invalid picture");
    Picture taken = std::move(it->second);
    pictures_.erase(it);
    return taken;
}

void SetList::addPicture(const std::string& key, PictureHandle picture) {
    std::optional<Picture> taken = takePicture(picture);  // released on every path out of here
    imageKeys_.checkUnique(key);
    pending_.push_back(std::move(taken));
    imageKeys_.add(key);
}

void SetList::flushPictures() {
    const WindowDc screen;
    for (std::size_t first = 0; first < pending_.size(); first += kStrip) {
        const int count = static_cast<int>(std::min(kStrip, pending_.size() - first));
        const int width = kPictureSide * count;
        OwnedDc dc(::CreateCompatibleDC(screen.get()));
        OwnedBitmap colours(::CreateCompatibleBitmap(screen.get(), width, kPictureSide));
        OwnedBitmap mask(::CreateBitmap(width, kPictureSide, 1, 1, nullptr));
        if (!dc || !colours || !mask) break;  // the list then shows these entries without pictures
        {
            const Selection into(dc.get(), colours.get());
            ::PatBlt(dc.get(), 0, 0, width, kPictureSide, BLACKNESS);
            for (int i = 0; i < count; ++i)
                if (const auto& p = pending_[first + static_cast<std::size_t>(i)])
                    p->drawImage(dc.get(), i * kPictureSide, 0, kPictureSide);
        }
        {
            const Selection into(dc.get(), mask.get());
            ::PatBlt(dc.get(), 0, 0, width, kPictureSide, WHITENESS);  // a blank entry is all background
            for (int i = 0; i < count; ++i)
                if (const auto& p = pending_[first + static_cast<std::size_t>(i)])
                    p->drawMask(dc.get(), i * kPictureSide, 0, kPictureSide);
        }
        ImageList_Add(images_.get(), colours.get(), mask.get());
    }
    pending_.clear();
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
    if (ListView_InsertItem(list_, &item) < 0) throw PlatformError("Out of memory");
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

PictureHandle SetList::loadPicture(const std::filesystem::path& file) {
    const PictureHandle handle{nextPicture_++};
    pictures_.emplace(handle.value(), Picture::load(file));
    return handle;
}

void SetList::setPreview(PictureHandle picture) {
    preview_ = takePicture(picture);  // the previous picture is released here
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

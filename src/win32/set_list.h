// The list of cursor sets: the list view and its image list, the keys of their
// entries, and the pictures loaded for them and for the preview.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "toolkit/keyed_collection.h"
#include "win32/dialogs.h"
#include "win32/form_link.h"
#include "win32/owned.h"
#include "win32/picture.h"

namespace tarn::win32 {

class SetList {
public:
    SetList(FormLink& form, const Dialogs& dialogs);
    SetList(const SetList&) = delete;
    SetList& operator=(const SetList&) = delete;

    // The list view, a child of the form; it goes with the form.
    void create(HINSTANCE instance, HWND form, int id, COLORREF back, COLORREF text);
    // Its background and text colours; repainted at once.
    void setColors(COLORREF back, COLORREF text);
    void destroyed() noexcept { list_ = nullptr; }
    [[nodiscard]] HWND window() const noexcept { return list_; }
    // The form passes its notifications on; true when it was the list's double-click.
    bool notified(const NMHDR& header);

    void clearSmallIcons();
    void clearItems();
    void clearImages();
    void addPicture(const std::string& key, PictureHandle picture);
    void addItem(const std::string& key, const std::string& text, const std::string& iconKey);
    [[nodiscard]] std::optional<std::string> selectedKey() const;
    // Selects the item of that key (nothing when the list has none), the one the
    // keyboard starts from.
    void select(const std::string& key);
    // The keyboard on the list, its selected item in view.
    void focus();
    // While held, items are added without arranging the whole list after each one (an
    // auto-arranged list view lays out every item again for every item added); letting
    // go arranges it once, as it would have been.
    void holdLayout(bool held);

    // Pictures are kept here from loading until they are handed over.
    PictureHandle loadPicture(const std::filesystem::path& file);
    void setPreview(PictureHandle picture);
    [[nodiscard]] const Picture* preview() const noexcept { return preview_ ? &*preview_ : nullptr; }

    [[nodiscard]] const Dialogs& dialogs() const noexcept { return dialogs_; }

private:
    static LRESULT CALLBACK subclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<Picture> takePicture(PictureHandle picture);
    // The pictures added since the last time, into the image list in one go: adding
    // them one icon at a time costs the system a millisecond each.
    void flushPictures();

    FormLink& form_;
    const Dialogs& dialogs_;
    HWND list_ = nullptr;
    OwnedImageList images_;
    std::optional<Picture> preview_;
    std::map<std::uintptr_t, Picture> pictures_;  // loaded, not yet handed over
    std::uintptr_t nextPicture_ = 0x1000;
    std::vector<std::optional<Picture>> pending_;  // added, not yet in the image list; none: blank
    toolkit::KeyedCollection itemKeys_;
    toolkit::KeyedCollection imageKeys_;
};

}  // namespace tarn::win32

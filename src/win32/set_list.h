// The list of cursor sets: the list view and its image list, the keys of their
// entries, and the pictures loaded for them and for the preview. Pictures are shown at
// the side a set's picture has at the window's scaling; one made for another side is
// scaled to it with stb, and the form is asked, once per picture and side, for one made
// for that side, a few at a time after it was first shown (the pictures on the screen
// first, as the list draws them), never while the window is busy drawing.
#pragma once

#include "win32/win32_api.h"

#include <cstdint>
#include <deque>
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
    // The form passes its notifications on and returns what this gives.
    LRESULT notified(const NMHDR& header);
    // The side of the pictures in pixels (SetPictureSide at the window's scaling), and
    // the items' spacing at that scaling: every picture is drawn again at it.
    void setSide(int side, SIZE spacing);

    void clearSmallIcons();
    void clearItems();
    void clearImages();
    void addPicture(const std::string& key, PictureHandle picture);
    // The picture under `key` becomes `picture` (taken over whatever happens).
    void replacePicture(const std::string& key, PictureHandle picture);
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
    PictureHandle createPicture(RgbaPicture pixels);
    void setPreview(PictureHandle picture);
    // The preview as it is shown at the side: none, the picture, or it scaled.
    [[nodiscard]] const Picture* shownPreview();

    [[nodiscard]] const Dialogs& dialogs() const noexcept { return dialogs_; }

private:
    static LRESULT CALLBACK subclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    PictureHandle keep(Picture picture);
    std::optional<Picture> takePicture(PictureHandle picture);
    // The pictures added since the last time, into the image list in one go: adding
    // them one icon at a time costs the system a millisecond each.
    void flushPictures();
    // Entries `first` on, `count` of them, drawn at the side into one strip.
    struct Strip;
    Strip drawStrip(std::size_t first, std::size_t count) const;
    // An item of the list is drawn: its picture, if made for another side, is asked for.
    LRESULT customDraw(const NMLVCUSTOMDRAW& draw);
    void ask();
    // The form's answers to what was asked, for a few milliseconds at a time.
    void answer();

    // An entry of the image list: its picture (none: blank), and whether it was asked for.
    struct Entry {
        std::optional<Picture> picture;
        bool asked = false;
    };

    FormLink& form_;
    const Dialogs& dialogs_;
    HWND list_ = nullptr;
    int side_;
    OwnedImageList images_;
    std::optional<Picture> preview_;
    std::optional<Picture> previewShown_;  // the preview scaled to the side
    bool previewAsked_ = false;
    std::map<std::uintptr_t, Picture> pictures_;  // loaded, not yet handed over
    std::uintptr_t nextPicture_ = 0x1000;
    std::vector<Entry> entries_;  // by image index; those from `flushed_` on not yet in the image list
    std::size_t flushed_ = 0;
    std::deque<std::string> asks_;  // image keys the form is asked about
    bool previewAsk_ = false;
    bool answering_ = false;  // the form answers now: what it gives is not asked about again
    bool timer_ = false;
    toolkit::KeyedCollection itemKeys_;
    toolkit::KeyedCollection imageKeys_;
};

}  // namespace tarn::win32

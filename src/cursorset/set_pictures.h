// A set's picture (image 2, up and to the right) where the window shows it at another
// size than its 32-pixel slices, at every display scaling but 100 %: cell 2 of the
// set's companion (companion.h) scaled to the window's side, handed over as pixels. At
// the slices' own side the slice is exact and no companion is read. The list is built
// from the slices, as at 100 %, and the window asks for a picture made for its side as
// it first shows each one, so start-up reads no companion for the list.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "cursorset/cursorset.h"
#include "files/folders.h"
#include "platform/platform.h"
#include "stb/pictures.h"

namespace tarn {

// The side in pixels of a set's picture, in the list and in the preview box, at a
// scaling of `twipsPerPixel`: a slice's 32 pixels at the design scale, scaled as every
// control is (40, 48, 56 and 64 at 125 to 200 %).
int SetPictureSide(double twipsPerPixel);

class SetPictures {
public:
    // The preview of the set just loaded from `name` into `set`, at the window's side:
    // the companion's cell 2; at the slices' side, and for a set without a usable
    // companion, image 2 through the scratch file (LoadPreview), which the window scales
    // itself. `name` becomes the preview's set. Throws as LoadPreview does.
    PictureHandle preview(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders);

    // The window shows the picture of the listed set `key`, or the preview, at its side
    // but holds none made for that size: it gets the companion's cell 2 at that side
    // (ImageList_Replace, SetPreviewPicture). At the slices' side, without a usable
    // companion, or when the window cannot take the picture, it keeps the one it has;
    // nothing is said. Never throws.
    void sharpenListPicture(Platform& platform, const std::string& key, const Folders& folders);
    void sharpenPreview(Platform& platform, const Folders& folders);

private:
    // The companion's cell 2 of set file `name` at the window's side, made into a
    // picture; a null one at the slices' side, without a usable companion, or when it
    // cannot be made.
    PictureHandle companionPicture(Platform& platform, const std::string& name, const Folders& folders);
    // Cell 2 of the companion beside the set file `name`, or none. A companion is read
    // the first time its set is asked for, however the set's name is written, and only
    // cell 2 is kept; one that could not be read is not read again.
    const RgbaPicture* cell(Platform& platform, const std::string& name, const Folders& folders);

    std::map<std::string, std::optional<RgbaPicture>> cells_;  // by the set file's path, in upper case
    std::string previewSet_;                                     // the set file the preview shows
};

}  // namespace tarn

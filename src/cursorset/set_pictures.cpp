#include "cursorset/set_pictures.h"

#include <exception>
#include <system_error>

#include "cursorset/companion.h"
#include "cursorset/set_file.h"
#include "files/file_names.h"
#include "platform/units.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// NAME.png beside the set file, ".png" in any letter case; empty when there is none.
fs::path companionFile(Platform& platform, const fs::path& setFile) {
    const std::string name = CompanionName(Utf8FromPath(setFile.filename()));
    fs::path file = setFile.parent_path() / PathFromUtf8(name);
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) return file;
    file = FindIgnoringCase(platform, setFile.parent_path(), name);
    return !file.empty() && fs::is_regular_file(file, ec) ? file : fs::path{};
}

// The companion's cell 2, or nothing: a missing, unreadable or oversized file, or one
// that is no companion. Saying what is wrong with it is the set loader's; a picture in
// the window keeps its slice without a word.
std::optional<RgbaPicture> readCell(const fs::path& file) {
    std::optional<CompanionRead> read = ReadCompanionFile(file);
    if (!read || !read->companion) return std::nullopt;
    return std::move(read->companion->directions[kPreviewSlice]);
}

}  // namespace

int SetPictureSide(double twipsPerPixel) { return ToPixels(kSliceSide * kDesignTwipsPerPixel, twipsPerPixel); }

const RgbaPicture* SetPictures::cell(Platform& platform, const std::string& name, const Folders& folders) {
    try {
        // The set file the loader would load, so a companion goes with the set it names;
        // a name that loads nothing (missing, or not 35808 bytes) has none.
        const fs::path setFile = FindSetFile(platform, name, folders);
        if (setFile.empty()) return nullptr;
        const std::string key = UpperAscii(Utf8FromPath(setFile));
        auto it = cells_.find(key);
        if (it == cells_.end()) {
            const fs::path file = companionFile(platform, setFile);
            it = cells_.emplace(key, file.empty() ? std::nullopt : readCell(file)).first;
        }
        return it->second ? &*it->second : nullptr;
    } catch (const std::exception&) {
        return nullptr;  // out of memory while decoding, a name that is not text: no companion
    }
}

PictureHandle SetPictures::companionPicture(Platform& platform, const std::string& name, const Folders& folders) {
    const int side = SetPictureSide(platform.TwipsPerPixelX());
    if (side == kSliceSide) return {};
    const RgbaPicture* found = cell(platform, name, folders);
    if (!found) return {};
    try {
        const RgbaPicture picture = PictureAtSide(*found, side);
        return platform.CreateDIBSection(picture.width, picture.height, picture.rgba);
    } catch (const std::exception&) {
        return {};
    }
}

PictureHandle SetPictures::preview(Platform& platform, CursorSet& set, const std::string& name,
                                   const Folders& folders) {
    // The set just loaded holds its large pictures already: their cell 2 is the one the
    // window shows, so the file is not read a second time for it.
    if (const std::shared_ptr<const Companion>& large = set.companions[kPreviewSlice]) {
        try {
            const fs::path setFile = FindSetFile(platform, name, folders);
            if (!setFile.empty())
                cells_.insert_or_assign(UpperAscii(Utf8FromPath(setFile)), large->directions[kPreviewSlice]);
        } catch (const std::exception&) {
            // A name that is not text: the picture is read as for any other set.
        }
    }
    PictureHandle picture = companionPicture(platform, name, folders);
    if (picture.isNull()) picture = LoadPreview(platform, set, folders);
    previewSet_ = name;
    return picture;
}

void SetPictures::sharpenListPicture(Platform& platform, const std::string& key, const Folders& folders) {
    const PictureHandle picture = companionPicture(platform, key + ".TWC", folders);
    if (picture.isNull()) return;
    try {
        platform.ImageList_Replace(key, picture);
    } catch (const PlatformError&) {
        // The list keeps the picture it has.
    }
}

void SetPictures::sharpenPreview(Platform& platform, const Folders& folders) {
    if (previewSet_.empty()) return;
    const PictureHandle picture = companionPicture(platform, previewSet_, folders);
    if (!picture.isNull()) platform.SetPreviewPicture(picture);
}

}  // namespace tarn

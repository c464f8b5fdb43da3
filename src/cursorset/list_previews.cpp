#include "cursorset/list_previews.h"

#include <exception>

namespace tarn {

ListPreviews::ListPreviews(Platform& platform, CursorSet& set)
    : platform_(platform), set_(set) {}

const std::filesystem::path& ListPreviews::scratch() {
    if (scratch_.empty()) scratch_ = ScratchFile(platform_);
    return scratch_;
}

void ListPreviews::writeScratch(const Slice& bytes) {
    WriteImageFile(bytes, scratch());
    if (!bytes.empty()) scratchImage_ = bytes;
}

PictureHandle ListPreviews::loadPicture() {
    try {
        return platform_.LoadPicture(scratch());
    } catch (const std::exception&) {
        return PictureHandle{};
    }
}

// LoadPreview of the set as the loads so far would have left it.
PictureHandle ListPreviews::preview() {
    try {
        writeScratch(image(kPreviewSlice));
    } catch (const std::exception&) {
        return PictureHandle{};
    }
    return loadPicture();
}

PictureHandle ListPreviews::next(const std::string& name) {
    const auto report = [&](const std::string& description) { platform_.MessageBox("LoadTWC\n" + description); };
    SliceRead got;
    try {
        SetFileReader reader;
        if (reader.open(platform_, name, report)) got = reader.read(0, kSliceCount);
    } catch (const std::exception& e) {
        report(e.what());
        return preview();
    }
    const std::size_t count = got.slices.size();
    if (count == 0) {
        if (got.failure) report(*got.failure);
        return preview();
    }

    // The load would write each slice it read to the scratch file in turn; one write
    // stands for them all. When slice 2 is among them that is the preview's own write,
    // else it is the last slice, which the preview then shows if the set has no slice 2.
    const bool hasPreview = count > static_cast<std::size_t>(kPreviewSlice);
    try {
        writeScratch(got.slices[hasPreview ? kPreviewSlice : count - 1]);
    } catch (const std::exception& e) {
        // The load stops at its first write: slot 0 has the new image, no pointer.
        pending_[0] = std::move(got.slices[0]);
        fresh_.set(0);
        pointed_.reset(0);
        report(e.what());
        return preview();
    }
    for (std::size_t i = 0; i < count; ++i) {
        pending_[i] = std::move(got.slices[i]);
        fresh_.set(i);
        pointed_.set(i);
    }
    if (got.failure) report(*got.failure);
    return hasPreview ? loadPicture() : preview();
}

void ListPreviews::finish() {
    const bool pointers = (fresh_ & pointed_).any();
    try {
        for (std::size_t i = 0; i < kSliceCount; ++i) {
            if (!fresh_[i]) continue;
            fresh_.reset(i);
            if (pointed_[i]) InstallSlice(platform_, set_, i, std::move(pending_[i]), scratch());
            else set_.images[i] = std::move(pending_[i]);
        }
    } catch (const std::exception& e) {
        platform_.MessageBox(std::string("LoadTWC\n") + e.what());
    }
    fresh_.reset();
    if (!pointers) return;
    // The pointers went through the scratch file; it gets back what the list's last
    // picture left there, as if they had been made before it.
    try {
        WriteImageFile(scratchImage_, scratch());
    } catch (const std::exception&) {
        // Only the scratch file's first bytes differ; the set and its pointers stand.
    }
}

}  // namespace tarn

#include "cursorset/list_previews.h"

#include <exception>
#include <optional>
#include <utility>

namespace tarn {

ListPreviews::ListPreviews(Platform& platform, CursorSet& set, Report report, Folders folders)
    : platform_(platform), set_(set), report_(std::move(report)), folders_(std::move(folders)) {}

ListPreviews::Bytes ListPreviews::image(std::size_t slot) const {
    if (partFresh_[slot]) return part_[slot];
    if (wholeFresh_) return Bytes(whole_).subspan(slot * kSliceBytes, kSliceBytes);
    return set_.images[slot];
}

void ListPreviews::writeScratch(Bytes bytes) {
    set_.scratch.write(platform_, folders_, bytes);
    if (!bytes.empty()) scratchImage_.assign(bytes.begin(), bytes.end());
}

PictureHandle ListPreviews::loadPicture(bool quiet) {
    try {
        return platform_.LoadPicture(set_.scratch.path());
    } catch (const std::exception& e) {
        if (!quiet) report_(e.what());
        return PictureHandle{};
    }
}

// LoadPreview of the set as the loads so far would have left it. Before any set has
// loaded there is no picture to make, and the blank is no failure.
PictureHandle ListPreviews::preview() {
    const bool quiet = image(kPreviewSlice).empty();
    try {
        writeScratch(image(kPreviewSlice));
    } catch (const std::exception& e) {
        if (!quiet) report_(e.what());
        return PictureHandle{};
    }
    return loadPicture(quiet);
}

void ListPreviews::takePart(Bytes file, std::size_t count, bool pointed) {
    CutSlices(file.first(count * kSliceBytes), part_);
    for (std::size_t i = 0; i < count; ++i) {
        partFresh_.set(i);
        pointed_.set(i, pointed);
    }
}

std::optional<SliceRead> ListPreviews::read(const std::string& name) {
    try {
        SliceRead got;
        SetFileReader reader;
        if (reader.open(platform_, name, report_, folders_)) got = reader.read(0, kSliceCount, bytes_);
        return got;
    } catch (const std::exception& e) {
        report_(e.what());
        return std::nullopt;
    }
}

void ListPreviews::takeFirstOnly(Bytes file) {
    // The load stops at its first write: slot 0 has the new image, and the pointer
    // an earlier load made, if any.
    if (pointed_[0] && (partFresh_[0] || wholeFresh_)) {
        const Bytes made = image(0);
        pointerOnly_.assign(made.begin(), made.end());
        pointerOnlyFresh_ = true;
    }
    takePart(file, 1, false);
}

void ListPreviews::takeRead(std::size_t count) {
    pointerOnlyFresh_ = false;
    if (count == kSliceCount) {
        whole_.swap(bytes_);  // what whole_ held is reused by the next read
        wholeFresh_ = true;
        partFresh_.reset();
        pointed_.set();
    } else {
        takePart(bytes_, count, true);
    }
}

PictureHandle ListPreviews::next(const std::string& name) {
    const std::optional<SliceRead> got = read(name);
    const std::size_t count = got ? got->slices() : 0;
    if (count == 0) {
        if (got && got->failure) report_(*got->failure);
        return preview();
    }

    // The load would write each slice it read to the scratch file in turn; one write
    // stands for them all. When slice 2 is among them that is the preview's own write,
    // else it is the last slice, which the preview then shows if the set has no slice 2.
    const Bytes file(bytes_.data(), got->bytes);
    const bool hasPreview = count > static_cast<std::size_t>(kPreviewSlice);
    try {
        writeScratch(file.subspan((hasPreview ? kPreviewSlice : count - 1) * kSliceBytes, kSliceBytes));
    } catch (const std::exception& e) {
        takeFirstOnly(file);
        report_(e.what());
        return preview();
    }
    takeRead(count);
    if (got->failure) report_(*got->failure);
    return hasPreview ? loadPicture() : preview();
}

void ListPreviews::finish() {
    SetImages images;
    std::bitset<kSliceCount> fresh = partFresh_;
    if (wholeFresh_) {
        images = *ParseSet(whole_);
        fresh.set();
    }
    for (std::size_t i = 0; i < kSliceCount; ++i)
        if (partFresh_[i]) images[i].swap(part_[i]);
    wholeFresh_ = false;
    partFresh_.reset();

    bool made = false, failed = false;
    for (std::size_t i = 0; i < kSliceCount; ++i) {
        if (!fresh[i]) continue;
        const Slice* pointer = pointed_[i] ? &images[i] : i == 0 && pointerOnlyFresh_ ? &pointerOnly_ : nullptr;
        if (pointer && !failed) {
            try {
                InstallSlice(platform_, set_, i, *pointer, folders_);
                made = true;
            } catch (const std::exception& e) {
                // The scratch file can no longer be written: the slots keep their old
                // pointers, and the loads' images all the same.
                failed = true;
                report_(e.what());
            }
        }
        set_.images[i] = std::move(images[i]);
    }
    pointerOnlyFresh_ = false;
    if (!made) return;
    // The pointers went through the scratch file; it gets back what the list's last
    // picture left there, as if they had been made before it.
    try {
        set_.scratch.write(platform_, folders_, scratchImage_);
    } catch (const std::exception&) {
        // Only the scratch file's first bytes differ; the set and its pointers stand.
    }
}

}  // namespace tarn

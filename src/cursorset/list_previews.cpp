#include "cursorset/list_previews.h"

#include <exception>
#include <utility>

namespace tarn {

ListPreviews::ListPreviews(Platform& platform, CursorSet& set, Report report, Folders folders)
    : platform_(platform), set_(set), report_(std::move(report)), folders_(std::move(folders)) {}

void ListPreviews::write(std::span<const unsigned char> bytes) {
    set_.scratch.write(platform_, folders_, bytes);
    if (!bytes.empty()) scratch_.assign(bytes.begin(), bytes.end());
}

void ListPreviews::take(std::span<const unsigned char> file, std::size_t count) {
    CutSlices(file.first(count * kSliceBytes), set_.images);
    for (std::size_t i = 0; i < count; ++i) {
        set_.companions[i] = nullptr;
        set_.madeAt[i] = 0;
    }
}

PictureHandle ListPreviews::preview(bool written) {
    // Before any set has loaded there is no picture to make, and the blank is no failure.
    const bool quiet = set_.images[kPreviewSlice].empty();
    try {
        if (!written) write(set_.images[kPreviewSlice]);
        return platform_.LoadPicture(set_.scratch.path());
    } catch (const std::exception& e) {
        if (!quiet) report_(e.what());
        return PictureHandle{};
    }
}

PictureHandle ListPreviews::next(const std::string& name) {
    SliceRead got;
    try {
        SetFileReader reader;
        if (reader.open(platform_, name, report_, folders_)) got = reader.read(0, kSliceCount, bytes_);
    } catch (const std::exception& e) {
        report_(e.what());
    }
    const std::span<const unsigned char> file(bytes_.data(), got.bytes);
    const std::size_t count = got.slices();
    const bool hasPreview = count > static_cast<std::size_t>(kPreviewSlice);
    if (count > 0) {
        // The load writes each slice it reads to the scratch file in turn; one write
        // stands for them all. It leaves the last there, or slice 2, which the preview
        // writes next.
        try {
            write(file.subspan((hasPreview ? kPreviewSlice : count - 1) * kSliceBytes, kSliceBytes));
        } catch (const std::exception& e) {
            // The load stops at its first write: slot 0 has the new image beside the
            // pointer it had.
            take(file, 1);
            report_(e.what());
            return preview(false);
        }
        take(file, count);
        CutSlices(file, pointers_);
    }
    if (got.failure) report_(*got.failure);
    return preview(hasPreview);
}

void ListPreviews::finish() {
    bool made = false;
    for (std::size_t i = 0; i < kSliceCount; ++i) {
        if (pointers_[i].empty()) continue;
        try {
            MakeSlotPointer(platform_, set_, i, pointers_[i], folders_);
            made = true;
        } catch (const std::exception& e) {
            // The scratch file can no longer be written: the slots left keep their old
            // pointers beside the loads' images, for the next FitPointers to make again.
            report_(e.what());
            break;
        }
    }
    pointers_ = {};
    if (!made) return;
    // The pointers went through the scratch file; it gets back what the list's last
    // picture left there, as if they had been made before it.
    try {
        write(scratch_);
    } catch (const std::exception&) {
        // Only the scratch file's first bytes differ; the set and its pointers stand.
    }
}

}  // namespace tarn

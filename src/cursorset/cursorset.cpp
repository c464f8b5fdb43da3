#include "cursorset/cursorset.h"

#include <algorithm>
#include <array>
#include <exception>
#include <span>
#include <utility>

#include "cursorset/cursor_check.h"
#include "cursorset/set_file.h"
#include "files/file_names.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// Stores the new handle in slot i and releases the one it replaces, unless that one
// is still held by another slot: a load that stopped half way leaves old and new
// handles side by side, and only a handle no slot holds any more may go.
void replaceHandle(Platform& platform, CursorSet& set, std::size_t i, CursorHandle fresh) {
    const CursorHandle old = set.handles[i];
    set.handles[i] = fresh;
    if (old.isNull()) return;
    if (std::find(set.handles.begin(), set.handles.end(), old) != set.handles.end()) return;
    platform.DestroyCursor(old);
}

// One slice made into a pointer through the set's scratch file; a null one when the
// loader refuses it. A slice whose picture has no pixels would end the program inside
// the loader: it is refused here, as the loader refuses any other slice that is no
// cursor. Throws the scratch file's exceptions.
CursorHandle makePointer(Platform& platform, CursorSet& set, const Folders& folders,
                         std::span<const unsigned char> image) {
    const fs::path& scratch = set.scratch.write(platform, folders, image);
    return DescribesImage(image) ? platform.LoadCursorFromFile(scratch) : CursorHandle{};
}

}  // namespace

void MakeSlotPointer(Platform& platform, CursorSet& set, std::size_t index, std::span<const unsigned char> image,
                     const Folders& folders) {
    replaceHandle(platform, set, index, makePointer(platform, set, folders, image));
}

PictureHandle LoadPreview(Platform& platform, CursorSet& set, const Folders& folders) {
    return platform.LoadPicture(set.scratch.write(platform, folders, set.images[kPreviewSlice]));
}

bool LoadTWC(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders,
             WithoutCursor withoutCursor) {
    const auto report = [&](const std::string& description) { platform.MessageBox("LoadTWC\n" + description); };
    // The file's slices and their pointers wait here until the file is read to its end,
    // so that a file without a single cursor in it replaces nothing. Slice by slice, each
    // made into a pointer before the next is read: a failure half way hands the slots
    // made before it over to the set.
    std::array<Slice, kSliceCount> images;
    std::array<CursorHandle, kSliceCount> handles{};
    std::size_t made = 0;    // slots with their image and pointer
    bool imageOnly = false;  // slot `made` has its image; its pointer could not be made
    try {
        SetFileReader reader;
        if (!reader.open(platform, name, report, folders)) return false;
        for (; made < kSliceCount; ++made) {
            const SliceRead got = reader.read(made, 1, images[made]);
            if (got.slices() == 0) {
                report(*got.failure);
                break;
            }
            imageOnly = true;
            handles[made] = makePointer(platform, set, folders, images[made]);
            imageOnly = false;
        }
        const bool noCursor = std::all_of(handles.begin(), handles.end(), [](CursorHandle h) { return h.isNull(); });
        if (made == kSliceCount && noCursor && withoutCursor == WithoutCursor::Refuse) {
            made = 0;  // refused: nothing is handed over, even should saying so fail
            report("Cannot use " + Utf8FromPath(reader.file()) +
                   ": none of its 16 images is a pointer the system can load.");
            return false;
        }
    } catch (const std::exception& e) {
        report(e.what());
    }
    for (std::size_t i = 0; i < made; ++i) {
        set.images[i] = std::move(images[i]);
        replaceHandle(platform, set, i, handles[i]);
    }
    if (imageOnly) set.images[made] = std::move(images[made]);
    return made == kSliceCount;
}

}  // namespace tarn

#include "cursorset/cursorset.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "cursorset/cursor_check.h"
#include "cursorset/set_file.h"

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

}  // namespace

void InstallSlice(Platform& platform, CursorSet& set, std::size_t index, std::vector<unsigned char> image,
                  const Folders& folders) {
    set.images[index] = std::move(image);
    const fs::path& scratch = set.scratch.write(platform, folders, set.images[index]);
    // A slice whose picture has no pixels would end the program inside the loader; it
    // is refused here as the loader refuses any other slice that is no cursor.
    const bool loadable = DescribesImage(set.images[index]);
    replaceHandle(platform, set, index, loadable ? platform.LoadCursorFromFile(scratch) : CursorHandle{});
}

PictureHandle LoadPreview(Platform& platform, CursorSet& set, const Folders& folders) {
    return platform.LoadPicture(set.scratch.write(platform, folders, set.images[kPreviewSlice]));
}

void LoadTWC(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders) {
    const auto report = [&](const std::string& description) { platform.MessageBox("LoadTWC\n" + description); };
    try {
        SetFileReader reader;
        if (!reader.open(platform, name, report, folders)) return;
        // Slice by slice, each made into a pointer before the next is read: a failure
        // half way leaves the slots before it with the new set.
        for (std::size_t i = 0; i < kSliceCount; ++i) {
            Slice slice;
            const SliceRead got = reader.read(i, 1, slice);
            if (got.slices() == 0) {
                report(*got.failure);
                return;
            }
            InstallSlice(platform, set, i, std::move(slice), folders);
        }
    } catch (const std::exception& e) {
        report(e.what());
    }
}

}  // namespace tarn

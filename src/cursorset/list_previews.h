// The pictures of the set list, made as a load of each listed set followed by its
// preview would make them, without sixteen pointers for every set.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cursorset/cursorset.h"
#include "cursorset/set_file.h"
#include "platform/platform.h"

namespace tarn {

// Each listed set is read whole and its images go into the set as the load would put
// them there; one write to the scratch file stands for the load's sixteen, and only the
// pointers wait: finish() makes them once, of the images the last loads to make each
// slot's pointer would have made it of. Everything else is as LoadTWC (taking a file
// without a cursor, WithoutCursor::Take) then LoadPreview: the same failures, passed to
// `report` as their descriptions instead of shown, the same picture for each set (the
// one before for a set that does not load), and the same scratch file contents. Telling
// a file without a cursor from one whose preview alone is broken would take a pointer of
// every set: such a file is taken as any other, and a preview of it that is no picture
// is said with its name.
class ListPreviews {
public:
    using Report = std::function<void(const std::string&)>;
    ListPreviews(Platform& platform, CursorSet& set, Report report, Folders folders = {});

    // The picture LoadTWC(name) then LoadPreview would give, or a null one when that
    // preview could not be made. What the load reports, and why the preview of a set
    // could not be made, go to `report`. Never throws.
    PictureHandle next(const std::string& name);

    // Makes the pointers the loads would have made, releasing the handles they replace.
    // A failure goes to `report`, as the load would have said it; a scratch file that
    // could be written for the list and no longer can costs the pointers after it.
    // Never throws; does nothing twice.
    void finish();

private:
    // The first `count` slices of `file` into the set's images, each newer than its
    // slot's pointer (made of the slice, not of large pictures) until finish() makes it;
    // one it cannot make is made by the next FitPointers.
    void take(std::span<const unsigned char> file, std::size_t count);
    // Writes `bytes` to the scratch file, and remembers them when there are any.
    void write(std::span<const unsigned char> bytes);
    // LoadPreview of the set as it stands, its write left out when the scratch file has
    // just been given slice 2.
    PictureHandle preview(bool written);

    Platform& platform_;
    CursorSet& set_;
    Report report_;
    Folders folders_;
    std::vector<unsigned char> bytes_;  // the set file read last
    // Each slot's pointer to be, as the image a load would have made it of; empty where
    // no load made one and the slot keeps its handle.
    SetImages pointers_;
    Slice scratch_;  // what was last written to the scratch file
};

}  // namespace tarn

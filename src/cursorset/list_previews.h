// The pictures of the set list, made as a load of each listed set followed by its
// preview would make them, without sixteen pointers for every set.
#pragma once

#include <bitset>
#include <filesystem>
#include <string>

#include "cursorset/cursorset.h"
#include "cursorset/set_file.h"
#include "platform/platform.h"

namespace tarn {

// Each listed set is read and only its slice 2 goes through the scratch file to become
// the picture; the slices a load would have put in the set wait here, and finish()
// makes them into pointers once, for the set the last of those loads would have left.
// Everything else is as LoadTWC then LoadPreview: the same messages ("LoadTWC\n..."),
// the same picture for each set (the one before for a set that does not load), and
// the same scratch file contents.
class ListPreviews {
public:
    ListPreviews(Platform& platform, CursorSet& set);

    // The picture LoadTWC(name) then LoadPreview would give, or a null one when that
    // preview could not be made. Never throws.
    PictureHandle next(const std::string& name);

    // Makes the set what the loads would have left: a pointer for every slot a listed
    // set gave a new image, the replaced handles released. A failure shows "LoadTWC\n"
    // and its description, as the load would have. Never throws; does nothing twice.
    void finish();

private:
    const Slice& image(std::size_t slot) const { return fresh_[slot] ? pending_[slot] : set_.images[slot]; }
    const std::filesystem::path& scratch();
    void writeScratch(const Slice& bytes);
    PictureHandle preview();
    PictureHandle loadPicture();

    Platform& platform_;
    CursorSet& set_;
    std::filesystem::path scratch_;
    SetImages pending_;                 // images a load put in a slot, not yet pointers
    std::bitset<kSliceCount> fresh_;    // the slots whose image is in pending_
    std::bitset<kSliceCount> pointed_;  // ... and whose load made a pointer of it
    Slice scratchImage_;                // what was last written to the scratch file
};

}  // namespace tarn

// The pictures of the set list, made as a load of each listed set followed by its
// preview would make them, without sixteen pointers for every set.
#pragma once

#include <bitset>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cursorset/cursorset.h"
#include "cursorset/set_file.h"
#include "platform/platform.h"

namespace tarn {

// Each listed set is read and only its slice 2 goes through the scratch file to become
// the picture; the slices a load would have put in the set wait here, and finish()
// makes them into pointers once, for the set the last of those loads would have left.
// Everything else is as LoadTWC (taking a file without a cursor, WithoutCursor::Take)
// then LoadPreview: the same failures, passed to `report` as their descriptions instead
// of shown, the same picture for each set (the one before for a set that does not load),
// and the same scratch file contents. Telling a file without a cursor from one whose
// preview alone is broken would take a pointer of every set: such a file is taken as
// any other, and a preview of it that is no picture is said with its name.
class ListPreviews {
public:
    using Report = std::function<void(const std::string&)>;
    ListPreviews(Platform& platform, CursorSet& set, Report report, Folders folders = {});

    // The picture LoadTWC(name) then LoadPreview would give, or a null one when that
    // preview could not be made. What the load reports, and why the preview of a set
    // could not be made, go to `report`. Never throws.
    PictureHandle next(const std::string& name);

    // Makes the set what the loads would have left: a pointer for every slot a listed
    // set gave a new image, the replaced handles released. A failure goes to `report`,
    // as the load would have said it; a scratch file that could be written for the list
    // and no longer can costs the pointers made after it. Never throws; does nothing
    // twice.
    void finish();

private:
    using Bytes = std::span<const unsigned char>;
    // Slot `slot` of the set as the loads so far would have left it.
    Bytes image(std::size_t slot) const;
    void writeScratch(Bytes image);
    void takePart(Bytes file, std::size_t count, bool pointed);
    // The set file `name` read into bytes_, as far as it goes, as the load opens and
    // reads it; nothing when that threw, which is reported.
    std::optional<SliceRead> read(const std::string& name);
    // The first `count` slices of bytes_, read by a load that wrote them all.
    void takeRead(std::size_t count);
    // Slice 0 of `file`, from a load that stopped at its first scratch write.
    void takeFirstOnly(Bytes file);
    PictureHandle preview();
    PictureHandle loadPicture(bool quiet = false);

    Platform& platform_;
    CursorSet& set_;
    Report report_;
    Folders folders_;
    std::vector<unsigned char> bytes_;  // the set file read last
    // A load that read the whole file gives every slot: its bytes are kept whole. One
    // that stopped short gives the slots before that, which are kept one by one.
    std::vector<unsigned char> whole_;
    bool wholeFresh_ = false;
    SetImages part_;
    std::bitset<kSliceCount> partFresh_;
    std::bitset<kSliceCount> pointed_;  // the slots whose new image the load made a pointer of
    // Slot 0's pointer from an earlier load, under an image a later load that stopped at
    // its first scratch write put there.
    Slice pointerOnly_;
    bool pointerOnlyFresh_ = false;
    Slice scratchImage_;                // what was last written to the scratch file
};

}  // namespace tarn

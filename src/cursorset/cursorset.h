// A cursor set: sixteen direction images cut from one .TWC file, and the pointer
// handles the platform made from them, at the size Windows draws its pointers now: each
// drawn from the set's large pictures (cursorset/companion.h) where it has them, else
// from its 32 x 32 slice, which the system then stretches. Every image reaches the
// platform through the set's scratch file (files/scratch_file.h), in the program folder
// or the per-user one (files/folders.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cursorset/companion.h"
#include "cursorset/twc_format.h"
#include "files/folders.h"
#include "files/scratch_file.h"
#include "platform/platform.h"

namespace tarn {

// The sides PointerSide trusts; anything else the system says is taken for a failure.
inline constexpr int kMinPointerSide = 16;
inline constexpr int kMaxPointerSide = 512;

// The side, in pixels, Windows draws its pointers at now: the size of the user's I-beam
// as the system loaded it (a pointer the program never replaces; Windows loads every
// pointer of the scheme at one size, which follows both the display scaling and the
// pointer-size setting), else the nominal size SM_CXCURSOR, which follows the scaling
// alone, else 32.
int PointerSide(Platform& platform);

// Indexed by direction: 0 up, 2 up-right (the preview), 4 right, 8 down, 12 left.
// Empty images and null handles until the first load. One set lives as long as the run,
// and so does the scratch file its images go through.
struct CursorSet {
    std::array<std::vector<unsigned char>, kSliceCount> images;
    std::array<CursorHandle, kSliceCount> handles;
    ScratchFile scratch;
    // The side pointers are made at: PointerSide, measured by the form at start-up and
    // whenever the system says something may have changed it.
    int side = kSliceSide;
    // Each slot's pointer: the side it was made at (0: none yet, or its image is newer
    // than its pointer), and the large pictures it was drawn from (none: its slice). The
    // pictures are kept decoded, 4 MiB at the largest, so a new size makes the pointers
    // anew from what was loaded, never reading again a file that may have changed or
    // gone since, and never saying anything about it in the middle of a rotation.
    std::array<int, kSliceCount> madeAt{};
    std::array<std::shared_ptr<const Companion>, kSliceCount> companions;
    // The large pictures whose fault was said this run, by path: once is enough.
    std::set<std::string> saidCompanions;
    // The side a remaking of the pointers failed at (the scratch file could not be
    // written): not tried again until the side changes.
    int refusedSide = 0;
};

// What a load does with a file none of whose sixteen slices is a cursor.
enum class WithoutCursor {
    Refuse,  // keep the set as it is and say so: such a file is no set to rotate with
    Take,    // take its images and null handles, as the list's reading of every set does
};

// Loads the named set from the first of the set folders that holds it (SetFolders).
// True when the set now holds all sixteen slices of that file. A missing file, a file
// that is not exactly 35808 bytes, an empty name (no set chosen yet) or a name that is
// not a bare file name changes nothing and says nothing. A file none of whose slices is
// a cursor is refused (WithoutCursor::Refuse): the set stays as it was and
// "LoadTWC\n" and a description naming the file are shown. Any other failure shows
// "LoadTWC\n" and a description and returns false; slots loaded before the failure keep
// the new set, and the failing slot its new image beside its old pointer when the
// scratch file failed. A slice that is not a cursor, or whose picture has no pixels
// (never handed to the loader), leaves a null handle. Handles of the previous set are
// released as they are replaced. Never throws.
// The pointers are made at set.side, from the set's large pictures when it has them
// (NAME.png beside NAME.TWC, the name as the file system matches it; none is silence).
// Large pictures that cannot be used (unreadable, not a PNG, the wrong grid, too large)
// leave the set at its slices and are said once a run, after the set is in place:
// "LoadTWC\n", the picture file, what is wrong with it, and that the set's 32 x 32
// pictures are used.
bool LoadTWC(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders = {},
             WithoutCursor withoutCursor = WithoutCursor::Refuse);

// Makes slot `index`'s pointer (at set.side, from the slice `image`) through the scratch
// file, releasing the handle it replaces; the slot's image is left as it is. A pointer
// made of another image than the slot's is made again by the next FitPointers. Throws
// the scratch file's exceptions, with the old handle kept.
void MakeSlotPointer(Platform& platform, CursorSet& set, std::size_t index, std::span<const unsigned char> image,
                     const Folders& folders);

// Makes again, at set.side, every pointer made at another side, from the same pictures.
// All are made before any replaces its slot, and the old handles are released only once
// every slot holds its new one, so the set never holds a released handle. A scratch
// file that cannot be written leaves the set as it is, and that side is not tried
// again. True when the handles changed. Never throws.
bool FitPointers(Platform& platform, CursorSet& set, const Folders& folders = {});

// Image 2 through the scratch file, loaded as a picture. Throws on failure
// (PlatformError from the picture loader, or the scratch file's exception).
PictureHandle LoadPreview(Platform& platform, CursorSet& set, const Folders& folders = {});

}  // namespace tarn

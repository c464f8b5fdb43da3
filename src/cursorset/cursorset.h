// A cursor set: sixteen direction images cut from one .TWC file, and the pointer
// handles the platform made from them. Every image reaches the platform through the
// set's scratch file (files/scratch_file.h), in the program folder or the per-user
// one (files/folders.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cursorset/twc_format.h"
#include "files/folders.h"
#include "files/scratch_file.h"
#include "platform/platform.h"

namespace tarn {

// Indexed by direction: 0 up, 2 up-right (the preview), 4 right, 8 down, 12 left.
// Empty images and null handles until the first load. One set lives as long as the run,
// and so does the scratch file its images go through.
struct CursorSet {
    std::array<std::vector<unsigned char>, kSliceCount> images;
    std::array<CursorHandle, kSliceCount> handles;
    ScratchFile scratch;
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
bool LoadTWC(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders = {},
             WithoutCursor withoutCursor = WithoutCursor::Refuse);

// Makes slot `index`'s pointer of `image` through the scratch file, releasing the handle
// it replaces; the slot's image is left as it is. Throws the scratch file's exceptions,
// with the old handle kept.
void MakeSlotPointer(Platform& platform, CursorSet& set, std::size_t index, std::span<const unsigned char> image,
                     const Folders& folders);

// Image 2 through the scratch file, loaded as a picture. Throws on failure
// (PlatformError from the picture loader, or the scratch file's exception).
PictureHandle LoadPreview(Platform& platform, CursorSet& set, const Folders& folders = {});

}  // namespace tarn

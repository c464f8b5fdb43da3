// Whether a cursor file's pictures have any pixels at all, asked before a file is
// handed to the system. The system's cursor loader scales a bitmap to the pointer size
// by dividing by the size its header gives, so a header that says width 0, or a height
// of -1 to 1 (the colour and mask rows counted together, leaving no row of either),
// ends the whole process inside the loader. Such a file is no pointer and no picture.
// Every other lie (huge sizes and offsets, negative sizes, odd bit counts, palettes,
// compression, a PNG entry) is for the loader to take or refuse.
#pragma once

#include <span>

namespace tarn {

// False when any directory entry of the file points at a bitmap header, in the file,
// that describes an empty picture: the loader picks its entry by the pointer size the
// display wants, so each one must be safe to pick.
bool DescribesImage(std::span<const unsigned char> cursorFile);

}  // namespace tarn

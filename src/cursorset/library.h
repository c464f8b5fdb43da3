// The set library: every .TWC file in the program folder, listed with its preview.
#pragma once

#include "cursorset/cursorset.h"
#include "platform/platform.h"

namespace tarn {

// Fills the list view and its image list with every *.TWC file (any letter case) in
// the program folder, sorted by name. Each set shows the picture a load of it and its
// preview would give (the set before it for a set that does not load, a blank when no
// preview can be made), and the set ends up as those loads would leave it, though only
// its final slices are made into pointers. Any other failure shows
// "ShowIcons\n<file>\n<description>" and returns false; the caller then ends the
// program, after removing what it set up before the list (the tray icon).
bool ShowIcons(Platform& platform, CursorSet& set);

}  // namespace tarn

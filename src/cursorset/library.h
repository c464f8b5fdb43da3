// The set library: every .TWC file in the program folder, listed with its preview.
#pragma once

#include "cursorset/cursorset.h"
#include "platform/platform.h"

namespace tarn {

// Fills the list view and its image list with every *.TWC file (any letter case) in
// the program folder, sorted by name. Each set is loaded to make its preview; a set
// whose preview cannot be made gets a blank picture. Any other failure shows
// "ShowIcons\n<file>\n<description>" and returns false; the caller then ends the
// program, after removing what it set up before the list (the tray icon).
bool ShowIcons(Platform& platform, CursorSet& set);

}  // namespace tarn

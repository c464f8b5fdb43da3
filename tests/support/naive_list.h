// The set list built the plain way: each listed file loaded in full with LoadTWC, then
// its preview with LoadPreview. What ShowIcons shows and leaves must be what this shows
// and leaves; the benchmark measures ShowIcons against it.
#pragma once

#include <string>
#include <vector>

#include "cursorset/cursorset.h"
#include "platform/platform.h"

namespace tarn::testing {

// `files` are the listed file names in list order. Same messages and result as ShowIcons.
bool ShowIconsLoadingEverySet(Platform& platform, CursorSet& set, const std::vector<std::string>& files);


}  // namespace tarn::testing

// The set list built the plain way: each listed file loaded in full with LoadTWC, then
// its preview with LoadPreview. What ShowIcons shows and leaves must be what this shows
// and leaves; the benchmark measures ShowIcons against it.
#pragma once

#include <string>
#include <vector>

#include "cursorset/cursorset.h"
#include "support/recording_platform.h"

namespace tarn::testing {

// `files` are the listed file names in list order. Same messages and result as ShowIcons:
// what the loads show and why a preview could not be made are taken back from the fake's
// messages and said the list's way, once per cause (ListFailures).
bool ShowIconsLoadingEverySet(RecordingPlatform& platform, CursorSet& set, const std::vector<std::string>& files);

}  // namespace tarn::testing

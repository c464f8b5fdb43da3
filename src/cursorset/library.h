// The set library: every .TWC file in the program folder, listed with its preview,
// and the activation of the selected set.
#pragma once

#include <functional>
#include <string>

#include "cursorset/cursorset.h"
#include "platform/platform.h"
#include "settings/settings.h"

namespace tarn {

// Fills the list view and its image list with every *.TWC file (any letter case) in
// the program folder, sorted by name. Each set is loaded to make its preview; a set
// whose preview cannot be made gets a blank picture. Any other failure shows
// "ShowIcons\n<file>\n<description>" and returns false; the caller then ends the
// program, after removing what it set up before the list (the tray icon).
bool ShowIcons(Platform& platform, CursorSet& set);

// What the list's double-click needs from the form.
struct SetActivation {
    Platform& platform;
    CursorSet& set;
    Settings& settings;
    std::string& okTag;                           // the OK label's tag: "Start" until rotation starts, then "OK"
    std::function<void()> captureWithoutParking;  // the form's CaptureUserPointers(false)
    std::function<void()> resetTracker;           // ResetTracker
    std::function<void()> rotateTick;             // RotateTick
};

// The list's double-click: makes the selected set the remembered one, captures the
// user's pointers if rotation has not started, loads and previews the set, and starts
// rotating at once. With nothing selected it does nothing.
void ActivateSelectedSet(SetActivation& activation);

}  // namespace tarn

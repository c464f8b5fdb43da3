// The set library: every .TWC file in the program folder, then in the user's own sets
// folder, listed with its preview.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cursorset/cursorset.h"
#include "platform/platform.h"

namespace tarn {

// Fills the list view and its image list with every *.TWC file (any letter case) in
// the set folders (SetFolders): the program folder's sorted by name, then the user's own
// sorted by name. A user's set whose name the program folder has too, in any ASCII
// letter case, is left out: loading it by name would load the program folder's. Each
// set shows the picture a load of it and its preview would give (the set before it for
// a set that does not load, a blank when no preview can be made), and the set ends up
// as those loads would leave it, though only its final slices are made into pointers. A file whose set name the list already holds
// (a case-sensitive folder with "Blue.TWC" and "Blue.twc") is left out. What failed for
// a set is said once the list is built, once per cause (ListFailures), and the list
// goes on. Adding a picture or an item failing shows "ShowIcons\n<file>\n<description>"
// and returns false; the caller then ends the program, after removing what it set up
// before the list (the tray icon). `stopped` is asked before each set and after each
// box: once it is true (a close request arrived while a box was up) nothing more is
// done or said, and the result is true, since the closing form ends the program itself.
// A user's sets folder that is not there is no failure; one that cannot be listed is
// said once, and the list goes on without it. `listed`, when given, gets the set names
// the list holds, in its order.
bool ShowIcons(Platform& platform, CursorSet& set, const std::function<bool()>& stopped = {},
               const Folders& folders = {}, std::vector<std::string>* listed = nullptr);

// What failed while the list was built, said once per cause: a scratch file that takes
// no write, or thirty sets the program may not open, is one box, not one per set. Two
// failures have the same cause when their descriptions are the same once the set file
// each names is left out ("Cannot open <set>: Permission denied"); what else differs,
// such as the slice a read stopped at, is another cause. The box names the first set
// the cause hit and, when it hit more than one, how many:
// "ShowIcons\n<file>\n<description> (30 sets)"; a cause of one set is said as any
// failure of the list is, "ShowIcons\n<file>\n<description>".
class ListFailures {
public:
    explicit ListFailures(std::vector<std::filesystem::path> folders) : folders_(std::move(folders)) {}

    // A failure met while the set file `fileName` in one of the folders was processed. The same
    // cause met again for the same set counts once.
    void add(const std::string& fileName, const std::string& description);

    // One box per cause, in the order they were first met. False, with nothing more
    // shown, as soon as `stopped` is true after a box.
    bool show(Platform& platform, const std::function<bool()>& stopped) const;

private:
    struct Cause {
        std::string file, description, lastFile;
        std::size_t sets = 1;
    };
    std::vector<std::filesystem::path> folders_;
    std::vector<Cause> causes_;
    std::map<std::string, std::size_t> byCause_;
};

}  // namespace tarn

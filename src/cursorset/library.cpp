#include "cursorset/library.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <string_view>
#include <vector>

#include "cursorset/files.h"
#include "cursorset/list_previews.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

bool hasSetExtension(std::string_view fileName) {
    return fileName.size() >= 4 && SameIgnoringAsciiCase(fileName.substr(fileName.size() - 4), ".TWC");
}

// The set files in the folder, sorted by their UTF-8 names so the list has the same
// order on every run and every system. Folders are not sets.
std::vector<std::string> listSetFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code ec;
        if (entry.is_directory(ec)) continue;
        std::string name = Utf8FromPath(entry.path().filename());
        if (hasSetExtension(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

bool ShowIcons(Platform& platform, CursorSet& set) {
    std::string fileName;  // the file being processed, for the message
    ListPreviews previews(platform, set);
    try {
        platform.ClearListViewSmallIcons();
        platform.ClearListView();
        platform.ClearImageList();
        for (const std::string& name : listSetFiles(platform.ProgramFolder())) {
            fileName = name;
            const std::string setName = name.substr(0, name.size() - 4);
            // One set without a picture (a bad first file before any set loaded) must
            // not keep the others from being offered: it is shown blank.
            platform.AddImageListPicture(setName, previews.next(name));
            platform.AddListViewItem(setName, setName, setName);
        }
    } catch (const std::exception& e) {
        previews.finish();
        platform.MessageBox("ShowIcons\n" + fileName + "\n" + e.what());
        return false;
    }
    previews.finish();
    return true;
}

}  // namespace tarn

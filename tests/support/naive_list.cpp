#include "support/naive_list.h"

#include <exception>

#include "cursorset/library.h"

namespace tarn::testing {

bool ShowIconsLoadingEverySet(RecordingPlatform& platform, CursorSet& set, const std::vector<std::string>& files) {
    std::string fileName;
    ListFailures failures({platform.ProgramFolder()});
    try {
        platform.ClearListViewSmallIcons();
        platform.ClearListView();
        platform.ClearImageList();
        for (const std::string& name : files) {
            fileName = name;
            const std::string setName = name.substr(0, name.size() - 4);
            const std::size_t shown = platform.messages.size();
            LoadTWC(platform, set, name, {}, WithoutCursor::Take);
            for (std::size_t i = shown; i < platform.messages.size(); ++i)
                failures.add(name, platform.messages[i].substr(platform.messages[i].find('\n') + 1));
            platform.messages.resize(shown);
            PictureHandle picture;
            try {
                picture = LoadPreview(platform, set);
            } catch (const std::exception& e) {
                if (!set.images[kPreviewSlice].empty()) failures.add(name, e.what());  // no set yet: a blank
                picture = PictureHandle{};
            }
            platform.AddImageListPicture(setName, picture);
            platform.AddListViewItem(setName, setName, setName);
        }
    } catch (const std::exception& e) {
        if (failures.show(platform, {})) platform.MessageBox("ShowIcons\n" + fileName + "\n" + e.what());
        return false;
    }
    failures.show(platform, {});
    return true;
}

}  // namespace tarn::testing

#include "support/naive_list.h"

#include <exception>

namespace tarn::testing {

bool ShowIconsLoadingEverySet(Platform& platform, CursorSet& set, const std::vector<std::string>& files) {
    std::string fileName;
    try {
        platform.ClearListViewSmallIcons();
        platform.ClearListView();
        platform.ClearImageList();
        for (const std::string& name : files) {
            fileName = name;
            const std::string setName = name.substr(0, name.size() - 4);
            LoadTWC(platform, set, name);
            PictureHandle picture;
            try {
                picture = LoadPreview(platform, set);
            } catch (const std::exception&) {
                picture = PictureHandle{};
            }
            platform.AddImageListPicture(setName, picture);
            platform.AddListViewItem(setName, setName, setName);
        }
    } catch (const std::exception& e) {
        platform.MessageBox("ShowIcons\n" + fileName + "\n" + e.what());
        return false;
    }
    return true;
}

}  // namespace tarn::testing

#include "cursorset/library.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "cursorset/list_previews.h"
#include "files/file_names.h"
#include "platform/messages.h"
#include "toolkit/keyed_collection.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// The set files in the folder, sorted by their UTF-8 names so the list has the same
// order on every run and every system. Folders are not sets. Throws when the folder
// cannot be listed.
std::vector<std::string> listSetFiles(Platform& platform, const fs::path& folder) {
    std::vector<std::string> names;
    for (FoundFile& entry : platform.FindFirstFile(folder))
        if (!entry.folder && HasSetExtension(entry.name)) names.push_back(std::move(entry.name));
    std::sort(names.begin(), names.end());
    return names;
}

// The user's own sets are an addition: a folder not made yet holds none, and one that
// cannot be listed is said and costs only its own sets (nothing, once it is said).
std::optional<std::vector<std::string>> userSetFiles(Platform& platform, const fs::path& folder) {
    std::error_code ec;
    if (fs::status(folder, ec).type() == fs::file_type::not_found) return std::vector<std::string>{};
    try {
        return listSetFiles(platform, folder);
    } catch (const std::exception& e) {
        platform.MessageBox(messages::ShowIconsText(Utf8FromPath(folder), e.what()));
        return std::nullopt;
    }
}

// The set names the list holds, by the list's own rule. A case-sensitive folder can hold
// "Blue.TWC" and "Blue.twc": one set name, a key the list refuses, which ended the
// program. The first in the list's order is listed and the other left out without a
// word (the list has no tooltips to carry a note): it stays in the folder untouched, a
// double-click on "Blue" could not choose it anyway, as it remembers "Blue.TWC", and a
// note would tell the user at every start of a file they can do nothing with here.
class ListedNames {
public:
    // True when the set of the program folder (`own`) or of the user's is to be listed.
    // A name the program folder has in another letter case names its file there on
    // Windows, which would load in place of the user's.
    bool take(const std::string& setName, bool own) {
        if (listed_.find(setName)) return false;
        if (own) programSets_.insert(UpperAscii(setName));
        else if (programSets_.count(UpperAscii(setName))) return false;
        listed_.add(setName);
        return true;
    }

private:
    toolkit::KeyedCollection listed_;
    std::set<std::string> programSets_;  // the program folder's set names in upper case
};

}  // namespace

void ListFailures::add(const std::string& fileName, const std::string& description) {
    // The descriptions name a set file by the path the loader opened; the cause is the
    // description without it.
    std::string cause = description;
    for (const fs::path& folder : folders_) {
        std::string named;
        try {
            named = Utf8FromPath(folder / PathFromUtf8(fileName));
        } catch (const std::exception&) {
            // A name that is not text names no file in any description.
        }
        std::string left;
        std::size_t from = 0, at = 0;
        while (!named.empty() && (at = cause.find(named, from)) != std::string::npos) {
            left.append(cause, from, at - from).push_back('\x01');
            from = at + named.size();
        }
        cause = left.append(cause, from);
    }

    const auto [it, fresh] = byCause_.try_emplace(std::move(cause), causes_.size());
    if (fresh) {
        causes_.push_back({fileName, description, fileName});
        return;
    }
    Cause& known = causes_[it->second];
    if (known.lastFile == fileName) return;
    known.lastFile = fileName;
    ++known.sets;
}

bool ListFailures::show(Platform& platform, const std::function<bool()>& stopped) const {
    for (const Cause& c : causes_) {
        platform.MessageBox(messages::ShowIconsText(c.file, c.description, c.sets));
        if (stopped && stopped()) return false;
    }
    return true;
}

bool ShowIcons(Platform& platform, CursorSet& set, const std::function<bool()>& stopped, const Folders& folders,
               std::vector<std::string>* listedNames) {
    const auto isStopped = [&] { return stopped && stopped(); };
    if (isStopped()) return true;
    std::string fileName;  // the file being processed, for the messages
    const std::vector<fs::path> setFolders = SetFolders(platform, folders);
    ListFailures failures(setFolders);
    ListPreviews previews(
        platform, set, [&](const std::string& description) { failures.add(fileName, description); }, folders);
    ListedNames listed;
    try {
        platform.ClearListViewSmallIcons();
        platform.ClearListView();
        if (listedNames) listedNames->clear();
        platform.ClearImageList();
        for (const fs::path& folder : setFolders) {
            const bool own = folder == setFolders.front();
            std::vector<std::string> names;
            if (own) {
                names = listSetFiles(platform, folder);
            } else if (std::optional<std::vector<std::string>> users = userSetFiles(platform, folder)) {
                names = std::move(*users);
            } else {
                if (isStopped()) return true;
                continue;
            }
            for (const std::string& name : names) {
                if (isStopped()) return true;
                const std::string setName = name.substr(0, name.size() - 4);
                if (!listed.take(setName, own)) continue;
                fileName = name;
                // One set without a picture (a bad first file before any set loaded) must
                // not keep the others from being offered: it is shown blank.
                platform.AddImageListPicture(setName, previews.next(name));
                platform.AddListViewItem(setName, setName, setName);
                if (listedNames) listedNames->push_back(setName);
            }
        }
    } catch (const std::exception& e) {
        previews.finish();
        if (!failures.show(platform, stopped)) return true;
        platform.MessageBox(messages::ShowIconsText(fileName, e.what()));
        return false;
    }
    previews.finish();
    failures.show(platform, stopped);
    return true;
}

}  // namespace tarn

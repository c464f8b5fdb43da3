#include "files/folders.h"

#include "files/file_names.h"
#include "platform/wtf8.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// A file of the program's own made and removed again: the folder takes new files.
bool takesNewFiles(Platform& platform, const fs::path& folder) {
    const OwnFile probe = CreateOwnFile(platform, folder, kProbeFileName);
    if (probe.path.empty()) return false;
    std::error_code ignored;
    fs::remove(probe.path, ignored);
    return true;
}

}  // namespace

Folders ChooseFolders(Platform& platform) {
    Folders f;
    f.program = platform.ProgramFolder();
    f.scratch = f.settings = f.program;
    const std::optional<fs::path> local = platform.SHGetKnownFolderPath(KnownFolder::LocalAppData);
    if (!local || local->empty()) return f;
    f.user = *local / kUserFolderName;
    if (!takesNewFiles(platform, f.program)) {
        f.scratch = f.settings = f.user;
    } else if (TooLongForCursorLoader(f.program / kScratchFileName)) {
        // Every pointer is made by the cursor loader from the scratch file, and the loader
        // takes no long path: in a deep program folder each load would fail and the
        // program would never rotate. The per-user folder's path is short.
        f.scratch = f.user;
    }
    return f;
}

fs::path FolderOrProgram(Platform& platform, const fs::path& folder) {
    return folder.empty() ? platform.ProgramFolder() : folder;
}

fs::path SettingsFile(Platform& platform, const Folders& folders) {
    return FolderOrProgram(platform, folders.settings) / kSettingsFileName;
}

fs::path SettingsFileToRead(Platform& platform, const Folders& folders) {
    const fs::path written = SettingsFile(platform, folders);
    const fs::path beside = FolderOrProgram(platform, folders.program) / kSettingsFileName;
    std::error_code ec;
    if (written != beside && fs::status(written, ec).type() == fs::file_type::not_found) return beside;
    return written;
}

std::vector<fs::path> SetFolders(Platform& platform, const Folders& folders) {
    std::vector<fs::path> list{FolderOrProgram(platform, folders.program)};
    if (!folders.user.empty()) list.push_back(folders.user / kUserSetsFolderName);
    return list;
}

void MakeUserFolder(const Folders& folders, const fs::path& folder) {
    if (folders.user.empty() || folder != folders.user) return;
    std::error_code ignored;
    fs::create_directory(folders.user, ignored);
}

std::string OwnFileName(const std::string& name, int n) { return n == 1 ? name : name + std::to_string(n); }

OwnFile CreateOwnFile(Platform& platform, const fs::path& folder, const std::string& name) {
    for (int n = 1; n <= kOwnFileNames; ++n) {
        const fs::path file = folder / PathFromUtf8(OwnFileName(name, n));
        std::error_code ec;
        const fs::file_type type = fs::symlink_status(file, ec).type();
        if (type != fs::file_type::not_found && type != fs::file_type::none) continue;  // someone's
        const std::error_code failure = platform.CreateFile(file);
        if (!failure) return {file, {}};
        if (failure != std::errc::file_exists) return {{}, failure};
        // Made by someone else since it was looked at: the next name.
    }
    return {{}, std::make_error_code(std::errc::file_exists)};
}

bool TooLongForCursorLoader(const fs::path& file) {
    const std::string text = Utf8FromPath(file);
    const std::optional<std::u16string> units = Utf16FromWtf8(text);
    return (units ? units->size() : text.size()) >= kMaxPath;
}

}  // namespace tarn

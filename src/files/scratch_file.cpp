#include "files/scratch_file.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "files/file_names.h"
#include "platform/messages.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// The name itself, whatever it is: a link is not followed, and a folder opens too, so
// each can be told for what it is.
constexpr std::uint32_t kAsItself = kFileFlagOpenReparsePoint | kFileFlagBackupSemantics;

// An open file, closed when it goes.
class OpenFile {
public:
    OpenFile(Platform& platform, const fs::path& file, FileAccess access, FileCreation creation,
             std::uint32_t flags)
        : platform_(platform), opened_(platform.CreateFile(file, access, creation, flags)) {}
    ~OpenFile() {
        if (*this) platform_.CloseHandle(opened_.handle);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    explicit operator bool() const { return !opened_.failure; }
    [[nodiscard]] const std::error_code& failure() const { return opened_.failure; }
    [[nodiscard]] bool missing() const { return opened_.failure == std::errc::no_such_file_or_directory; }
    [[nodiscard]] FileHandle handle() const { return opened_.handle; }
    [[nodiscard]] std::optional<FileInformation> information() const {
        return platform_.GetFileInformationByHandle(opened_.handle);
    }

private:
    Platform& platform_;
    OpenedFile opened_;
};

bool isFolder(const FileInformation& info) { return (info.attributes & kFileAttributeDirectory) != 0; }
bool isLink(const FileInformation& info) { return (info.attributes & kFileAttributeReparsePoint) != 0; }

// What lies under a name that is not the program's file, in the user's words.
std::string whatItIs(const std::optional<FileInformation>& info) {
    if (info && isFolder(*info)) return messages::kAFolder;
    if (info && isLink(*info)) return messages::kALink;
    return messages::kAnotherFile;
}

// The path a folder really has, every link on the way resolved.
std::optional<fs::path> realFolder(Platform& platform, const fs::path& folder) {
    const OpenFile opened(platform, folder, FileAccess::None, FileCreation::OpenExisting, kFileFlagBackupSemantics);
    return opened ? platform.GetFinalPathNameByHandle(opened.handle()) : std::nullopt;
}

// An earlier run's file, and not the user's: a plain file, not a link, of one name, and
// really found under `name` in `folder` (the folder's real path). The last test is for a
// system that follows a link even when asked to open it as itself (Wine does): the file
// it opened then has the path of what the link leads to.
bool isEarlierRuns(Platform& platform, const OpenFile& file, const fs::path& folder, const std::string& name) {
    const std::optional<FileInformation> info = file.information();
    if (!info || isFolder(*info) || isLink(*info) || info->links != 1) return false;
    const std::optional<fs::path> real = platform.GetFinalPathNameByHandle(file.handle());
    return real && real->parent_path() == folder && SameIgnoringAsciiCase(Utf8FromPath(real->filename()), name);
}

void put(Platform& platform, const OpenFile& file, const fs::path& path, std::span<const unsigned char> bytes) {
    if (bytes.empty()) return;
    const std::error_code failed = platform.WriteFile(file.handle(), bytes);
    if (failed)
        throw std::runtime_error(messages::FileFailure(messages::kCannotWrite, Utf8FromPath(path), failed.message()));
}

}  // namespace

bool ScratchFile::takeLeftovers(Platform& platform, const Folders& folders) {
    bool found = false;
    for (const fs::path& folder : {FolderOrProgram(platform, folders.program), folders.user}) {
        // Nothing lies in a folder that is not there.
        const std::optional<fs::path> real = folder.empty() ? std::nullopt : realFolder(platform, folder);
        if (!real) continue;
        for (int n = 1; n <= kOwnFileNames; ++n) {
            const std::string name = OwnFileName(kScratchFileName, n);
            const fs::path file = folder / PathFromUtf8(name);
            // Opened to be deleted where the folder allows it, else only to be looked at.
            std::optional<OpenFile> mark;
            mark.emplace(platform, file, FileAccess::Delete, FileCreation::OpenExisting, kAsItself);
            if (mark->missing()) continue;
            const bool deletable = static_cast<bool>(*mark);
            if (!deletable) mark.emplace(platform, file, FileAccess::None, FileCreation::OpenExisting, kAsItself);
            if (!*mark) continue;
            if (!isEarlierRuns(platform, *mark, *real, name)) continue;
            found = true;
            if (deletable) platform.SetFileInformationByHandle(mark->handle(), FileDispositionInfo{});
        }
    }
    return found;
}

// A file's number may be given again once it is gone, but not to a folder or a link.
bool ScratchFile::isMine(const std::optional<FileInformation>& info) const {
    return info && !isFolder(*info) && !isLink(*info) && info->volume == volume_ && info->index == index_;
}

const fs::path& ScratchFile::write(Platform& platform, const Folders& folders, std::span<const unsigned char> bytes) {
    if (path_.empty()) return make(platform, folders, bytes);
    const OpenFile file(platform, path_, FileAccess::Write, FileCreation::OpenExisting, kAsItself);
    if (file.missing()) {
        path_.clear();  // gone: nothing lies in its place, and a new one is the program's again
        return make(platform, folders, bytes);
    }
    if (!file)
        throw std::runtime_error(
            messages::FileFailure(messages::kCannotOpenForWriting, Utf8FromPath(path_), file.failure().message()));
    const std::optional<FileInformation> info = file.information();
    if (!isMine(info))
        throw std::runtime_error(messages::FileFailure(messages::kCannotWrite, Utf8FromPath(path_),
                                                       messages::NotTheFileMade(whatItIs(info))));
    put(platform, file, path_, bytes);
    return path_;
}

const fs::path& ScratchFile::make(Platform& platform, const Folders& folders, std::span<const unsigned char> bytes) {
    std::vector<fs::path> places{FolderOrProgram(platform, folders.scratch)};
    if (!folders.user.empty() && folders.user != places.front()) places.push_back(folders.user);
    std::optional<std::string> failure;  // why the first name could not be taken
    for (int n = 1; n <= kOwnFileNames; ++n) {
        for (const fs::path& folder : places) {
            const fs::path file = folder / PathFromUtf8(OwnFileName(kScratchFileName, n));
            MakeUserFolder(folders, folder);
            const OpenFile made(platform, file, FileAccess::Write, FileCreation::CreateNew, kFileFlagOpenReparsePoint);
            if (!made) {
                if (failure) continue;
                std::string why = made.failure().message();
                if (made.failure() == std::errc::file_exists) {
                    const OpenFile there(platform, file, FileAccess::None, FileCreation::OpenExisting, kAsItself);
                    why = messages::NameTaken(whatItIs(there ? there.information() : std::nullopt));
                }
                failure = messages::FileFailure(messages::kCannotCreate, Utf8FromPath(file), why);
                continue;
            }
            const std::optional<FileInformation> info = made.information();
            // A file that could never be told from one put in its place later is not used.
            if (!info) throw std::runtime_error(messages::FileFailure(messages::kCannotIdentify, Utf8FromPath(file)));
            path_ = file;
            volume_ = info->volume;
            index_ = info->index;
            put(platform, made, path_, bytes);
            return path_;
        }
    }
    throw std::runtime_error(failure.value_or(messages::FileFailure(messages::kCannotCreate, kScratchFileName)));
}

void ScratchFile::remove(Platform& platform) {
    if (path_.empty()) return;
    const OpenFile file(platform, path_, FileAccess::Delete, FileCreation::OpenExisting, kAsItself);
    path_.clear();
    if (!file) return;
    if (isMine(file.information())) platform.SetFileInformationByHandle(file.handle(), FileDispositionInfo{});
}

}  // namespace tarn

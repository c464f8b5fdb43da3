// The recording platform's window toolkit: the form, its controls, the set list, the
// pictures, the shell and the process, kept as simple state.
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/recording_format.h"
#include "support/recording_platform.h"

#include "platform/units.h"
#include "shell/contrast.h"
#include "shell/knob.h"
#include "shell/layout_math.h"

namespace tarn::testing {

using format::boolText;
using format::quote;

// ---- Window and controls

WindowHandle RecordingPlatform::FormWindow() { return kForm; }

TwipsRect RecordingPlatform::FormRectTwips() { return formRect; }

double RecordingPlatform::TwipsPerPixelX() { return tppX; }

double RecordingPlatform::TwipsPerPixelY() { return tppY; }

void RecordingPlatform::ShowForm() {
    record("ShowForm", "");
    visible = true;
}

void RecordingPlatform::HideForm() {
    record("HideForm", "");
    visible = false;
}

void RecordingPlatform::SetFormVisible(bool v) {
    record("SetFormVisible", boolText(v));
    visible = v;
}

// A window placed in whole pixels, reported in twips the way the backend reports it.
TwipsRect RecordingPlatform::twips(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) const {
    return TwipsRect{ToTwips(x, tppX), ToTwips(y, tppY), ToTwips(width, tppX), ToTwips(height, tppY)};
}

bool RecordingPlatform::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                                   std::int32_t height, bool repaint) {
    const std::string who = window == kForm ? "form" : window == kKnob ? "knob" : hex(window.value());
    if (record("MoveWindow", who + "," + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) +
                                 "," + std::to_string(height) + "," + boolText(repaint)))
        return false;
    if (window == kForm) {
        formRect = twips(x, y, width, height);
    } else if (window == kKnob) {
        knobRect = twips(x, y, width, height);
    }
    return true;
}

void RecordingPlatform::changeDpi(unsigned dpi) {
    const double from = tppX;
    const double to = TwipsPerPixel(dpi);
    const layout::PixelRect knob = layout::knobAfterDpiChange(ToPixels(knobRect.left, from), from, to);
    const layout::PixelRect form =
        layout::windowRect(ToPixels(formRect.left, from), ToPixels(formRect.top, tppY), to);
    tppX = tppY = to;
    knobRect = twips(knob.left, knob.top, knob.width, knob.height);
    formRect = twips(form.left, form.top, form.width, form.height);
}

void RecordingPlatform::SetLabelForeColor(int index, std::uint32_t color) {
    record("SetLabelForeColor", std::to_string(index) + "," + std::to_string(color));
    labelColors[index] = color;
}

std::uint32_t RecordingPlatform::shownLabelColor(int index) const {
    // Never set: the colour of its row (the hidden label has none; it is black).
    std::uint32_t design = layout::kBlack;
    for (const layout::Control& c : layout::kControls)
        if (c.kind == layout::Kind::Label && c.index == index) design = c.foreColor;
    if (const auto it = labelColors.find(index); it != labelColors.end()) design = it->second;
    return layout::shownColor(design, highContrast);
}

void RecordingPlatform::SetCheckValue(int index, int value) {
    record("SetCheckValue", std::to_string(index) + "," + std::to_string(value));
    checks[index] = value;
}

int RecordingPlatform::CheckValue(int index) { return checks[index]; }

WindowHandle RecordingPlatform::KnobWindow() { return kKnob; }

TwipsRect RecordingPlatform::KnobRectTwips() { return knobRect; }

void RecordingPlatform::SetKnobLeftTwips(double left) {
    record("SetKnobLeftTwips", format::twips(left));
    // Placed in whole pixels, as a window is, and read back in twips.
    knobRect.left = ToTwips(ToPixels(left, tppX), tppX);
}

void RecordingPlatform::SetHwndPropStr(WindowHandle window, const std::string& value) {
    record("SetHwndPropStr", (window == kKnob ? "knob" : hex(window.value())) + "," + quote(value));
    accessibleValues[window.value()] = value;
}

void RecordingPlatform::SetTimerEnabled(Timer timer, bool enabled) {
    record("SetTimerEnabled", "Timer" + std::to_string(static_cast<int>(timer)) + "," + boolText(enabled));
    timers[timer].enabled = enabled;
}

void RecordingPlatform::SetTimerInterval(Timer timer, std::int32_t milliseconds) {
    record("SetTimerInterval", "Timer" + std::to_string(static_cast<int>(timer)) + "," + std::to_string(milliseconds));
    timers[timer].interval = milliseconds;
}

void RecordingPlatform::DoEvents() {
    record("DoEvents", "");
    // Only what was queued before this call runs; events queued by those run at the next yield.
    auto batch = std::move(pendingEvents);
    pendingEvents.clear();
    for (auto& event : batch) event();
}

// ---- List view and image list

void RecordingPlatform::ClearListViewSmallIcons() {
    if (record("ClearListViewSmallIcons", "")) throw PlatformError("Invalid property value");
    smallIconsCleared = true;
}

void RecordingPlatform::ClearListView() {
    if (record("ClearListView", "")) throw PlatformError("Method 'Clear' failed");
    listItems.clear();
    itemKeys_.clear();
}

void RecordingPlatform::ClearImageList() {
    if (record("ClearImageList", "")) throw PlatformError("Method 'Clear' failed");
    imageList.clear();
    imageKeys_.clear();
}

void RecordingPlatform::AddImageListPicture(const std::string& key, PictureHandle picture) {
    auto it = pictures_.find(picture.value());
    const bool known = it != pictures_.end();
    ImageId image = known ? it->second : ImageId{};
    if (known) pictures_.erase(it);
    if (record("AddImageListPicture", quote(key) + "," + hex(picture.value()))) throw PlatformError("Out of memory");
    if (!known && !picture.isNull()) {
        misuse_.push_back("AddImageListPicture: unknown picture " + hex(picture.value()));
        throw PlatformError("Invalid picture");
    }
    imageKeys_.add(key);
    imageList.push_back({key, image});
}

void RecordingPlatform::AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) {
    if (record("AddListViewItem", quote(key) + "," + quote(text) + "," + quote(iconKey)))
        throw PlatformError("Out of memory");
    itemKeys_.checkUnique(key);
    if (!iconKey.empty()) static_cast<void>(imageKeys_.at(iconKey));
    itemKeys_.add(key);
    listItems.push_back({key, text, iconKey});
}

void RecordingPlatform::ImageList_Replace(const std::string& key, PictureHandle picture) {
    const auto known = pictures_.find(picture.value());
    const auto entry = std::find_if(imageList.begin(), imageList.end(), [&](const auto& e) { return e.key == key; });
    if (known == pictures_.end() || entry == imageList.end())
        misuse_.push_back("ImageList_Replace: unknown key or picture " + quote(key) + "," + hex(picture.value()));
    ImageId image = known == pictures_.end() ? ImageId{} : known->second;
    if (known != pictures_.end()) pictures_.erase(known);
    if (record("ImageList_Replace", quote(key) + "," + hex(picture.value()))) throw PlatformError("Out of memory");
    if (entry != imageList.end()) entry->image = image;
}

std::optional<std::string> RecordingPlatform::ListViewSelectedKey() { return selectedKey; }

void RecordingPlatform::SetListViewSelectedKey(const std::string& key) {
    record("SetListViewSelectedKey", quote(key));
    // Only an item the list holds can be selected.
    if (!itemKeys_.find(key)) {
        misuse_.push_back("SetListViewSelectedKey: no item " + quote(key));
        return;
    }
    selectedKey = key;
}

// ---- Pictures

PictureHandle RecordingPlatform::LoadPicture(const std::filesystem::path& file) {
    if (record("LoadPicture", quote(file.filename().string()))) throw PlatformError("Invalid picture");
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) throw PlatformError("File not found: " + file.filename().string());
    const auto image = readImage(file);
    if (!image) throw PlatformError("Invalid picture");
    const PictureHandle p{next_++};
    pictures_[p.value()] = *image;
    setResult(hex(p.value()));
    return p;
}

PictureHandle RecordingPlatform::CreateDIBSection(int width, int height, std::span<const std::uint8_t> rgba) {
    if (record("CreateDIBSection", std::to_string(width) + "x" + std::to_string(height)))
        throw PlatformError("Not enough memory");
    const PictureHandle p{next_++};
    pictures_[p.value()] = imageOfPixels(width, height, rgba);
    setResult(hex(p.value()));
    return p;
}

void RecordingPlatform::SetPreviewPicture(PictureHandle picture) {
    auto it = pictures_.find(picture.value());
    record("SetPreviewPicture", hex(picture.value()));
    if (it == pictures_.end()) {
        misuse_.push_back("SetPreviewPicture: unknown picture " + hex(picture.value()));
        return;
    }
    preview = it->second;
    pictures_.erase(it);
}

// ---- Shell

WindowHandle RecordingPlatform::TrayHostWindow() { return kTrayHost; }

IconHandle RecordingPlatform::FormIcon() { return kIcon; }

std::uint32_t RecordingPlatform::NotifyIconRecordSize() { return 88; }

bool RecordingPlatform::Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconRecord& r) {
    std::string args = std::to_string(static_cast<std::uint32_t>(message)) + ",size=" + std::to_string(r.size) +
                       ",owner=" + hex(r.owner.value()) + ",id=" + std::to_string(r.id);
    if (message == NotifyIconMessage::Add)
        args += ",flags=" + std::to_string(r.flags) + ",msg=" + hex(r.callbackMessage) +
                ",icon=" + hex(r.icon.value()) + ",tip=" + quote(r.tip);
    if (message == NotifyIconMessage::SetVersion) args += ",version=" + std::to_string(r.version);
    if (record("Shell_NotifyIcon", args)) return false;
    if (message == NotifyIconMessage::Delete) return trayIcons.erase(r.id) > 0;
    if (message == NotifyIconMessage::SetVersion) {
        const auto icon = trayIcons.find(r.id);
        if (icon == trayIcons.end()) return false;
        icon->second.version = r.version;
        return true;
    }
    trayIcons[r.id] = r;
    return true;
}

void RecordingPlatform::ShellExecute(WindowHandle owner, const std::string& operation, const std::string& file,
                                     const std::string& parameters, const std::string& directory, int showCommand) {
    record("ShellExecute", hex(owner.value()) + "," + quote(operation) + "," + quote(file) + "," + quote(parameters) +
                               "," + quote(directory) + "," + std::to_string(showCommand));
}

void RecordingPlatform::MessageBox(const std::string& text) {
    record("MessageBox", quote(text));
    messages.push_back(text);
    // A message box runs its own message loop: whatever the user or the desktop does
    // while it is up arrives here, before the box returns to its caller.
    auto batch = std::move(duringMessageBox);
    duringMessageBox.clear();
    for (auto& event : batch) event();
}

// ---- Process

bool RecordingPlatform::PrevInstance() {
    record("PrevInstance", "", boolText(prevInstance));
    return prevInstance;
}

std::optional<std::uint32_t> RecordingPlatform::GetFileInformationByHandle(const std::filesystem::path& file) {
    if (record("GetFileInformationByHandle", quote(file.filename().string()))) return std::nullopt;
    std::error_code ec;
    // A folder opens only with a flag the backend does not give.
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    const std::uintmax_t links = std::filesystem::hard_link_count(file, ec);
    if (ec) return std::nullopt;
    setResult(std::to_string(links));
    return static_cast<std::uint32_t>(links);
}

std::error_code RecordingPlatform::CreateFile(const std::filesystem::path& file) {
    std::error_code failure;
    if (record("CreateFile", quote(file.filename().string()))) failure = std::make_error_code(std::errc::io_error);
    else if (readOnlyFolders.count(file.parent_path())) failure = std::make_error_code(std::errc::permission_denied);
    else if (std::FILE* made = std::fopen(file.c_str(), "wx")) std::fclose(made);
    else failure = std::error_code(errno, std::generic_category());
    setResult(failure ? failure.message() : "0");
    return failure;
}

OpenedFile RecordingPlatform::CreateFile(const std::filesystem::path& file, FileAccess access, FileCreation creation,
                                         std::uint32_t flags) {
    const bool create = creation == FileCreation::CreateNew;
    const bool fails = record("CreateFile", quote(file.filename().string()) + (create ? ", new, " : ", existing, ") +
                                                hex(static_cast<unsigned>(access)));
    // O_EXCL refuses any name there, a link to nothing too; O_PATH opens a folder, or a link as itself.
    struct stat st {};
    const bool itself = (flags & kFileFlagOpenReparsePoint) && !followsLinks;
    const bool regular = (itself ? ::lstat : ::stat)(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const int how = create ? O_WRONLY | O_CREAT | O_EXCL
                           : access == FileAccess::Write && regular ? O_WRONLY : O_PATH | O_NOFOLLOW * itself;
    errno = fails ? EIO : EACCES;
    const bool refused = fails || (create && readOnlyFolders.count(file.parent_path()));
    const int fd = refused ? -1 : ::open(file.c_str(), how | O_CLOEXEC, 0644);
    const std::error_code failure = fd < 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
    setResult(failure ? failure.message() : hex(nextFile_));
    if (!failure) files_[nextFile_] = {fd, access == FileAccess::Delete};
    return {FileHandle(failure ? 0 : nextFile_++), failure};
}

std::optional<FileInformation> RecordingPlatform::GetFileInformationByHandle(FileHandle file) {
    struct stat st {};
    if (record("GetFileInformationByHandle", hex(file.value())) || ::fstat(files_.at(file.value()).fd, &st))
        return std::nullopt;
    const std::uint32_t kind = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : S_ISLNK(st.st_mode) ? kFileAttributeReparsePoint : 0;
    return FileInformation{kind, static_cast<std::uint32_t>(st.st_nlink), st.st_dev, st.st_ino};
}

std::optional<std::filesystem::path> RecordingPlatform::GetFinalPathNameByHandle(FileHandle file) {
    std::error_code ec;
    const auto real = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(files_.at(file.value()).fd), ec);
    if (record("GetFinalPathNameByHandle", hex(file.value()), real.string()) || ec) return std::nullopt;
    return real;
}

std::error_code RecordingPlatform::WriteFile(FileHandle file, std::span<const unsigned char> bytes) {
    if (record("WriteFile", hex(file.value()) + ", " + std::to_string(bytes.size()))) errno = EIO;
    else if (::write(files_.at(file.value()).fd, bytes.data(), bytes.size()) == ssize_t(bytes.size())) return {};
    return {errno, std::generic_category()};
}

// What was opened goes at once, under the name it has now, whatever lies under its old one.
std::error_code RecordingPlatform::SetFileInformationByHandle(FileHandle file, const FileDispositionInfo& info) {
    const auto [fd, mayDelete] = files_.at(file.value());
    std::error_code ec = std::make_error_code(std::errc::permission_denied);
    if (!record("SetFileInformationByHandle", hex(file.value())) && mayDelete && info.deleteFile)
        std::filesystem::remove(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec), ec);
    return ec;
}

void RecordingPlatform::CloseHandle(FileHandle file) {
    record("CloseHandle", hex(file.value()));
    ::close(files_.at(file.value()).fd);
    files_.erase(file.value());
}

std::vector<FoundFile> RecordingPlatform::FindFirstFile(const std::filesystem::path& folder) {
    std::error_code ec;
    if (record("FindFirstFile", quote(folder.filename().string()))) ec = std::make_error_code(std::errc::io_error);
    std::vector<FoundFile> found;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        found.push_back({it->path().filename().string(), it->is_directory(ignored)});
    }
    if (ec) throw PlatformError("Cannot list " + folder.string() + ": " + ec.message());
    return found;
}

std::optional<std::filesystem::path> RecordingPlatform::SHGetKnownFolderPath(KnownFolder) {
    if (record("SHGetKnownFolderPath", "LocalAppData") || !localAppData) return std::nullopt;
    setResult(quote(localAppData->string()));
    return localAppData;
}

std::filesystem::path RecordingPlatform::ProgramFolder() { return programFolder; }

std::uint64_t RecordingPlatform::GetTickCount64() {
    record("GetTickCount64", "", std::to_string(tickCount));
    return tickCount;
}

void RecordingPlatform::SetTaskVisible(bool v) {
    record("SetTaskVisible", boolText(v));
    taskVisible = v;
}

void RecordingPlatform::End() {
    record("End", "");
    ended = true;
}

}  // namespace tarn::testing

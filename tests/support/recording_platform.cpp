#include "support/recording_platform.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace tarn::testing {

namespace {

std::string quote(const std::string& s) { return "\"" + s + "\""; }

std::string boolText(bool b) { return b ? "1" : "0"; }

std::string twips(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// The system handle GetCursor reports for a role is the role id itself, so logs stay readable.
constexpr std::array<std::uint32_t, 3> kRoles{kOcrNormal, kOcrAppStarting, kOcrWait};

std::uint32_t roleOfShape(MousePointer shape) {
    switch (shape) {
        case MousePointer::Hourglass: return kOcrWait;
        case MousePointer::ArrowHourglass: return kOcrAppStarting;
        default: return kOcrNormal;
    }
}

}  // namespace

std::string hex(std::uintptr_t value) {
    if (value == 0) return "0";
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value));
    return buf;
}

std::string Call::text() const {
    std::string t = name + "(" + args + ")";
    if (!result.empty()) t += " -> " + result;
    return t;
}

RecordingPlatform::RecordingPlatform() {
    for (auto id : kRoles) {
        system_[id] = userImage(id);
        handles_[id] = HandleInfo{{}, Kind::System, true};
    }
}

void RecordingPlatform::failCall(const std::string& name, int nth) { failures_[name].insert(seen_[name] + nth); }

bool RecordingPlatform::shouldFail(const std::string& name) {
    const int n = ++seen_[name];
    auto it = failures_.find(name);
    return it != failures_.end() && it->second.count(n) > 0;
}

bool RecordingPlatform::record(std::string name, std::string args, std::string result) {
    const bool fail = shouldFail(name);
    calls_.push_back(Call{std::move(name), std::move(args), std::move(result)});
    if (fail) calls_.back().result = "FAILED";
    return fail;
}

std::vector<std::string> RecordingPlatform::log() const {
    std::vector<std::string> out;
    out.reserve(calls_.size());
    for (const auto& c : calls_) out.push_back(c.text());
    return out;
}

std::vector<std::string> RecordingPlatform::log(std::initializer_list<std::string_view> names) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (std::find(names.begin(), names.end(), c.name) != names.end()) out.push_back(c.text());
    return out;
}

int RecordingPlatform::count(std::string_view name) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const Call& c) { return c.name == name; }));
}

ImageId RecordingPlatform::imageOf(const std::vector<unsigned char>& bytes) {
    // FNV-1a over the part a cursor loader reads: one 2238-byte cursor file.
    std::uint64_t h = 1469598103934665603ull;
    const std::size_t n = std::min<std::size_t>(bytes.size(), 2238);
    for (std::size_t i = 0; i < n; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "file:%016llx", static_cast<unsigned long long>(h));
    return buf;
}

ImageId RecordingPlatform::imageOfHandle(CursorHandle h) const {
    auto it = handles_.find(h.value());
    if (it == handles_.end()) return {};
    if (it->second.kind == Kind::System) return system_.at(static_cast<std::uint32_t>(h.value()));
    return it->second.image;
}

int RecordingPlatform::liveCopies() const {
    return static_cast<int>(std::count_if(handles_.begin(), handles_.end(), [](const auto& e) {
        return e.second.kind == Kind::Copy && e.second.alive && !e.second.givenToSystem;
    }));
}

CursorHandle RecordingPlatform::newHandle(ImageId image, Kind kind) {
    const std::uintptr_t v = next_++;
    handles_[v] = HandleInfo{std::move(image), kind, true};
    return CursorHandle{v};
}

RecordingPlatform::HandleInfo* RecordingPlatform::live(CursorHandle h, const char* op) {
    if (h.isNull()) return nullptr;
    auto it = handles_.find(h.value());
    if (it == handles_.end()) {
        misuse_.push_back(std::string(op) + ": unknown handle " + hex(h.value()));
        return nullptr;
    }
    if (!it->second.alive) {
        misuse_.push_back(std::string(op) + ": dead handle " + hex(h.value()));
        return nullptr;
    }
    return &it->second;
}

std::optional<ImageId> RecordingPlatform::readImage(const std::filesystem::path& file) const {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A one-image cursor file: reserved 0, type 2, count 1, then a 16-byte entry.
    static constexpr unsigned char kHeader[6] = {0, 0, 2, 0, 1, 0};
    if (bytes.size() < 22 || !std::equal(std::begin(kHeader), std::end(kHeader), bytes.begin())) return std::nullopt;
    return imageOf(bytes);
}

// ---- Pointer operations

bool RecordingPlatform::GetCursorPos(Point& where) {
    if (record("GetCursorPos", "")) return false;
    where = pointer;
    setResult(std::to_string(pointer.x) + "," + std::to_string(pointer.y));
    return true;
}

bool RecordingPlatform::SetCursorPos(std::int32_t x, std::int32_t y) {
    if (record("SetCursorPos", std::to_string(x) + "," + std::to_string(y))) return false;
    pointer = {x, y};
    return true;
}

CursorHandle RecordingPlatform::GetCursor() {
    if (record("GetCursor", "")) return {};
    const bool overList = pointer.x >= listViewScreen.x && pointer.x < listViewScreen.x + listViewScreen.w &&
                          pointer.y >= listViewScreen.y && pointer.y < listViewScreen.y + listViewScreen.h;
    const MousePointer shape = overList ? listViewShape : shapeElsewhere;
    const CursorHandle h{roleOfShape(shape)};
    setResult(hex(h.value()));
    return h;
}

CursorHandle RecordingPlatform::CopyIcon(CursorHandle cursor) {
    if (record("CopyIcon", hex(cursor.value()))) return {};
    if (!live(cursor, "CopyIcon")) {
        setResult("0");
        return {};
    }
    const CursorHandle copy = newHandle(imageOfHandle(cursor), Kind::Copy);
    setResult(hex(copy.value()));
    return copy;
}

bool RecordingPlatform::DestroyIcon(CursorHandle cursor) {
    if (record("DestroyIcon", hex(cursor.value()))) return false;
    HandleInfo* info = live(cursor, "DestroyIcon");
    if (!info) return false;
    if (info->kind == Kind::System) {
        misuse_.push_back("DestroyIcon: a shared system pointer " + hex(cursor.value()));
        return false;
    }
    info->alive = false;
    return true;
}

bool RecordingPlatform::SetSystemCursor(CursorHandle cursor, std::uint32_t id) {
    if (record("SetSystemCursor", hex(cursor.value()) + "," + std::to_string(id))) return false;
    HandleInfo* info = live(cursor, "SetSystemCursor");
    if (!info) return false;
    system_[id] = imageOfHandle(cursor);
    if (info->kind == Kind::Copy) info->givenToSystem = true;
    return true;
}

CursorHandle RecordingPlatform::LoadCursorFromFile(const std::filesystem::path& file) {
    if (record("LoadCursorFromFile", quote(file.filename().string()))) return {};
    const auto image = readImage(file);
    if (!image) {
        setResult("0");
        return {};
    }
    const CursorHandle h = newHandle(*image, Kind::Loaded);
    setResult(hex(h.value()));
    return h;
}

bool RecordingPlatform::DestroyCursor(CursorHandle cursor) {
    if (record("DestroyCursor", hex(cursor.value()))) return false;
    HandleInfo* info = live(cursor, "DestroyCursor");
    if (!info) return false;
    if (info->kind != Kind::Loaded) misuse_.push_back("DestroyCursor: not a loaded cursor " + hex(cursor.value()));
    info->alive = false;
    return true;
}

bool RecordingPlatform::ReloadSystemCursors() {
    if (record("ReloadSystemCursors", "")) return false;
    for (auto id : kRoles) system_[id] = userImage(id);
    return true;
}

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

bool RecordingPlatform::FormVisible() { return visible; }

bool RecordingPlatform::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                                   std::int32_t height, bool repaint) {
    const std::string who = window == kForm ? "form" : window == kKnob ? "knob" : hex(window.value());
    if (record("MoveWindow", who + "," + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) +
                                 "," + std::to_string(height) + "," + boolText(repaint)))
        return false;
    if (window == kForm) {
        formRect.left = x * tppX;
        formRect.top = y * tppY;
        formRect.width = width * tppX;
        formRect.height = height * tppY;
    } else if (window == kKnob) {
        knobRect.left = x * tppX;
        knobRect.top = y * tppY;
        knobRect.width = width * tppX;
        knobRect.height = height * tppY;
    }
    return true;
}

void RecordingPlatform::SetLabelForeColor(int index, std::uint32_t color) {
    record("SetLabelForeColor", std::to_string(index) + "," + std::to_string(color));
    labelColors[index] = color;
}

void RecordingPlatform::SetCheckValue(int index, int value) {
    record("SetCheckValue", std::to_string(index) + "," + std::to_string(value));
    checks[index] = value;
}

int RecordingPlatform::CheckValue(int index) { return checks[index]; }

WindowHandle RecordingPlatform::KnobWindow() { return kKnob; }

TwipsRect RecordingPlatform::KnobRectTwips() { return knobRect; }

void RecordingPlatform::SetKnobLeftTwips(double left) {
    record("SetKnobLeftTwips", twips(left));
    knobRect.left = left;
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

void RecordingPlatform::SetListViewMousePointer(MousePointer shape) {
    if (record("SetListViewMousePointer", std::to_string(static_cast<int>(shape))))
        throw PlatformError("Invalid property value");
    listViewShape = shape;
}

void RecordingPlatform::ClearListViewSmallIcons() {
    if (record("ClearListViewSmallIcons", "")) throw PlatformError("Invalid property value");
    smallIconsCleared = true;
}

void RecordingPlatform::ClearListView() {
    if (record("ClearListView", "")) throw PlatformError("Method 'Clear' failed");
    listItems.clear();
}

void RecordingPlatform::ClearImageList() {
    if (record("ClearImageList", "")) throw PlatformError("Method 'Clear' failed");
    imageList.clear();
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
    for (const auto& e : imageList)
        if (e.key == key) throw PlatformError("Key is not unique in collection");
    imageList.push_back({key, image});
}

void RecordingPlatform::AddListViewItem(const std::string& key, const std::string& text, const std::string& iconKey) {
    if (record("AddListViewItem", quote(key) + "," + quote(text) + "," + quote(iconKey)))
        throw PlatformError("Out of memory");
    for (const auto& e : listItems)
        if (e.key == key) throw PlatformError("Key is not unique in collection");
    const bool hasImage =
        std::any_of(imageList.begin(), imageList.end(), [&](const ImageEntry& e) { return e.key == iconKey; });
    if (!hasImage) throw PlatformError("Element not found");
    listItems.push_back({key, text, iconKey});
}

std::optional<std::string> RecordingPlatform::ListViewSelectedKey() { return selectedKey; }

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
    if (record("Shell_NotifyIcon", args)) return false;
    if (message == NotifyIconMessage::Delete) return trayIcons.erase(r.id) > 0;
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
}

// ---- Process

bool RecordingPlatform::PrevInstance() {
    record("PrevInstance", "", boolText(prevInstance));
    return prevInstance;
}

std::filesystem::path RecordingPlatform::ProgramFolder() { return programFolder; }

void RecordingPlatform::SetTaskVisible(bool v) {
    record("SetTaskVisible", boolText(v));
    taskVisible = v;
}

void RecordingPlatform::End() {
    record("End", "");
    ended = true;
}

}  // namespace tarn::testing

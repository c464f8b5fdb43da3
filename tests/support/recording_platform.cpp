#include "support/recording_platform.h"

#include "support/recording_format.h"

#include "cursorset/cursor_check.h"
#include "platform/wtf8.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace tarn::testing {

using format::boolText;
using format::quote;

namespace {

// The shared handle of a system pointer is its id itself, so logs stay readable.
constexpr std::array<std::uint32_t, 4> kSystemPointers{kOcrNormal, kOcrAppStarting, kOcrWait, kIdcIBeam};

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

RecordingPlatform::RecordingPlatform(std::filesystem::path folder) : programFolder(std::move(folder)) {
    for (auto id : kSystemPointers) {
        scheme[id] = userImage(id);
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

namespace {

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (const std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

ImageId RecordingPlatform::imageOfPixels(int width, int height, std::span<const std::uint8_t> rgba) {
    return "pixels:" + std::to_string(width) + "x" + std::to_string(height) + ":" + std::to_string(fnv1a(rgba));
}

ImageId RecordingPlatform::imageOf(const std::vector<unsigned char>& bytes) {
    // FNV-1a over the part a cursor loader reads: the file up to the end of its first
    // image, or its first 2238 bytes (a slice) when its entry says nothing sensible.
    std::size_t n = std::min<std::size_t>(bytes.size(), 2238);
    if (const std::optional<CursorEntry> entry = ReadCursorEntry(bytes))
        if (const std::uint64_t end = std::uint64_t{entry->offset} + entry->bytes; end > 0 && end <= bytes.size())
            n = static_cast<std::size_t>(end);
    const std::uint64_t h = fnv1a(std::span(bytes).first(n));
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

int RecordingPlatform::sideOfHandle(CursorHandle h) const {
    auto it = handles_.find(h.value());
    if (h.isNull() || it == handles_.end()) return 0;
    return it->second.kind == Kind::System ? pointerSide : it->second.side;
}

int RecordingPlatform::liveCopies() const {
    return static_cast<int>(std::count_if(handles_.begin(), handles_.end(), [](const auto& e) {
        return e.second.kind == Kind::Copy && e.second.alive && !e.second.givenToSystem;
    }));
}

CursorHandle RecordingPlatform::newHandle(ImageId image, Kind kind, int side) {
    const std::uintptr_t v = next_++;
    handles_[v] = HandleInfo{std::move(image), kind, true, false, side};
    setResult(hex(v));
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

std::optional<ImageId> RecordingPlatform::readImage(const std::filesystem::path& file, bool* noPixels) const {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A one-image cursor file: reserved 0, type 2, count 1, then its entry.
    const std::optional<CursorFileHeader> header = ReadCursorFileHeader(bytes);
    if (!header || header->reserved != 0 || header->type != kCursorType || header->count != 1 || !ReadCursorEntry(bytes))
        return std::nullopt;
    if (!DescribesImage(bytes)) {
        if (noPixels) *noPixels = true;
        return std::nullopt;
    }
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

CursorHandle RecordingPlatform::LoadCursor(std::uint32_t id) {
    // What the system shows for the id now: a direction image after an install.
    if (record("LoadCursor", std::to_string(id))) return {};
    if (!system_.count(id)) {
        setResult("0");
        return {};
    }
    setResult(hex(id));
    return CursorHandle{id};
}

CursorHandle RecordingPlatform::copy(const char* op, CursorHandle cursor, bool keepsFrames) {
    if (record(op, hex(cursor.value()))) return {};
    if (!live(cursor, op)) {
        setResult("0");
        return {};
    }
    ImageId image = imageOfHandle(cursor);
    if (!keepsFrames && animated.count(image)) image += ":still";
    return newHandle(image, Kind::Copy, sideOfHandle(cursor));
}

CursorHandle RecordingPlatform::CopyIcon(CursorHandle cursor) { return copy("CopyIcon", cursor, false); }

CursorHandle RecordingPlatform::CopyImage(CursorHandle cursor) { return copy("CopyImage", cursor, true); }

bool RecordingPlatform::release(const char* op, CursorHandle cursor) {
    if (record(op, hex(cursor.value()))) return false;
    HandleInfo* info = live(cursor, op);
    if (!info) return false;
    if (info->kind == Kind::System) {
        misuse_.push_back(std::string(op) + ": a shared system pointer " + hex(cursor.value()));
        return false;
    }
    info->alive = false;
    return true;
}

bool RecordingPlatform::DestroyIcon(CursorHandle cursor) { return release("DestroyIcon", cursor); }

bool RecordingPlatform::SetSystemCursor(CursorHandle cursor, std::uint32_t id) {
    if (record("SetSystemCursor", hex(cursor.value()) + "," + std::to_string(id))) return false;
    HandleInfo* info = live(cursor, "SetSystemCursor");
    if (!info) return false;
    system_[id] = imageOfHandle(cursor);
    if (info->kind == Kind::Copy) info->givenToSystem = true;
    return true;
}

CursorHandle RecordingPlatform::LoadImage(const std::filesystem::path& file, int side) {
    if (record("LoadImage", quote(file.filename().string()) + "," + std::to_string(side))) return {};
    // MAX_PATH, its NUL included, is all the system's cursor loader takes.
    const std::optional<std::u16string> units = Utf16FromWtf8(file.string());
    if (!units || units->size() + 1 > kMaxPath) {
        setResult("0");
        return {};
    }
    bool noPixels = false;
    const auto image = readImage(file, &noPixels);
    if (noPixels) misuse_.push_back("LoadImage: a picture without pixels ends the process in the loader");
    if (!image || side < 1) {
        setResult("0");
        return {};
    }
    return newHandle(*image, Kind::Loaded, side);
}

std::optional<IconSize> RecordingPlatform::GetIconInfo(CursorHandle cursor) {
    if (record("GetIconInfo", hex(cursor.value())) || !live(cursor, "GetIconInfo")) {
        setResult("0");
        return std::nullopt;
    }
    const int side = sideOfHandle(cursor);
    setResult(std::to_string(side) + "x" + std::to_string(side));
    return IconSize{side, side};
}

int RecordingPlatform::GetSystemMetrics(int index) {
    const int value = index == kSmCxCursor ? cursorMetric : 0;
    record("GetSystemMetrics", std::to_string(index), std::to_string(value));
    return calls_.back().result == "FAILED" ? 0 : value;
}

bool RecordingPlatform::DestroyCursor(CursorHandle cursor) { return release("DestroyCursor", cursor); }

bool RecordingPlatform::ReloadSystemCursors() {
    if (record("ReloadSystemCursors", "")) return false;
    for (auto id : kSystemPointers) system_[id] = scheme.at(id);
    if (afterReload) afterReload();
    return true;
}

void RecordingPlatform::changeScheme(const std::string& name) {
    for (auto id : kSystemPointers) system_[id] = scheme[id] = name + ":" + std::to_string(id);
}

bool RecordingPlatform::StartPointerWatcher() {
    if (record("StartPointerWatcher", "")) return false;
    watcherStarted = true;
    watcherEnded = false;
    return true;
}

bool RecordingPlatform::PointerWatcherEnded() {
    record("PointerWatcherEnded", "", boolText(watcherEnded));
    return watcherEnded;
}

void RecordingPlatform::DismissPointerWatcher() {
    record("DismissPointerWatcher", "");
    if (!watcherStarted) misuse_.push_back("DismissPointerWatcher: no watcher was started");
    watcherDismissed = true;
}

}  // namespace tarn::testing

// The cost of one tick of the core (tracker update plus install decisions) against a
// platform that does nothing, and proof that a tick allocates no heap memory: the
// tick runs every few milliseconds for as long as the program runs.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "rotation/pointer_rotation.h"

namespace {

std::atomic<long long> g_allocations{0};

}  // namespace

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tarn {
namespace {

// Every operation returns at once; the pointer walks a circle so the tracker works.
class NullPlatform final : public Platform {
public:
    bool GetCursorPos(Point& where) override {
        static constexpr Point path[8] = {{100, 90}, {107, 93}, {110, 100}, {107, 107},
                                          {100, 110}, {93, 107}, {90, 100}, {93, 93}};
        where = path[step_++ & 7];
        return true;
    }
    bool SetCursorPos(std::int32_t, std::int32_t) override { return true; }
    CursorHandle LoadCursor(std::uint32_t id) override { return CursorHandle{id}; }
    CursorHandle CopyIcon(CursorHandle c) override { return CursorHandle{c.value() + 1000}; }
    CursorHandle CopyImage(CursorHandle c) override { return CursorHandle{c.value() + 1000}; }
    bool DestroyIcon(CursorHandle) override { return true; }
    bool SetSystemCursor(CursorHandle c, std::uint32_t) override {
        benchmark::DoNotOptimize(c);
        return true;
    }
    CursorHandle LoadImage(const std::filesystem::path&, int) override { return {}; }
    std::optional<IconSize> GetIconInfo(CursorHandle) override { return IconSize{32, 32}; }
    int GetSystemMetrics(int) override { return 32; }
    bool DestroyCursor(CursorHandle) override { return true; }
    bool ReloadSystemCursors() override { return true; }
    WindowHandle FormWindow() override { return {}; }
    TwipsRect FormRectTwips() override { return {}; }
    double TwipsPerPixelX() override { return 15; }
    double TwipsPerPixelY() override { return 15; }
    void ShowForm() override {}
    void HideForm() override {}
    void SetFormVisible(bool) override {}
    bool MoveWindow(WindowHandle, std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool) override { return true; }
    void SetLabelForeColor(int, std::uint32_t) override {}
    void SetCheckValue(int, int) override {}
    int CheckValue(int) override { return 0; }
    WindowHandle KnobWindow() override { return {}; }
    TwipsRect KnobRectTwips() override { return {}; }
    void SetKnobLeftTwips(double) override {}
    void SetHwndPropStr(WindowHandle, const std::string&) override {}
    void SetTimerEnabled(Timer, bool) override {}
    void SetTimerInterval(Timer, std::int32_t) override {}
    void DoEvents() override {}
    void ClearListViewSmallIcons() override {}
    void ClearListView() override {}
    void ClearImageList() override {}
    void AddImageListPicture(const std::string&, PictureHandle) override {}
    void ImageList_Replace(const std::string&, PictureHandle) override {}
    void AddListViewItem(const std::string&, const std::string&, const std::string&) override {}
    std::optional<std::string> ListViewSelectedKey() override { return {}; }
    void SetListViewSelectedKey(const std::string&) override {}
    PictureHandle LoadPicture(const std::filesystem::path&) override { return {}; }
    PictureHandle CreateDIBSection(int, int, std::span<const std::uint8_t>) override { return {}; }
    void SetPreviewPicture(PictureHandle) override {}
    WindowHandle TrayHostWindow() override { return {}; }
    IconHandle FormIcon() override { return {}; }
    std::uint32_t NotifyIconRecordSize() override { return 0; }
    bool Shell_NotifyIcon(NotifyIconMessage, const NotifyIconRecord&) override { return true; }
    void ShellExecute(WindowHandle, const std::string&, const std::string&, const std::string&, const std::string&,
                      int) override {}
    void MessageBox(const std::string&) override {}
    std::optional<std::string> MultiByteToWideChar(std::string_view ansi) override { return std::string(ansi); }
    std::optional<std::string> WideCharToMultiByte(std::string_view text) override { return std::string(text); }
    std::optional<std::uint32_t> GetFileInformationByHandle(const std::filesystem::path&) override { return 1; }
    std::error_code CreateFile(const std::filesystem::path&) override { return {}; }
    OpenedFile CreateFile(const std::filesystem::path&, FileAccess, FileCreation, std::uint32_t) override {
        return {FileHandle(1), {}};
    }
    std::optional<FileInformation> GetFileInformationByHandle(FileHandle) override { return FileInformation{}; }
    std::optional<std::filesystem::path> GetFinalPathNameByHandle(FileHandle) override { return std::nullopt; }
    std::error_code WriteFile(FileHandle, std::span<const unsigned char>) override { return {}; }
    std::error_code SetFileInformationByHandle(FileHandle, const FileDispositionInfo&) override { return {}; }
    void CloseHandle(FileHandle) override {}
    std::vector<FoundFile> FindFirstFile(const std::filesystem::path&) override { return {}; }
    std::optional<std::filesystem::path> SHGetKnownFolderPath(KnownFolder) override { return std::nullopt; }
    bool PrevInstance() override { return false; }
    bool StartPointerWatcher() override { return true; }
    void DismissPointerWatcher() override {}
    bool PointerWatcherEnded() override { return false; }
    std::filesystem::path ProgramFolder() override { return {}; }
    void SetTaskVisible(bool) override {}
    std::uint64_t GetTickCount64() override { return 0; }
    void End() override {}

private:
    unsigned step_ = 0;
};

void tick(benchmark::State& state, RoleFlags flags) {
    NullPlatform platform;
    DirectionTracker tracker;
    TarnMod saved{platform};
    PointerRotation rotation{platform, tracker, saved};
    DirectionHandles handles{};
    for (std::size_t i = 0; i < handles.size(); ++i) handles[i] = CursorHandle{100 + i};
    rotation.CaptureUserPointers();

    const long long before = g_allocations.load();
    for (auto _ : state) rotation.Timer1_Timer(handles, flags);
    const long long allocations = g_allocations.load() - before;

    state.counters["allocations_per_tick"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
    if (allocations != 0) state.SkipWithError("a tick allocated heap memory");
}

void BM_TickNoRoles(benchmark::State& state) { tick(state, {false, false}); }
void BM_TickNormalRole(benchmark::State& state) { tick(state, {true, false}); }
void BM_TickAllRoles(benchmark::State& state) { tick(state, {true, true}); }

BENCHMARK(BM_TickNoRoles);
BENCHMARK(BM_TickNormalRole);
BENCHMARK(BM_TickAllRoles);

}  // namespace
}  // namespace tarn

BENCHMARK_MAIN();

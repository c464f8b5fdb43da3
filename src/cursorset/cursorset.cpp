#include "cursorset/cursorset.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <exception>
#include <optional>
#include <span>
#include <utility>

#include "cursorset/cursor_check.h"
#include "cursorset/set_file.h"
#include "files/file_names.h"
#include "platform/messages.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

using Slots = std::bitset<kSliceCount>;

// Puts the new handles into the marked slots, then releases each old one that no slot
// holds any more: a load that stopped half way leaves old and new handles side by side,
// and only a handle no slot holds may go. Every slot has its new handle before any old
// one is released.
void swapIn(Platform& platform, CursorSet& set, const Slots& slots, const std::array<CursorHandle, kSliceCount>& fresh) {
    std::array<CursorHandle, kSliceCount> old{};
    for (std::size_t i = 0; i < kSliceCount; ++i)
        if (slots[i]) old[i] = std::exchange(set.handles[i], fresh[i]);
    for (std::size_t i = 0; i < kSliceCount; ++i) {
        if (old[i].isNull()) continue;
        const bool held = std::find(set.handles.begin(), set.handles.end(), old[i]) != set.handles.end();
        const bool releasedBefore = std::find(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(i), old[i]) !=
                                    old.begin() + static_cast<std::ptrdiff_t>(i);
        if (!held && !releasedBefore) platform.DestroyCursor(old[i]);
    }
}

// One direction made into a pointer of `side` pixels through the set's scratch file: a
// picture of that size scaled from the large pictures when there are some (the system
// takes it as it is), else the slice, which the system stretches; a null handle when the
// loader refuses it. A slice whose picture has no pixels would end the program inside
// the loader: it is refused here, as the loader refuses any other slice that is no
// cursor. Throws the scratch file's exceptions.
CursorHandle makePointer(Platform& platform, CursorSet& set, const Folders& folders,
                         std::span<const unsigned char> slice, const Companion* companion, std::size_t direction,
                         int side) {
    if (companion) {
        // Larger than a cursor file's entry can say, the largest picture is stretched.
        const int pictureSide = std::min(side, kMaxCursorSide);
        if (const auto file = CompanionCursor(*companion, direction, slice, std::span<const int>(&pictureSide, 1)))
            return platform.LoadImage(set.scratch.write(platform, folders, *file), side);
    }
    const fs::path& scratch = set.scratch.write(platform, folders, slice);
    return DescribesImage(slice) ? platform.LoadImage(scratch, side) : CursorHandle{};
}

// The large pictures beside a set file, and what to say when they cannot be used.
struct LargePictures {
    std::shared_ptr<const Companion> companion;
    std::string file;                  // their path, which is said once a run
    std::optional<std::string> fault;  // the description after "LoadTWC\n"
};

LargePictures largePictures(const fs::path& setFile) {
    LargePictures large;
    const std::string setName = Utf8FromPath(setFile.filename());
    const fs::path file = setFile.parent_path() / PathFromUtf8(CompanionName(setName));
    large.file = Utf8FromPath(file);
    std::string fault;
    try {
        std::optional<CompanionRead> read = ReadCompanionFile(file);
        if (!read) return large;  // none: the slices, and nothing to say
        if (read->companion) {
            large.companion = std::make_shared<const Companion>(std::move(*read->companion));
            return large;
        }
        fault = read->fault;
    } catch (const std::exception& e) {
        fault = e.what();  // out of memory: the set itself may still load
    }
    large.fault = messages::CannotUseLargePictures(large.file, setName, fault);
    return large;
}

}  // namespace

int PointerSide(Platform& platform) {
    const auto trusted = [](int side) { return side >= kMinPointerSide && side <= kMaxPointerSide; };
    const CursorHandle ibeam = platform.LoadCursor(kIdcIBeam);
    if (!ibeam.isNull())
        if (const std::optional<IconSize> size = platform.GetIconInfo(ibeam); size && trusted(size->width))
            return size->width;
    const int nominal = platform.GetSystemMetrics(kSmCxCursor);
    return trusted(nominal) ? nominal : kSliceSide;
}

void MakeSlotPointer(Platform& platform, CursorSet& set, std::size_t index, std::span<const unsigned char> image,
                     const Folders& folders) {
    std::array<CursorHandle, kSliceCount> fresh{};
    fresh[index] = makePointer(platform, set, folders, image, nullptr, index, set.side);
    swapIn(platform, set, Slots().set(index), fresh);
    set.madeAt[index] = std::ranges::equal(image, set.images[index]) ? set.side : 0;
}

bool FitPointers(Platform& platform, CursorSet& set, const Folders& folders) {
    if (set.side == set.refusedSide) return false;
    Slots stale;
    for (std::size_t i = 0; i < kSliceCount; ++i) stale.set(i, !set.images[i].empty() && set.madeAt[i] != set.side);
    if (stale.none()) return false;
    std::array<CursorHandle, kSliceCount> fresh{};
    try {
        for (std::size_t i = 0; i < kSliceCount; ++i)
            if (stale[i])
                fresh[i] = makePointer(platform, set, folders, set.images[i], set.companions[i].get(), i, set.side);
    } catch (const std::exception&) {
        // The pointers of the old size go on working; a word now would come in the
        // middle of a rotation, for a file the load has already spoken about.
        for (const CursorHandle h : fresh)
            if (!h.isNull()) platform.DestroyCursor(h);
        set.refusedSide = set.side;
        return false;
    }
    swapIn(platform, set, stale, fresh);
    for (std::size_t i = 0; i < kSliceCount; ++i)
        if (stale[i]) set.madeAt[i] = set.side;
    return true;
}

PictureHandle LoadPreview(Platform& platform, CursorSet& set, const Folders& folders) {
    return platform.LoadPicture(set.scratch.write(platform, folders, set.images[kPreviewSlice]));
}

bool LoadTWC(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders,
             WithoutCursor withoutCursor) {
    const auto report = [&](const std::string& description) {
        platform.MessageBox(messages::StepText(messages::kLoadTWC, description));
    };
    // The file's slices and their pointers wait here until the file is read to its end,
    // so that a file without a single cursor in it replaces nothing. Slice by slice, each
    // made into a pointer before the next is read: a failure half way hands the slots
    // made before it over to the set.
    std::array<Slice, kSliceCount> images;
    std::array<CursorHandle, kSliceCount> handles{};
    std::size_t made = 0;    // slots with their image and pointer
    bool imageOnly = false;  // slot `made` has its image; its pointer could not be made
    LargePictures large;
    const int side = set.side;
    try {
        SetFileReader reader;
        if (!reader.open(platform, name, report, folders)) return false;
        large = largePictures(reader.file());
        for (; made < kSliceCount; ++made) {
            const SliceRead got = reader.read(made, 1, images[made]);
            if (got.slices() == 0) {
                report(*got.failure);
                break;
            }
            imageOnly = true;
            handles[made] = makePointer(platform, set, folders, images[made], large.companion.get(), made, side);
            imageOnly = false;
        }
        const bool noCursor = std::all_of(handles.begin(), handles.end(), [](CursorHandle h) { return h.isNull(); });
        if (made == kSliceCount && noCursor && withoutCursor == WithoutCursor::Refuse) {
            made = 0;  // refused: nothing is handed over, even should saying so fail
            report(messages::NoPointerInSet(Utf8FromPath(reader.file())));
            return false;
        }
    } catch (const std::exception& e) {
        report(e.what());
    }
    Slots taken;
    for (std::size_t i = 0; i < made; ++i) {
        taken.set(i);
        set.images[i] = std::move(images[i]);
        set.companions[i] = large.companion;
        set.madeAt[i] = side;
    }
    swapIn(platform, set, taken, handles);
    if (imageOnly) {
        // Its pointer is still the old one: the next fitting makes it of the new image.
        set.images[made] = std::move(images[made]);
        set.companions[made] = large.companion;
        set.madeAt[made] = 0;
    }
    // Said once the set is in place: its box runs its own message loop, in which the
    // rotation goes on with this set.
    if (made > 0 && large.fault && set.saidCompanions.insert(large.file).second) report(*large.fault);
    return made == kSliceCount;
}

}  // namespace tarn

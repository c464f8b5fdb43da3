#include "cursorset/cursorset.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "cursorset/cursor_check.h"
#include "cursorset/file_names.h"
#include "cursorset/set_file.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

// Stores the new handle in slot i and releases the one it replaces, unless that one
// is still held by another slot: a load that stopped half way leaves old and new
// handles side by side, and only a handle no slot holds any more may go.
void replaceHandle(Platform& platform, CursorSet& set, std::size_t i, CursorHandle fresh) {
    const CursorHandle old = set.handles[i];
    set.handles[i] = fresh;
    if (old.isNull()) return;
    if (std::find(set.handles.begin(), set.handles.end(), old) != set.handles.end()) return;
    platform.DestroyCursor(old);
}

// One slice made into a pointer through the scratch file; a null one when the loader
// refuses it. A slice whose picture has no pixels would end the program inside the
// loader: it is refused here, as the loader refuses any other slice that is no cursor.
// Throws WriteImageFile's exceptions.
CursorHandle makePointer(Platform& platform, std::span<const unsigned char> image, const fs::path& scratch) {
    WriteImageFile(image, scratch);
    return DescribesImage(image) ? platform.LoadCursorFromFile(scratch) : CursorHandle{};
}

}  // namespace

fs::path ScratchFile(Platform& platform, const Folders& folders) {
    return FolderOrProgram(platform, folders.scratch) / kScratchFileName;
}

std::vector<fs::path> ScratchFilePlaces(Platform& platform, const Folders& folders) {
    std::vector<fs::path> places{ScratchFile(platform, folders)};
    for (const fs::path& folder : {folders.program, folders.user}) {
        fs::path file = folder / kScratchFileName;
        if (!folder.empty() && file != places.front()) places.push_back(std::move(file));
    }
    return places;
}

fs::path ScratchFileToWrite(Platform& platform, const Folders& folders) {
    fs::path file = ScratchFile(platform, folders);
    MakeUserFolder(folders, file.parent_path());
    return file;
}

void WriteImage(const CursorSet& set, const fs::path& file, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kSliceCount)
        throw std::out_of_range("Image index " + std::to_string(index) + " is not 0 to 15");
    WriteImageFile(set.images[static_cast<std::size_t>(index)], file);
}

void WriteImageFile(std::span<const unsigned char> image, const fs::path& file) {
    // Opened for update, so a longer file keeps its tail; an update stream does not
    // create a missing file, so that is created first, without shortening anything.
    constexpr auto update = std::ios::in | std::ios::out | std::ios::binary;
    errno = 0;
    std::fstream out(file, update);
    if (!out.is_open()) {
        errno = 0;
        std::ofstream create(file, std::ios::app | std::ios::binary);
        if (!create.is_open()) throw std::runtime_error(DescribeFileFailure("Cannot create", file, errno));
        create.close();
        errno = 0;
        out.open(file, update);
        if (!out.is_open()) throw std::runtime_error(DescribeFileFailure("Cannot open for writing", file, errno));
    }
    if (!image.empty()) {
        errno = 0;
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out) throw std::runtime_error(DescribeFileFailure("Cannot write", file, errno));
    }
    errno = 0;
    out.close();
    if (out.fail()) throw std::runtime_error(DescribeFileFailure("Cannot write", file, errno));
}

void InstallSlice(Platform& platform, CursorSet& set, std::size_t index, std::vector<unsigned char> image,
                  const fs::path& scratch) {
    set.images[index] = std::move(image);
    replaceHandle(platform, set, index, makePointer(platform, set.images[index], scratch));
}

PictureHandle LoadPreview(Platform& platform, const CursorSet& set, const Folders& folders) {
    const fs::path scratch = ScratchFileToWrite(platform, folders);
    WriteImage(set, scratch, kPreviewSlice);
    return platform.LoadPicture(scratch);
}

bool LoadTWC(Platform& platform, CursorSet& set, const std::string& name, const Folders& folders,
             WithoutCursor withoutCursor) {
    const auto report = [&](const std::string& description) { platform.MessageBox("LoadTWC\n" + description); };
    // The file's slices and their pointers wait here until the file is read to its end,
    // so that a file without a single cursor in it replaces nothing. Slice by slice, each
    // made into a pointer before the next is read: a failure half way hands the slots
    // made before it over to the set.
    CursorSet fresh;
    std::size_t made = 0;        // slots of `fresh` with their image and pointer
    bool imageOnly = false;      // slot `made` has its image; its pointer could not be made
    try {
        SetFileReader reader;
        if (!reader.open(platform, name, report, folders)) return false;
        const fs::path scratch = ScratchFileToWrite(platform, folders);
        for (; made < kSliceCount; ++made) {
            const SliceRead got = reader.read(made, 1, fresh.images[made]);
            if (got.slices() == 0) {
                report(*got.failure);
                break;
            }
            imageOnly = true;
            fresh.handles[made] = makePointer(platform, fresh.images[made], scratch);
            imageOnly = false;
        }
        const bool noCursor = std::all_of(fresh.handles.begin(), fresh.handles.end(),
                                          [](CursorHandle h) { return h.isNull(); });
        if (made == kSliceCount && noCursor && withoutCursor == WithoutCursor::Refuse) {
            made = 0;  // refused: nothing is handed over, even should saying so fail
            report("Cannot use " + Utf8FromPath(reader.file()) +
                   ": none of its 16 images is a pointer the system can load.");
            return false;
        }
    } catch (const std::exception& e) {
        report(e.what());
    }
    for (std::size_t i = 0; i < made; ++i) {
        set.images[i] = std::move(fresh.images[i]);
        replaceHandle(platform, set, i, fresh.handles[i]);
    }
    if (imageOnly) set.images[made] = std::move(fresh.images[made]);
    return made == kSliceCount;
}

}  // namespace tarn

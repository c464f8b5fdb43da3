// Reading a .TWC file: its bytes as slices in memory, and a set file opened by name the
// way the loader opens it. Shared by the loader, which makes pointers of every slice,
// and the list builder, which only wants the preview.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cursorset/twc_format.h"
#include "files/folders.h"
#include "platform/platform.h"

namespace tarn {

using Slice = std::vector<unsigned char>;
using SetImages = std::array<Slice, kSliceCount>;

// Cuts the whole slices at the start of `bytes`, at most sixteen and at most as many as
// `into` holds, into `into` in direction order (reusing what its images hold): a set's
// images as far as the bytes go. Returns how many.
std::size_t CutSlices(std::span<const unsigned char> bytes, std::span<Slice> into);

// What one read gave: its first `bytes` bytes, and why it stopped short when it did.
struct SliceRead {
    std::size_t bytes = 0;
    std::optional<std::string> failure;  // "Cannot read slice N of <file>..."
    std::size_t slices() const { return bytes / kSliceBytes; }
};

// A set file's name: ".TWC" in any letter case.
bool HasSetExtension(std::string_view fileName);

// The file `name` in `folder`, in any ASCII letter case where the folder's file system
// tells letter case apart (Windows finds "Arrows.TWC" for "arrows.twc" itself); empty
// when the folder has none or cannot be listed.
std::filesystem::path FindIgnoringCase(Platform& platform, const std::filesystem::path& folder,
                                       const std::string& name);

// Where LoadTWC would find the set file `name`, found as it finds it but not opened;
// empty when it would load nothing (no such file, or not exactly 35808 bytes).
std::filesystem::path FindSetFile(Platform& platform, const std::string& name, const Folders& folders = {});

// A set file opened for reading, its size checked, reading from its start.
class SetFileReader {
public:
    using Report = std::function<void(const std::string&)>;

    // LoadTWC's checks in LoadTWC's order, the file taken from the first of the set
    // folders that has the name (in any letter case, where the folder's own letter case
    // does not match). False when there is nothing to read: an empty name, a name
    // that is not a bare file name, a missing file or one that is not exactly 35808
    // bytes (all silent), or a failure, which is passed to `report` (a folder, a file
    // that cannot be looked at or opened). May throw std::exception.
    bool open(Platform& platform, const std::string& name, const Report& report, const Folders& folders = {});

    // The next `count` slices (the first of them slice `first`) into `buffer`, made
    // that long, in one read of the file as it is now: a file that shrank since it was
    // opened gives the slices it still has and the failure of the first one it no
    // longer has.
    SliceRead read(std::size_t first, std::size_t count, std::vector<unsigned char>& buffer);

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    std::ifstream in_;
};

}  // namespace tarn

#include "cursorset/set_file.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "files/file_names.h"
#include "platform/messages.h"

namespace tarn {

bool HasSetExtension(std::string_view fileName) {
    return fileName.size() >= 4 && SameIgnoringAsciiCase(fileName.substr(fileName.size() - 4), ".TWC");
}

namespace fs = std::filesystem;

namespace {

// Where a set file lies, as far as looking at it told.
struct FoundSet {
    fs::path file;  // the last place tried when none has it
    fs::file_status status;
    std::error_code failure;  // looking at `file`
};

// The program's own sets first, as the list has them: a name in both folders is the
// program folder's.
FoundSet findSet(Platform& platform, const std::string& name, const Folders& folders) {
    FoundSet found;
    for (const fs::path& folder : SetFolders(platform, folders)) {
        found.file = folder / PathFromUtf8(name);
        found.status = fs::status(found.file, found.failure);
        if (found.status.type() != fs::file_type::not_found) break;
        found.file = FindIgnoringCase(platform, folder, name);
        if (found.file.empty()) continue;
        found.status = fs::status(found.file, found.failure);
        if (found.status.type() != fs::file_type::not_found) break;
    }
    return found;
}

// A file that is there and can be opened as one; a missing one says nothing, anything
// else that is not a file says what it is.
bool isPlainFile(const FoundSet& found, const SetFileReader::Report& report) {
    if (found.status.type() == fs::file_type::not_found) return false;
    if (found.failure) {
        report(messages::FileFailure(messages::kCannotLookAt, Utf8FromPath(found.file), found.failure.message()));
        return false;
    }
    if (!fs::is_regular_file(found.status)) {
        report(messages::NotAFile(Utf8FromPath(found.file)));
        return false;
    }
    return true;
}

}  // namespace

fs::path FindIgnoringCase(Platform& platform, const fs::path& folder, const std::string& name) {
    try {
        for (const FoundFile& entry : platform.FindFirstFile(folder))
            if (SameIgnoringAsciiCase(entry.name, name)) return folder / PathFromUtf8(entry.name);
    } catch (const PlatformError&) {
        // A folder that cannot be listed holds no file by that name.
    }
    return {};
}

fs::path FindSetFile(Platform& platform, const std::string& name, const Folders& folders) {
    if (!IsBareFileName(name)) return {};
    const FoundSet found = findSet(platform, name, folders);
    std::error_code ec;
    if (found.failure || !fs::is_regular_file(found.status) || fs::file_size(found.file, ec) != kSetFileBytes || ec)
        return {};
    return found.file;
}

std::size_t CutSlices(std::span<const unsigned char> bytes, std::span<Slice> into) {
    const std::size_t whole = std::min({bytes.size() / kSliceBytes, kSliceCount, into.size()});
    for (std::size_t i = 0; i < whole; ++i) {
        const auto slice = bytes.subspan(i * kSliceBytes, kSliceBytes);
        into[i].assign(slice.begin(), slice.end());
    }
    return whole;
}

bool SetFileReader::open(Platform& platform, const std::string& name, const Report& report, const Folders& folders) {
    // No set chosen yet (an empty name), or a name that could reach outside the program
    // folder, which is treated like a file that is not there.
    if (!IsBareFileName(name)) return false;

    const FoundSet found = findSet(platform, name, folders);
    file_ = found.file;
    if (!isPlainFile(found, report)) return false;

    // Unbuffered: each read is one read of the file as it is now, so a file that
    // shrinks while it is loaded fails at the slice it no longer has.
    in_.rdbuf()->pubsetbuf(nullptr, 0);
    errno = 0;
    in_.open(file_, std::ios::binary);
    if (!in_.is_open()) {
        report(DescribeFileFailure(messages::kCannotOpen, file_, errno));
        return false;
    }
    // The length from the open file itself, then back to its start.
    const std::streamoff length = in_.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
    if (length != static_cast<std::streamoff>(kSetFileBytes)) return false;  // not a set: silently ignored
    in_.rdbuf()->pubseekpos(0, std::ios::in);
    return true;
}

SliceRead SetFileReader::read(std::size_t first, std::size_t count, std::vector<unsigned char>& buffer) {
    buffer.resize(count * kSliceBytes);
    errno = 0;
    in_.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    SliceRead result{static_cast<std::size_t>(in_.gcount()), std::nullopt};
    if (result.bytes < buffer.size())
        result.failure = DescribeFileFailure(messages::CannotReadSlice(first + result.slices()), file_, errno);
    return result;
}

}  // namespace tarn

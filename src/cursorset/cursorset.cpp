#include "cursorset/cursorset.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "cursorset/files.h"

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

// Windows finds "Arrows.TWC" for a file written "arrows.twc"; a case-sensitive file
// system does not, so the folder is searched for the name in another letter case.
fs::path findIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = Utf8FromPath(it->path().filename());
        if (SameIgnoringAsciiCase(candidate, name)) return it->path();
    }
    return {};
}

}  // namespace

fs::path ScratchFile(Platform& platform) { return platform.ProgramFolder() / "mw.tmp"; }

void WriteImage(const CursorSet& set, const fs::path& file, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kSliceCount)
        throw std::out_of_range("Image index " + std::to_string(index) + " is not 0 to 15");
    const auto& image = set.images[static_cast<std::size_t>(index)];

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

PictureHandle LoadPreview(Platform& platform, const CursorSet& set) {
    const fs::path scratch = ScratchFile(platform);
    WriteImage(set, scratch, kPreviewSlice);
    return platform.LoadPicture(scratch);
}

void LoadTWC(Platform& platform, CursorSet& set, const std::string& name) {
    const auto report = [&](const std::string& description) { platform.MessageBox("LoadTWC\n" + description); };
    try {
        if (name.empty()) {
            report("Bad file name: the cursor set file name is empty");
            return;
        }
        // A name that could reach outside the program folder is treated like a file
        // that is not there.
        if (!IsBareFileName(name)) return;

        const fs::path folder = platform.ProgramFolder();
        fs::path file = folder / PathFromUtf8(name);
        std::error_code ec;
        fs::file_status status = fs::status(file, ec);
        if (status.type() == fs::file_type::not_found) {
            file = findIgnoringCase(folder, name);
            if (file.empty()) return;
            status = fs::status(file, ec);
            if (status.type() == fs::file_type::not_found) return;
        }
        if (ec) {
            report("Cannot look at " + Utf8FromPath(file) + ": " + ec.message());
            return;
        }
        if (!fs::is_regular_file(status)) {
            report(Utf8FromPath(file) + " is not a file");
            return;
        }

        // Unbuffered: each slice is one read of the file as it is now, so a file that
        // shrinks while it is loaded fails at the slice it no longer has.
        std::ifstream in;
        in.rdbuf()->pubsetbuf(nullptr, 0);
        errno = 0;
        in.open(file, std::ios::binary);
        if (!in.is_open()) {
            report(DescribeFileFailure("Cannot open", file, errno));
            return;
        }
        in.seekg(0, std::ios::end);
        const std::streamoff length = in.tellg();
        if (length != static_cast<std::streamoff>(kSetFileBytes)) return;  // not a set: silently ignored
        in.seekg(0, std::ios::beg);

        const fs::path scratch = ScratchFile(platform);
        for (std::size_t i = 0; i < kSliceCount; ++i) {
            std::vector<unsigned char> slice(kSliceBytes);
            errno = 0;
            in.read(reinterpret_cast<char*>(slice.data()), static_cast<std::streamsize>(kSliceBytes));
            if (in.gcount() != static_cast<std::streamsize>(kSliceBytes)) {
                report(DescribeFileFailure("Cannot read slice " + std::to_string(i) + " of", file, errno));
                return;
            }
            set.images[i] = std::move(slice);
            WriteImage(set, scratch, static_cast<int>(i));
            replaceHandle(platform, set, i, platform.LoadCursorFromFile(scratch));
        }
    } catch (const std::exception& e) {
        report(e.what());
    }
}

}  // namespace tarn

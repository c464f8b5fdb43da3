#include "cursorset/cursorset.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tarn {

namespace fs = std::filesystem;

namespace {

// The description of a failed file operation, with the system's reason when it gave one.
std::string describe(const std::string& what, const fs::path& file, int err) {
    std::string text = what + " " + Utf8FromPath(file);
    if (err != 0) text += ": " + std::generic_category().message(err);
    return text;
}

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

// Only ASCII letters fold: that is all a set's extension or a device name needs.
bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        char y = b[i];
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// Windows finds "Arrows.TWC" for a file written "arrows.twc"; a case-sensitive file
// system does not, so the folder is searched for the name in another letter case.
fs::path findIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = Utf8FromPath(it->path().filename());
        if (sameLetters(candidate, name)) return it->path();
    }
    return {};
}

}  // namespace

fs::path ScratchFile(Platform& platform) { return platform.ProgramFolder() / "mw.tmp"; }

fs::path PathFromUtf8(std::string_view name) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool IsBareFileName(std::string_view name) {
    if (name.empty()) return false;
    // No file name is longer than 255 UTF-16 units; a longer text names nothing here.
    std::size_t units = 0;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    if (units > 255) return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
        if (std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos) return false;
    }
    // Windows drops trailing dots and spaces, so "x.TWC." would open "x.TWC" and ".."
    // the parent folder.
    if (name.back() == '.' || name.back() == ' ') return false;

    // Device names open the device whatever the extension ("NUL.TWC", "con .ini").
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (sameLetters(stem, device)) return false;
    if (stem.size() == 4 && (sameLetters(stem.substr(0, 3), "COM") || sameLetters(stem.substr(0, 3), "LPT")) &&
        stem[3] >= '1' && stem[3] <= '9')
        return false;
    return true;
}

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
        if (!create.is_open()) throw std::runtime_error(describe("Cannot create", file, errno));
        create.close();
        errno = 0;
        out.open(file, update);
        if (!out.is_open()) throw std::runtime_error(describe("Cannot open for writing", file, errno));
    }
    if (!image.empty()) {
        errno = 0;
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out) throw std::runtime_error(describe("Cannot write", file, errno));
    }
    errno = 0;
    out.close();
    if (out.fail()) throw std::runtime_error(describe("Cannot write", file, errno));
}

PictureHandle LoadPreview(Platform& platform, const CursorSet& set) {
    const fs::path scratch = ScratchFile(platform);
    WriteImage(set, scratch, 2);
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
            report(describe("Cannot open", file, errno));
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
                report(describe("Cannot read slice " + std::to_string(i) + " of", file, errno));
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

#include "twcmake/files.h"

#include <fstream>
#include <system_error>

#include "twcmake/image.h"

namespace tarn::twc {

namespace fs = std::filesystem;

fs::path pathFromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string displayName(const fs::path& path) {
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

std::vector<std::uint8_t> readWholeFile(const fs::path& file, std::uintmax_t limit) {
    std::error_code ec;
    const auto status = fs::status(file, ec);
    if (!fs::exists(status)) throw TwcError(displayName(file) + ": no such file");
    if (!fs::is_regular_file(status)) throw TwcError(displayName(file) + ": not a file");
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) throw TwcError(displayName(file) + ": cannot read (" + ec.message() + ")");
    if (size > limit) throw TwcError(displayName(file) + ": too large (" + std::to_string(size) + " bytes)");

    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (in && size > 0) in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!in) throw TwcError(displayName(file) + ": cannot read");
    return bytes;
}

void writeFileAtomically(const fs::path& file, std::span<const std::uint8_t> bytes) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw TwcError(displayName(folder) + ": no such folder");
    if (fs::is_directory(file, ec)) throw TwcError(displayName(file) + ": is a folder");

    // A name of our own beside the target: the rename then never crosses file systems.
    fs::path temp;
    for (int n = 0;; ++n) {
        const std::string number = std::to_string(n);
        temp = folder / (file.filename().u8string() + u8".twcmake-" + std::u8string(number.begin(), number.end()) + u8".tmp");
        if (!fs::exists(temp, ec)) break;
        if (n == 999) throw TwcError(displayName(file) + ": cannot find a free temporary name");
    }

    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            throw TwcError(displayName(file) + ": cannot write");
        }
    }
    fs::rename(temp, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw TwcError(displayName(file) + ": cannot replace (" + ec.message() + ")");
    }
}

}  // namespace tarn::twc

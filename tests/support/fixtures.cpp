#include "support/fixtures.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tarn::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name = "tarnwick-test-" + std::to_string(rd()) + "-" + std::to_string(counter++);
        const fs::path candidate = fs::temp_directory_path() / name;
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {
void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}
}  // namespace

Bytes cursorSlice(std::uint32_t mark, int hotX, int hotY) {
    Bytes b(2238, 0);
    put16(b, 2, 2);  // type: cursor
    put16(b, 4, 1);  // one image
    b[6] = 32;       // width
    b[7] = 32;       // height
    put16(b, 10, static_cast<unsigned>(hotX));
    put16(b, 12, static_cast<unsigned>(hotY));
    put32(b, 14, 2238 - 22);  // bytes in the image
    put32(b, 18, 22);         // offset of the image
    put32(b, 22, 40);         // BITMAPINFOHEADER
    put32(b, 26, 32);
    put32(b, 30, 64);  // height doubled: colour and mask
    put16(b, 34, 1);
    put16(b, 36, 8);
    // Palette entry 1 and the first pixels carry the mark.
    put32(b, 62 + 4, mark * 2654435761u);
    put32(b, 62 + 1024, mark);
    return b;
}

Bytes cursorSet(std::uint32_t setMark) {
    Bytes all;
    all.reserve(35808);
    for (std::uint32_t i = 0; i < 16; ++i) {
        const Bytes s = cursorSlice(setMark * 16 + i);
        all.insert(all.end(), s.begin(), s.end());
    }
    return all;
}

void writeFile(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

void writeText(const fs::path& file, const std::string& text) {
    writeFile(file, Bytes(text.begin(), text.end()));
}

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string readText(const fs::path& file) {
    const Bytes b = readFile(file);
    return std::string(b.begin(), b.end());
}

std::string capture(const std::string& command, int* status) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    for (std::size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    const int done = pipe ? pclose(pipe) : -1;
    if (status) *status = done;
    return out;
}

}  // namespace tarn::testing

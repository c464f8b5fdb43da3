// Helpers shared by the tests: real temporary program folders and cursor set files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarn::testing {

using Bytes = std::vector<unsigned char>;

// A fresh, empty folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// One well-formed 2238-byte, 32x32, 256-colour cursor file whose pixels are marked with
// `mark`, so that slices of different sets and directions differ.
Bytes cursorSlice(std::uint32_t mark, int hotX = 16, int hotY = 16);
// Sixteen slices end to end (35808 bytes), slice i marked `setMark * 16 + i`.
Bytes cursorSet(std::uint32_t setMark);

void writeFile(const std::filesystem::path& file, const Bytes& bytes);
void writeText(const std::filesystem::path& file, const std::string& text);
Bytes readFile(const std::filesystem::path& file);
std::string readText(const std::filesystem::path& file);

// Runs a shell command and returns its standard output; its exit status goes to `status`
// where one is given (-1 when it could not be run).
std::string capture(const std::string& command, int* status = nullptr);

}  // namespace tarn::testing

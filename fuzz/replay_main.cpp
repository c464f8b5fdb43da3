// Feeds files to a fuzz target without libFuzzer, so the committed corpus replays as a
// regression test under any compiler: each argument is a file, or a folder whose files
// are fed in name order. Exits non-zero when nothing was fed or a file cannot be read;
// a target that finds a fault aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool feed(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (!std::filesystem::is_directory(arg)) {
            files.push_back(arg);
            continue;
        }
        std::vector<std::filesystem::path> inside;
        for (const auto& entry : std::filesystem::directory_iterator(arg))
            if (entry.is_regular_file()) inside.push_back(entry.path());
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    int fed = 0;
    for (const auto& file : files) {
        if (!feed(file)) return 1;
        ++fed;
    }
    std::printf("replay: %d input%s, no fault\n", fed, fed == 1 ? "" : "s");
    return fed > 0 ? 0 : 1;
}

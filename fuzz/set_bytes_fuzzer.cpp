// A set file's bytes in memory, cut as the loader cuts them: the whole slices of any
// input are its bytes in order, at most sixteen, and the input repeated to a set's
// 35808 bytes gives sixteen 2238-byte images that are the file end to end.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cursorset/set_file.h"

namespace {

using namespace tarn;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "set_bytes_fuzzer: %s\n", what);
    std::abort();
}

bool slicesAre(const SetImages& images, std::size_t count, const std::uint8_t* bytes) {
    for (std::size_t i = 0; i < count; ++i)
        if (images[i].size() != kSliceBytes || std::memcmp(images[i].data(), bytes + i * kSliceBytes, kSliceBytes) != 0)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const unsigned char> raw(data, size);
    static SetImages cut;
    const std::size_t count = CutSlices(raw, cut);
    require(count == std::min(size / kSliceBytes, kSliceCount), "wrong number of whole slices");
    require(slicesAre(cut, count, data), "a cut slice is not its bytes");

    // An input that is a whole set was cut above; the input repeated would be itself.
    if (size == 0 || size == kSetFileBytes) return 0;
    // The input once, then what is filled doubled: a few copies, not one per repeat,
    // which for a one-byte input were 35808 copies.
    static std::vector<unsigned char> fitted(kSetFileBytes);
    std::size_t filled = std::min<std::size_t>(size, fitted.size());
    std::memcpy(fitted.data(), data, filled);
    while (filled < fitted.size()) {
        const std::size_t more = std::min(filled, fitted.size() - filled);
        std::memcpy(fitted.data() + filled, fitted.data(), more);
        filled += more;
    }
    require(CutSlices(fitted, cut) == kSliceCount && slicesAre(cut, kSliceCount, fitted.data()),
            "a full-sized set is not cut into sixteen");
    return 0;
}

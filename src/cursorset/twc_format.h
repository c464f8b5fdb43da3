// The .TWC cursor set file: sixteen one-image cursor files of 2238 bytes each (32 x 32
// pixels, 256 colours), end to end with nothing around them. Slice 0 points straight up
// and each next slice is turned 22.5 degrees clockwise. Shared by the program and the
// set authoring tool.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

inline constexpr std::size_t kSliceCount = 16;
inline constexpr std::size_t kSliceBytes = 2238;
inline constexpr int kSliceSide = 32;  // pixels, each way
inline constexpr std::uintmax_t kSetFileBytes = kSliceBytes * kSliceCount;  // 35808
// The slice a set is shown by: up and to the right.
inline constexpr int kPreviewSlice = 2;

}  // namespace tarn

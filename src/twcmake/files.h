// Whole-file reading, and writing that never leaves a half-written file behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tarn::twc {

// Paths arrive as UTF-8 text and are shown back as UTF-8.
std::filesystem::path pathFromUtf8(const std::string& text);
std::string displayName(const std::filesystem::path& path);

// Throws TwcError naming the file when it is missing or unreadable. Files larger than
// `limit` bytes are refused without reading them.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& file, std::uintmax_t limit);

// Writes to a temporary name in the target's folder, then renames it over the target,
// so the target is either its old self or the complete new file. Throws TwcError.
void writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

}  // namespace tarn::twc

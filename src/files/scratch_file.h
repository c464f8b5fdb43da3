// The scratch file, mw.tmp, through which every image reaches the system's cursor loader
// and the toolkit's picture loader. A run writes only into a file it made itself: its
// first write makes a new file where nothing of that name lies, not even a link, and
// every later write opens the name again and goes on only while it names that same file,
// so a link put in its place meanwhile is never written through.
//
// A file of that name found at start-up is only a mark and its bytes are never read: a
// plain file of one name is an earlier run's, which never reached its clean-up; a folder,
// a link or a file with a second name is the user's and is left where it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "files/folders.h"
#include "platform/platform.h"

namespace tarn {

class ScratchFile {
public:
    // Start-up, before the first write: looks under every name a run may have used, in
    // the program folder and the per-user one, and removes each earlier run's file it
    // finds. True when there was one. Never throws.
    bool takeLeftovers(Platform& platform, const Folders& folders);

    // Puts `bytes` at the start of this run's file, made by the first write (and again
    // should it be gone): mw.tmp in this run's folder, else in the per-user one, else
    // mw.tmp2 ... mw.tmp9 the same way. Empty bytes write nothing. Returns the file's
    // path. Throws std::runtime_error with a description, also when the name no longer
    // names the file this run made.
    const std::filesystem::path& write(Platform& platform, const Folders& folders,
                                       std::span<const unsigned char> bytes);

    // This run's file: empty before the first write and after remove().
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

    // Deletes this run's file, if its name still names it. Never throws.
    void remove(Platform& platform);

private:
    const std::filesystem::path& make(Platform& platform, const Folders& folders,
                                      std::span<const unsigned char> bytes);

    [[nodiscard]] bool isMine(const std::optional<FileInformation>& info) const;

    std::filesystem::path path_;
    // The file's identity, which a link or another file in its place does not have.
    std::uint64_t volume_ = 0;
    std::uint64_t index_ = 0;
};

}  // namespace tarn

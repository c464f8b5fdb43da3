#include "settings/settings.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "files/file_names.h"
#include "files/folders.h"
#include "platform/messages.h"
#include "platform/wtf8.h"
#include "settings/settings_text.h"

namespace tarn {

namespace fs = std::filesystem;

namespace {

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The whole text, made beforehand, in one write to `file`, emptied first. A failure
// throws its description; `afterWriteFailure` follows it when the write itself failed.
void writeText(const fs::path& file, const std::string& text, const char* afterWriteFailure = "") {
    errno = 0;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) throw std::runtime_error(DescribeFileFailure(messages::kCannotOpenForWriting, file, errno));
    errno = 0;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out.fail())
        throw std::runtime_error(DescribeFileFailure(messages::kCannotWrite, file, errno) + afterWriteFailure);
}

// The new file is written beside the old one and renamed over it, so a full disk or a
// failed write never costs the user the settings they had. The new file is one the
// program has just made: something already lying under its name is the user's (or left
// by a run cut short) and is neither written over nor removed.
void replaceByRename(Platform& platform, const fs::path& target, const std::string& text) {
    const OwnFile temporary = CreateOwnFile(platform, target.parent_path(), kNewSettingsFileName);
    if (temporary.path.empty())
        throw std::runtime_error(messages::FileFailure(messages::kCannotCreate,
                                                       Utf8FromPath(target.parent_path() / kNewSettingsFileName),
                                                       temporary.failure.message()));
    try {
        writeText(temporary.path, text);
        std::error_code ec;
        fs::rename(temporary.path, target, ec);
        if (ec)
            throw std::runtime_error(messages::FileFailure(messages::kCannotReplace, Utf8FromPath(target), ec.message()));
    } catch (const std::exception&) {
        std::error_code ignored;
        fs::remove(temporary.path, ignored);
        throw;
    }
}

// The file keeps its identity: the whole text, made beforehand, goes out in one write
// and is flushed, so only a failure within those few bytes could leave part of it.
void writeInPlace(const fs::path& target, const std::string& text) {
    writeText(target, text, messages::kPartlyWritten);
}

}  // namespace

bool ReadFlagLine(std::string_view line, bool fallback) {
    const std::string_view t = trimSpaces(line);
    if (t.size() != 1 || !isDigit(t[0])) return fallback;
    return t[0] == '1';
}

std::optional<std::int32_t> ReadNumberLine(std::string_view line) {
    const std::string_view t = trimSpaces(line);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    const std::size_t wholeStart = i;
    while (i < t.size() && isDigit(t[i])) ++i;
    std::string_view whole = t.substr(wholeStart, i - wholeStart);
    std::string_view fraction;
    if (i < t.size() && t[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < t.size() && isDigit(t[i])) ++i;
        fraction = t.substr(fractionStart, i - fractionStart);
    }
    if (i != t.size() || (whole.empty() && fraction.empty())) return std::nullopt;  // not a number

    // Every negative number rounds to 0 or less, outside the accepted range.
    if (negative) return std::nullopt;
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    if (whole.size() > 3) return std::nullopt;  // 1000 or more; also keeps huge numbers from overflowing
    std::int32_t value = 0;
    for (const char c : whole) value = value * 10 + (c - '0');

    // Round half to even on the decimal digits themselves, so 2.5 and 3.5 are exact.
    if (!fraction.empty()) {
        const char first = fraction.front();
        const bool beyondHalf = fraction.substr(1).find_first_not_of('0') != std::string_view::npos;
        if (first > '5' || (first == '5' && (beyondHalf || value % 2 == 1))) ++value;
    }
    if (value < 1 || value > 255) return std::nullopt;
    return value;
}

std::string ReadNameLine(Platform& platform, std::string_view line) {
    if (line.starts_with(kNameLineMark) && Utf16FromWtf8(line.substr(kNameLineMark.size())))
        return std::string(line.substr(kNameLineMark.size()));
    return platform.MultiByteToWideChar(line).value_or(std::string(line));
}

std::string WriteNameLine(Platform& platform, std::string_view name) {
    const std::optional<std::string> ansi = platform.WideCharToMultiByte(name);
    if (ansi && !ansi->starts_with(kNameLineMark)) return *ansi;
    return std::string(kNameLineMark) + std::string(name);
}

std::optional<Settings> LoadINI(Platform& platform, const std::function<bool()>& stopped, const Folders& folders) {
    const fs::path file = SettingsFileToRead(platform, folders);
    std::error_code ec;
    if (fs::status(file, ec).type() == fs::file_type::not_found) return std::nullopt;

    // Each step that fails is reported and the next one runs.
    const auto report = [&](const std::string& description) {
        platform.MessageBox(messages::StepText(messages::kLoadINI, description));
    };
    SettingsLines opening(nullptr, report, stopped);
    std::ifstream in;
    opening.step([&] {
        const fs::file_status status = fs::status(file, ec);
        // A folder or a device of that name is not read; a pipe would block for ever.
        if (!fs::is_regular_file(status))
            throw std::runtime_error(
                messages::FileFailure(messages::kCannotOpen, Utf8FromPath(file), messages::kNotAFileReason));
        errno = 0;
        in.open(file, std::ios::binary);
        if (!in.is_open()) throw std::runtime_error(DescribeFileFailure(messages::kCannotOpen, file, errno));
    });

    Settings settings;
    SettingsLines lines(in.is_open() ? in.rdbuf() : nullptr, report, stopped);
    lines.readChoices(settings);
    lines.readSetName(settings);
    settings.unreadFile = lines.readFailed();
    in.close();
    lines.step([&] {
        settings.stored.bytes = settings.setFile;
        settings.setFile = ReadNameLine(platform, settings.stored.bytes);
        settings.stored.name = settings.setFile;
    });
    return settings;
}

bool SaveINI(Platform& platform, const Settings& settings, const std::array<int, 3>& checks,
             const Folders& folders) {
    const std::string nameLine =
        settings.setFile == settings.stored.name ? settings.stored.bytes : WriteNameLine(platform, settings.setFile);
    const std::string text = SettingsText(settings, checks, nameLine);

    const fs::path target = SettingsFile(platform, folders);
    // The user's file stays theirs: one start-up could not read still holds settings
    // the program never saw (nor is a per-user file written then, which would be read in
    // its place from then on), and read-only means "do not change".
    const auto keep = [&](const fs::path& file, const char* why) {
        platform.MessageBox(messages::SettingsKept(Utf8FromPath(file), why));
        return false;
    };
    std::error_code looked;
    const fs::path read = SettingsFileToRead(platform, folders);
    if (settings.unreadFile && fs::symlink_status(read, looked).type() != fs::file_type::not_found)
        return keep(read, messages::kKeptUnread);
    const fs::file_status status = fs::status(target, looked);
    if (fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none)
        return keep(target, messages::kKeptReadOnly);

    MakeUserFolder(folders, target.parent_path());
    try {
        // A package manager that keeps the settings across updates does it with a hard
        // link, which a rename over the file would break.
        const std::optional<std::uint32_t> links = platform.GetFileInformationByHandle(target);
        if (links.value_or(1) > 1)
            writeInPlace(target, text);
        else
            replaceByRename(platform, target, text);
    } catch (const std::exception& e) {
        platform.MessageBox(messages::StepText(messages::kSaveINI, e.what()));
        return false;
    }
    return true;
}

}  // namespace tarn

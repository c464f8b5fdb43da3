// Where the program keeps its files in one run, and their names: the sets it lists, the
// scratch file and the settings file. A copy whose folder can be written keeps
// everything beside it (a portable copy on a stick takes its choices along); one in a
// folder the user cannot write (Program Files, a machine-wide package) keeps the
// settings and the scratch file in the per-user folder, %LOCALAPPDATA%\Tarnwick.
//
// Local, not roaming: the scratch file left behind marks a run that was killed on this
// machine, with this machine's pointers replaced. Carried to another machine by a roaming
// profile it would reload pointers there for nothing, and a roaming settings file would
// remember a set that only this machine's program folder holds.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/platform.h"

namespace tarn {

// An empty folder stands for the program folder as the platform names it, so Folders{}
// is a copy whose own folder can be written: everything beside the program.
struct Folders {
    std::filesystem::path program;   // the program's folder: its own sets, its page
    std::filesystem::path user;      // the per-user folder; empty when the system has none
    std::filesystem::path scratch;   // the folder mw.tmp is written in
    std::filesystem::path settings;  // the folder Tarnwick.ini is written in
};

// The per-user folder's name under the system's local application data folder, and the
// folder of the user's own sets in it.
inline constexpr const char* kUserFolderName = "Tarnwick";
inline constexpr const char* kUserSetsFolderName = "Sets";

// The files the program keeps: the settings and the new settings written beside them
// before they replace them, the scratch file every image goes through
// (files/scratch_file.h), and the file that tells whether a folder takes new files.
// Each of its own is made under the first of its names that is free (OwnFileName).
inline constexpr const char* kSettingsFileName = "Tarnwick.ini";
inline constexpr const char* kNewSettingsFileName = "Tarnwick.ini.new";
inline constexpr const char* kScratchFileName = "mw.tmp";
inline constexpr const char* kProbeFileName = "Tarnwick.probe";

// This run's folders. Whether the program folder can be written is found by trying (a
// file of the program's own made there and removed again), never by reading its
// permissions, which say nothing of a folder the system redirects or shares. Without a
// per-user folder everything stays in the program folder, as it always did.
Folders ChooseFolders(Platform& platform);

// `folder`, or the program folder for an empty one.
std::filesystem::path FolderOrProgram(Platform& platform, const std::filesystem::path& folder);

// The settings file Exit writes (in Folders::settings), and the one start-up reads: the
// same, or, while a per-user one has not been written yet, the program folder's (from a
// time the folder could be written, or put there by whoever installed the program).
std::filesystem::path SettingsFile(Platform& platform, const Folders& folders);
std::filesystem::path SettingsFileToRead(Platform& platform, const Folders& folders);

// The folders whose sets are listed and looked up, in this order: the program folder,
// then the user's own sets in the per-user folder.
std::vector<std::filesystem::path> SetFolders(Platform& platform, const Folders& folders);

// Makes the per-user folder (not its parents) when `folder` is it and it is not there
// yet: it is made by the first file the program writes in it. A failure is left to that
// write to report.
void MakeUserFolder(const Folders& folders, const std::filesystem::path& folder);

// The names a file of the program's own may take where something of its name lies
// already (the user's, never overwritten): n = 1 is `name`, then `name` followed by n,
// up to kOwnFileNames.
inline constexpr int kOwnFileNames = 9;
std::string OwnFileName(const std::string& name, int n);

// A new empty file of the program's own in `folder`, under the first of its names
// (OwnFileName) that is free. Made exclusively, so a file that appears meanwhile is
// never taken for the program's.
struct OwnFile {
    std::filesystem::path path;  // the file made; empty when none could be
    std::error_code failure;     // why none could be: file_exists when every name is taken
};
OwnFile CreateOwnFile(Platform& platform, const std::filesystem::path& folder, const std::string& name);

// True when the system's cursor loader cannot take `file`: its path is kMaxPath UTF-16
// units or more.
bool TooLongForCursorLoader(const std::filesystem::path& file);

}  // namespace tarn

// Every text a message box of Tarnwick can show, to be read top to bottom. Every box has
// the title kTitle and the exclamation icon. A box said by one of the program's steps
// has the step's name as its first line (StepText); the window's own failures, at the
// end, have none. A text with parts is a small function; where a part is the system's
// own words (errno's or a std::error_code's text, FormatMessage's text for a Win32
// error code, an exception's what() such as "std::bad_alloc"), the entry says where
// they come from. Each file that shows or throws one of these texts takes it from here.
// Not here: twcmake, the authoring tool, writes to its console, in its own words
// (src/twcmake/); the picture code beside the layers keeps its reasons (see
// PictureCodeFault); and a broken contract's words (std::invalid_argument in
// cursorset's cursor writer, std::logic_error in shell) never reach a box, as the
// program's callers keep those contracts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::messages {

// ---- The box

inline constexpr char kTitle[] = "Tarnwick";

// "<step>\n<description>": every box a step shows.
inline std::string StepText(std::string_view step, std::string_view description) {
    return std::string(step) + "\n" + std::string(description);
}

// ---- LoadTWC: loading a set (start-up's remembered set, the set rotation starts with,
// a double-clicked set). Silent for a missing set file, one that is not exactly 35808
// bytes, and an empty or unusable name. It also says the file failures below, the
// scratch file's, and an exception's what() (running out of memory).

inline constexpr char kLoadTWC[] = "LoadTWC";

// The set file could not be looked at or opened: FileFailure(kCannotLookAt or
// kCannotOpen, file, the file system's text). Something that is not a plain file (a
// folder, a device) has the set's name:
inline std::string NotAFile(std::string_view file) { return std::string(file) + " is not a file"; }

// The set file could be opened but stopped short at slice `slice` (0 to 15):
// FileFailure(CannotReadSlice(n), file, errno's text).
inline std::string CannotReadSlice(std::size_t slice) { return "Cannot read slice " + std::to_string(slice) + " of"; }

// None of the file's sixteen slices is a pointer the system loads: the set in use stays.
inline std::string NoPointerInSet(std::string_view file) {
    return "Cannot use " + std::string(file) + ": none of its 16 images is a pointer the system can load.";
}

// The set's large pictures (NAME.png beside it) cannot be used: said once a run, after
// the set is in place. `fault` is one of the sentences that follow.
inline std::string CannotUseLargePictures(std::string_view file, std::string_view setName, std::string_view fault) {
    return "Cannot use " + std::string(file) + " as the large pictures of " + std::string(setName) + ": " +
           std::string(fault) + " The set is used at its 32 x 32 pictures.";
}

// The large pictures' file could not be looked at or read: "<action>: <errno's text>."
// (no reason when the system gave none).
inline constexpr char kCannotLookAtTheFile[] = "Cannot look at the file";
inline constexpr char kCannotReadTheFile[] = "Cannot read the file";
inline std::string LargePicturesFileFault(std::string_view action, std::string_view reason) {
    return std::string(action) + (reason.empty() ? "" : ": " + std::string(reason)) + ".";
}

// A folder or a device has the large pictures' name.
inline constexpr char kLargePicturesNotAFile[] = "It is not a file.";

// The file is larger than the most a set's large pictures may take (`most`, 16 MiB).
inline std::string LargePicturesTooLong(std::uintmax_t bytes, std::size_t most) {
    return "The file is " + std::to_string(bytes) + " bytes long; a set's large pictures take at most " +
           std::to_string(most) + " bytes (16 MiB).";
}

// The picture is not 4 by 4 square cells of 32 to 256 pixels: one of three sentences,
// each followed by the shape they must have.
inline std::string PixelsSize(std::uint32_t width, std::uint32_t height) {
    return std::to_string(width) + " by " + std::to_string(height) + " pixels";
}
inline constexpr char kLargePicturesShape[] =
    " A set's large pictures are one PNG of 4 by 4 square cells of 32 to 256 pixels (128 to 1024 pixels square).";
inline std::string NotFourByFourCells(std::uint32_t width, std::uint32_t height) {
    return "The picture is " + PixelsSize(width, height) + ", which is not 4 by 4 cells." + kLargePicturesShape;
}
inline std::string CellsNotSquare(std::uint32_t width, std::uint32_t height, std::uint32_t cellWidth,
                                  std::uint32_t cellHeight) {
    return "The picture is " + PixelsSize(width, height) + ", so its cells (" + PixelsSize(cellWidth, cellHeight) +
           ") are not square." + kLargePicturesShape;
}
inline std::string CellsOutOfRange(std::uint32_t width, std::uint32_t height, std::uint32_t cell) {
    return "The picture is " + PixelsSize(width, height) + ", so its cells are " + PixelsSize(cell, cell) + "." +
           kLargePicturesShape;
}

// The picture code could not read the PNG: its reason as a sentence. The reasons are the
// picture code's own (src/stb/pictures.cpp, shared with twcmake's console): "not a PNG
// picture", "a PNG file too large to read", "a damaged PNG (<the decoder's reason>)", "a
// PNG whose compressed data unpacks to more than its picture holds".
inline std::string PictureCodeFault(std::string reason) {
    if (!reason.empty() && reason[0] >= 'a' && reason[0] <= 'z') reason[0] = static_cast<char>(reason[0] - 'a' + 'A');
    return reason + ".";
}

// ---- ShowIcons: building the list of sets at start-up. Each set is read as LoadTWC
// reads it and says what LoadTWC would say of its set file (not the refusal, not the
// large pictures), and what making its picture met: the scratch file's failures, the
// window's words (the end of this file). Said once the list is built, one box a cause,
// with how many sets it struck; a failure of the list itself ends the list there.

inline constexpr char kShowIcons[] = "ShowIcons";

// "ShowIcons\n<file>\n<description>", and " (N sets)" when the same cause struck N > 1
// sets (<file> is then the first). <file> is the set file's name, or a sets folder that
// could not be listed (the description then is CannotList's).
inline std::string ShowIconsText(std::string_view file, std::string_view description, std::size_t sets = 1) {
    return StepText(kShowIcons, std::string(file) + "\n" + std::string(description) +
                                    (sets == 1 ? "" : " (" + std::to_string(sets) + " sets)"));
}

// ---- LoadINI: reading the settings file at start-up, each failed step said and the
// next one run; silent when there is no settings file. It also shows the remembered
// set's preview: that picture's failures (the scratch file's, the window's words) come
// under this name too. The set's own load speaks as LoadTWC.

inline constexpr char kLoadINI[] = "LoadINI";

// Not a plain file: FileFailure(kCannotOpen, file, kNotAFileReason); not opened:
// FileFailure(kCannotOpen, file, errno's text).
inline constexpr char kNotAFileReason[] = "not a file";

// Each line read once the file could not be opened.
inline std::string CannotReadLine(int line) {
    return "Cannot read line " + std::to_string(line) + ": the settings file is not open";
}

// The file ends before line `line` (1 to 6); `fileName` is the settings file's name.
inline std::string NoSuchLine(std::string_view fileName, int line) {
    return "Input past end of file: " + std::string(fileName) + " has no line " + std::to_string(line);
}

// ---- SaveINI: writing the settings file at Exit. The file is kept as it is, or the
// write failed: FileFailure with kCannotCreate (the new file beside it), kCannotReplace
// (the rename over it), kCannotOpenForWriting, kCannotWrite, with the file system's text.

inline constexpr char kSaveINI[] = "SaveINI";

// The user's file is left untouched, for `why`, one of the two below.
inline std::string SettingsKept(std::string_view file, std::string_view why) {
    return StepText(kSaveINI, std::string(file) + " was kept as it is: " + std::string(why));
}
inline constexpr char kKeptUnread[] =
    "it could not be read when Tarnwick started, so your choices of this run are not saved.";
inline constexpr char kKeptReadOnly[] = "it is marked read-only, so your choices of this run are not saved.";

// After a failed write into the file itself (a file of several names is written in place).
inline constexpr char kPartlyWritten[] = "\nIt may hold only part of the settings now.";

// ---- listv_DblClick: a double-clicked set has loaded; its preview's failures (the
// scratch file's, the window's words). The load itself speaks as LoadTWC.

inline constexpr char kListvDblClick[] = "listv_DblClick";

// ---- KeepWatching: before a tick, while a role shows a direction image, the pointer
// watcher has ended and a new one could not be started. Once a run.

inline constexpr char kKeepWatching[] = "KeepWatching";
inline constexpr char kWatcherNotRestarted[] =
    "Tarnwick's pointer watcher has ended and could not be started again. Should Tarnwick be "
    "ended now without putting your pointers back, they stay replaced until you sign out. Tarnwick tries "
    "again every minute.";

// ---- Files: what the steps above say when a file operation fails

// "<action> <file>", then ": <reason>" when there is one. The reason is the file
// system's (errno's or a std::error_code's text), or one of the reasons of this file.
inline std::string FileFailure(std::string_view action, std::string_view file, std::string_view reason = {}) {
    std::string text = std::string(action) + " " + std::string(file);
    if (!reason.empty()) text += ": " + std::string(reason);
    return text;
}
inline constexpr char kCannotLookAt[] = "Cannot look at";
inline constexpr char kCannotOpen[] = "Cannot open";
inline constexpr char kCannotOpenForWriting[] = "Cannot open for writing";
inline constexpr char kCannotWrite[] = "Cannot write";
inline constexpr char kCannotCreate[] = "Cannot create";
inline constexpr char kCannotReplace[] = "Cannot replace";
inline constexpr char kCannotIdentify[] = "Cannot identify";

// The scratch file (mw.tmp): made by the run's first write, then written only while its
// name still names that file. Its failures reach LoadTWC, ShowIcons and the previews.
// Not made: FileFailure(kCannotCreate, file, the file system's text or NameTaken(...)),
// or, with no reason known, FileFailure(kCannotCreate, "mw.tmp"); made but its identity
// unknown: FileFailure(kCannotIdentify, file); not opened or written again:
// FileFailure(kCannotOpenForWriting or kCannotWrite, file, the file system's text or
// NotTheFileMade(...)).
inline constexpr char kAFolder[] = "a folder";
inline constexpr char kALink[] = "a link";
inline constexpr char kAnotherFile[] = "another file";
inline std::string NameTaken(std::string_view whatItIs) { return std::string(whatItIs) + " of that name is there"; }
inline std::string NotTheFileMade(std::string_view whatItIs) {
    return "it is " + std::string(whatItIs) + " now, not the file Tarnwick made";
}

// A name that is not text (not WTF-8) was to be opened on Windows.
inline constexpr char kNameNotText[] = "Bad file name: the name is not text";

// ---- The window's words: what the Windows side throws. Under a step when the step
// asked for it (a picture, the list), else shown alone: a failure that reached a window
// procedure, a start-up that failed before the form was made, the message loop's.

// "<what>\n<call> failed", then " with error <code>" when the call left one, then
// ": <the system's text>" (FormatMessage's for the code, its line break dropped) when
// there is one. `what` is one of these:
inline std::string CallFailed(std::string_view what, std::string_view call, std::uint32_t code,
                              std::string_view systemText) {
    std::string text = std::string(what) + "\n" + std::string(call) + " failed";
    if (code == 0) return text;
    text += " with error " + std::to_string(code);
    return systemText.empty() ? text : text + ": " + std::string(systemText);
}
inline constexpr char kCannotCreateMainWindow[] = "Cannot create the main window";
inline constexpr char kCannotCreateControls[] = "Cannot create the window's controls";
inline constexpr char kCannotCreateColours[] = "Cannot create the window's colours";
inline constexpr char kCannotCreateTrayHost[] = "Cannot create the tray host window";
inline constexpr char kCannotLoadIcon[] = "Cannot load the program's icon";
inline std::string CannotList(std::string_view folder) { return "Cannot list " + std::string(folder); }

// Start-up cannot tell where the program lies.
inline constexpr char kNoProgramFolder[] = "Cannot find the program's folder";
// A picture, or the file it was to come from, that the window cannot take.
inline constexpr char kInvalidPicture[] = "Invalid picture";
inline constexpr char kFileNotFound[] = "File not found";
inline constexpr char kNoMemoryForPicture[] = "Not enough memory for a picture";
// The set list cannot take another item or picture.
inline constexpr char kOutOfMemory[] = "Out of memory";
// A key the list already holds, a key it does not hold, a check box it does not have.
inline constexpr char kKeyNotUnique[] = "Key is not unique in collection";
inline constexpr char kElementNotFound[] = "Element not found";
inline constexpr char kNoSuchControl[] = "Control array element does not exist";
// A failure that carries no words of its own, or whose words could not be shown.
inline constexpr char kUnexpectedError[] = "Unexpected error";

}  // namespace tarn::messages

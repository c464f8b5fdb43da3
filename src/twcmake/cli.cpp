#include "twcmake/cli.h"

#include <array>
#include <charconv>
#include <filesystem>
#include <map>

#include "cursorset/companion.h"
#include "cursorset/set_file.h"
#include "twcmake/cursor_file.h"
#include "twcmake/files.h"
#include "twcmake/png_io.h"
#include "twcmake/render.h"
#include "twcmake/sheet.h"

namespace tarn::twc {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxPngFileBytes = 64u << 20;
// Read a little more than a set so that an over-long file is reported by its true size.
constexpr std::uintmax_t kMaxSetFileBytes = 16u << 20;

// The cells of the companion a design is drawn in: the largest a companion holds.
constexpr int kDesignCell = kMaxCompanionCell;

constexpr const char* kUsage =
    "usage:\n"
    "  twcmake make --design classic|dart|round [--fill COLOUR] [--outline COLOUR] -o OUT.TWC\n"
    "  twcmake make --sheet SHEET.png --hotspot X,Y -o OUT.TWC\n"
    "  twcmake make --from POINTER.png --hotspot X,Y -o OUT.TWC\n"
    "  twcmake explode SET.TWC FOLDER\n"
    "  twcmake check SET.TWC\n"
    "COLOUR is #rrggbb or one of black, white, grey, red, green, blue, yellow, orange, purple, navy, teal.\n"
    "--design and --sheet also write OUT.png beside OUT.TWC: the set's large pictures, which Tarnwick\n"
    "uses at larger pointer sizes. SHEET.png holds the sixteen directions drawn large: 4 by 4 square\n"
    "cells of 32 pixels or more, direction 0 (up) to 15 left to right, top to bottom, each turned\n"
    "22.5 degrees clockwise from the one before; X,Y is the hot spot of direction 0 in its cell.\n"
    "--from turns one upright picture of any size (fitted into 32x32) into the sixteen directions.\n"
    "check also checks OUT.png beside a set; explode also draws it at 32 to 128 pixels and writes\n"
    "each direction's pointer file as Tarnwick makes it of OUT.png, at every size Windows draws.\n";

// A wrong command line, as opposed to wrong input.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const std::map<std::string_view, Rgb>& colourNames() {
    static const std::map<std::string_view, Rgb> names{
        {"black", {0, 0, 0}},       {"white", {255, 255, 255}}, {"grey", {128, 128, 128}},
        {"gray", {128, 128, 128}},  {"red", {220, 30, 30}},     {"green", {30, 160, 60}},
        {"blue", {30, 90, 220}},    {"yellow", {255, 214, 0}},  {"orange", {255, 140, 0}},
        {"purple", {130, 50, 170}}, {"navy", {10, 30, 90}},     {"teal", {0, 128, 128}},
    };
    return names;
}

const char* directionName(int d) {
    static constexpr std::array<const char*, 16> names{"up",    "",      "up-right",   "", "right", "",
                                                       "down-right", "", "down", "", "down-left",  "",
                                                       "left", "", "up-left", ""};
    return names[static_cast<std::size_t>(d)];
}

std::vector<std::uint8_t> readSet(const fs::path& file) {
    auto bytes = readWholeFile(file, kMaxSetFileBytes);
    if (bytes.size() != kSetBytes)
        throw TwcError(displayName(file) + ": " + std::to_string(bytes.size()) + " bytes; a cursor set is " +
                       std::to_string(kSetBytes) + " bytes (16 slices of " + std::to_string(kSliceBytes) + ")");
    return bytes;
}

std::span<const std::uint8_t> sliceOf(const std::vector<std::uint8_t>& set, int d) {
    return std::span<const std::uint8_t>(set).subspan(static_cast<std::size_t>(d) * kSliceBytes, kSliceBytes);
}

std::string joinFaults(const std::vector<std::string>& faults) {
    std::string text;
    for (const auto& f : faults) {
        if (!text.empty()) text += "; ";
        text += f;
    }
    return text;
}

struct MakeOptions {
    std::optional<std::string> design, fill, outline, from, sheet, hotspot, output;
};

MakeOptions parseMake(const std::vector<std::string>& args) {
    MakeOptions o;
    const std::map<std::string_view, std::optional<std::string> MakeOptions::*> options{
        {"--design", &MakeOptions::design}, {"--fill", &MakeOptions::fill},       {"--outline", &MakeOptions::outline},
        {"--from", &MakeOptions::from},     {"--hotspot", &MakeOptions::hotspot}, {"-o", &MakeOptions::output},
        {"--output", &MakeOptions::output}, {"--sheet", &MakeOptions::sheet},
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto it = options.find(args[i]);
        if (it == options.end()) {
            if (args[i].starts_with("-")) throw UsageError("unknown option '" + args[i] + "'");
            throw UsageError("unexpected argument '" + args[i] + "'");
        }
        if (i + 1 >= args.size()) throw UsageError("option " + args[i] + " needs a value");
        auto& slot = o.*(it->second);
        if (slot) throw UsageError("option " + args[i] + " given twice");
        slot = args[++i];
    }
    if (!o.output) throw UsageError("make needs -o OUT.TWC");
    if (o.design.has_value() + o.from.has_value() + o.sheet.has_value() != 1)
        throw UsageError("make needs one of --design, --sheet or --from");
    if (o.design && o.hotspot) throw UsageError("--hotspot goes with --sheet or --from; a design knows its own tip");
    if (!o.design && (o.fill || o.outline)) throw UsageError("--fill and --outline go with --design");
    if (!o.design && !o.hotspot) throw UsageError(std::string(o.from ? "--from" : "--sheet") + " needs --hotspot X,Y");
    return o;
}

Rgb colourOption(const std::optional<std::string>& text, Rgb fallback, const char* option) {
    if (!text) return fallback;
    if (auto c = parseColour(*text)) return *c;
    throw UsageError(std::string("bad colour '") + *text + "' for " + option + ": use #rrggbb or a colour name");
}

Pixel hotspotOption(const std::string& text) {
    if (const auto hotspot = parseHotspot(text)) return *hotspot;
    throw UsageError("bad hotspot '" + text + "': use X,Y, two whole numbers");
}

void requireInside(Pixel hotspot, int width, int height, const char* what) {
    if (hotspot.x >= width || hotspot.y >= height)
        throw TwcError("hotspot " + std::to_string(hotspot.x) + "," + std::to_string(hotspot.y) + " lies outside the " +
                       std::to_string(width) + "x" + std::to_string(height) + " " + what);
}

// A hotspot near a corner turns out of the 32 x 32 frame; the slice keeps it at the
// nearest edge, which the user should know about.
void warnWhereTheHotspotLeaves(PointF hotPoint, std::ostream& warnings) {
    int outside = 0;
    for (int d = 0; d < kDirections; ++d) {
        const PointF p = turn(hotPoint, PointF{kSide / 2.0, kSide / 2.0}, d);
        outside += p.x < 0 || p.y < 0 || p.x >= kSide || p.y >= kSide;
    }
    if (outside > 0)
        warnings << "twcmake: warning: the hotspot turns out of the 32x32 picture in " << outside
                 << " of 16 directions and is kept at its edge there\n";
}

// The companion file of a set: the one there in any letter case of ".png", else the
// name it gets.
fs::path companionOf(const fs::path& set) {
    const fs::path folder = set.parent_path();
    const std::string name = displayName(set.filename());
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end; it.increment(ec))
        if (IsCompanionOf(name, displayName(it->path().filename()))) return folder / it->path().filename();
    return folder / pathFromUtf8(CompanionName(name));
}

// The set and, when there is one, its companion, made in memory before anything is
// written.
struct MadeSet {
    SliceSet slices;
    std::optional<RgbaPicture> companion;
};

MadeSet fromDesign(const MakeOptions& o) {
    const auto design = designNamed(*o.design);
    if (!design) throw UsageError("unknown design '" + *o.design + "' (known: classic, dart, round)");
    const Rgb fill = colourOption(o.fill, Rgb{255, 255, 255}, "--fill");
    const Rgb outline = colourOption(o.outline, Rgb{0, 0, 0}, "--outline");
    std::array<RgbaPicture, kSliceCount> cells;
    const auto pictures = renderDesignAt(*design, fill, outline, kDesignCell);
    for (std::size_t d = 0; d < kSliceCount; ++d) cells[d] = pictureOf(pictures[d]);
    return MadeSet{renderDesign(*design, fill, outline), JoinSheet(cells)};
}

MadeSet fromSheet(const MakeOptions& o, std::ostream& warnings) {
    const Pixel hotspot = hotspotOption(*o.hotspot);
    const fs::path source = pathFromUtf8(*o.sheet);
    const Image sheet = decodePng(readWholeFile(source, kMaxPngFileBytes), displayName(source));
    const int cell = sheet.width / kCompanionColumns;
    if (sheet.width != sheet.height || sheet.width % kCompanionColumns != 0 || cell < kMinCompanionCell)
        throw TwcError(displayName(source) + ": the sheet is " + std::to_string(sheet.width) + "x" +
                       std::to_string(sheet.height) + " pixels; a sheet is 4 by 4 square cells of " +
                       std::to_string(kMinCompanionCell) + " pixels or more");
    requireInside(hotspot, cell, cell, "cell");

    const auto cells = CutSheet(pictureOf(sheet));
    const int side = std::min(cell, kMaxCompanionCell);
    std::array<RgbaPicture, kSliceCount> large;
    const double scale = static_cast<double>(kSide) / cell;
    const PointF hotPoint{(hotspot.x + 0.5) * scale, (hotspot.y + 0.5) * scale};
    MadeSet made;
    for (int d = 0; d < kDirections; ++d) {
        const auto i = static_cast<std::size_t>(d);
        const Image small = imageOf(PictureAtSide(cells[i], kSide));
        Slice& slice = made.slices[i];
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (const Rgba p = small.at(x, y); p.a >= 128) slice.at(x, y) = Rgba{p.r, p.g, p.b, 255};
        slice.hotspot = pixelAt(turn(hotPoint, PointF{kSide / 2.0, kSide / 2.0}, d));
        large[i] = PictureAtSide(cells[i], side);
    }
    warnWhereTheHotspotLeaves(hotPoint, warnings);
    made.companion = JoinSheet(large);
    return made;
}

MadeSet fromPicture(const MakeOptions& o, std::ostream& warnings) {
    const Pixel hotspot = hotspotOption(*o.hotspot);
    const fs::path source = pathFromUtf8(*o.from);
    const Image picture = decodePng(readWholeFile(source, kMaxPngFileBytes), displayName(source));
    requireInside(hotspot, picture.width, picture.height, "picture");
    PointF hotPoint;
    const Image upright = fitTo32(picture, hotspot, hotPoint);
    warnWhereTheHotspotLeaves(hotPoint, warnings);
    return MadeSet{turnPicture(upright, hotPoint), std::nullopt};
}

int make(const std::vector<std::string>& args, std::ostream& out, std::ostream& warnings) {
    const MakeOptions o = parseMake(args);
    const fs::path target = pathFromUtf8(*o.output);
    std::error_code ec;
    if (target.has_parent_path() && !fs::is_directory(target.parent_path(), ec))
        throw TwcError(displayName(target.parent_path()) + ": no such folder");
    // Found out before the large pictures are written beside it, not at the set's own write.
    if (fs::is_directory(target, ec)) throw TwcError(displayName(target) + " is a folder, not a set file");
    // What lies where the set's large pictures go is looked at before anything is made.
    const fs::path companion = companionOf(target);
    const std::optional<CompanionRead> there = ReadCompanionFile(companion);
    if (!o.from && there && !there->companion)
        // Not a companion that twcmake or anyone made: a picture of the user's.
        throw TwcError(displayName(companion) + " is there and is not a set's large pictures (" + there->fault +
                       "); twcmake leaves it alone: move it, or give the set another name");

    const MadeSet made = o.design ? fromDesign(o) : o.sheet ? fromSheet(o, warnings) : fromPicture(o, warnings);
    if (o.from && there && there->companion)
        warnings << "twcmake: warning: " << displayName(companion)
                 << " beside the set holds large pictures of another set, which Tarnwick would show at larger"
                    " pointer sizes: remove it or make it anew\n";
    // A sheet that is already the set's companion, as it is, stays untouched.
    const bool sheetIsCompanion = o.sheet && fs::equivalent(pathFromUtf8(*o.sheet), companion, ec);
    if (made.companion && !sheetIsCompanion) {
        writeFileAtomically(companion, EncodePng(*made.companion));
        out << "wrote " << displayName(companion) << "\n";
    }
    writeFileAtomically(target, encodeSet(made.slices));
    out << "wrote " << displayName(target) << "\n";
    return 0;
}

int check(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 2) throw UsageError("check needs exactly one SET.TWC");
    const fs::path file = pathFromUtf8(args[1]);
    const auto set = readSet(file);
    int faulty = 0;
    for (int d = 0; d < kDirections; ++d) {
        const SliceReport r = examineSlice(sliceOf(set, d));
        out << "slice " << (d < 10 ? " " : "") << d << ": ";
        if (r.ok()) {
            out << "ok, 32x32 8-bit cursor, hotspot " << r.hotspot.x << "," << r.hotspot.y;
            if (*directionName(d)) out << " (" << directionName(d) << ")";
            out << "\n";
        } else {
            ++faulty;
            out << "FAULT: " << joinFaults(r.faults) << "\n";
        }
    }
    const fs::path companion = companionOf(file);
    const std::optional<CompanionRead> large = ReadCompanionFile(companion);
    if (!large) {
        out << "no large pictures (" << displayName(companion.filename())
            << "): Tarnwick enlarges the 32x32 slices at larger pointer sizes\n";
    } else if (large->companion) {
        const std::string cell = std::to_string(large->companion->cell);
        out << "large pictures " << displayName(companion.filename()) << ": ok, 16 cells of " << cell << "x" << cell
            << "\n";
    } else {
        out << "large pictures " << displayName(companion.filename()) << ": FAULT: " << large->fault << "\n";
    }
    const bool largeFaulty = large && !large->companion;
    if (faulty || largeFaulty) {
        out << displayName(file) << ": " << faulty << " of 16 slices faulty"
            << (largeFaulty ? ", and its large pictures" : "") << "\n";
        return 1;
    }
    out << displayName(file) << ": all 16 slices well formed\n";
    return 0;
}

int explode(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 3) throw UsageError("explode needs SET.TWC and a FOLDER");
    const fs::path file = pathFromUtf8(args[1]);
    const fs::path folder = pathFromUtf8(args[2]);
    const auto set = readSet(file);

    // Everything is read and checked before the first file is written.
    SliceSet slices;
    for (int d = 0; d < kDirections; ++d) {
        const auto slice = decodeSlice(sliceOf(set, d));
        if (!slice)
            throw TwcError(displayName(file) + ": slice " + std::to_string(d) +
                           " is not a well-formed cursor: " + joinFaults(examineSlice(sliceOf(set, d)).faults));
        slices[static_cast<std::size_t>(d)] = *slice;
    }
    const auto sheet = encodePng(contactSheet(slices));
    std::optional<std::vector<std::uint8_t>> sizes;
    std::vector<std::vector<std::uint8_t>> pointers;  // each direction's, of the large pictures
    const fs::path companion = companionOf(file);
    if (const std::optional<CompanionRead> large = ReadCompanionFile(companion)) {
        if (!large->companion) throw TwcError(displayName(companion) + ": " + large->fault);
        sizes = encodePng(sizesSheet(*large->companion, slices));
        for (std::size_t d = 0; d < kSliceCount; ++d)
            pointers.push_back(*CompanionCursor(*large->companion, d, sliceOf(set, static_cast<int>(d)), kPointerSides));
    }

    // Beside a set of the same name the contact sheet would be taken for that set's
    // large pictures (and replace the real ones): the parts go somewhere else.
    const std::u8string stem = file.stem().u8string();
    const fs::path sheetFile = folder / (stem + u8".png");
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = displayName(it->path().filename());
        if (HasSetExtension(name) && IsCompanionOf(name, displayName(sheetFile.filename())))
            throw TwcError(displayName(sheetFile) + " would be taken as the large pictures of " +
                           displayName(it->path()) + "; explode into a folder without that set");
    }
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) throw TwcError(displayName(folder) + ": cannot make the folder");
    for (int d = 0; d < kDirections; ++d) {
        std::string number = std::to_string(d);
        if (number.size() < 2) number.insert(number.begin(), '0');
        const std::u8string part = stem + u8"-" + std::u8string(number.begin(), number.end());
        writeFileAtomically(folder / (part + u8".cur"), sliceOf(set, d));
        if (!pointers.empty()) writeFileAtomically(folder / (part + u8"-large.cur"), pointers[static_cast<std::size_t>(d)]);
    }
    writeFileAtomically(sheetFile, sheet);
    out << "wrote " << (pointers.empty() ? "16" : "32") << " cursors and " << displayName(sheetFile);
    if (sizes) {
        writeFileAtomically(folder / (stem + u8"-sizes.png"), *sizes);
        out << " and " << displayName(folder / (stem + u8"-sizes.png"));
    }
    out << "\n";
    return 0;
}

}  // namespace

std::optional<Rgb> parseColour(std::string_view text) {
    if (text.size() == 7 && text[0] == '#') {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
        if (ec != std::errc{} || end != text.data() + 7) return std::nullopt;
        return Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>((value >> 8) & 0xFF),
                   static_cast<std::uint8_t>(value & 0xFF)};
    }
    const auto it = colourNames().find(text);
    if (it == colourNames().end()) return std::nullopt;
    return it->second;
}

std::optional<Pixel> parseHotspot(std::string_view text) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    auto number = [](std::string_view part) -> std::optional<int> {
        if (part.empty() || part.size() > 9) return std::nullopt;
        int v = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), v);
        if (ec != std::errc{} || end != part.data() + part.size() || v < 0) return std::nullopt;
        return v;
    };
    const auto x = number(text.substr(0, comma));
    const auto y = number(text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return Pixel{*x, *y};
}

int runTwcmake(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            out << kUsage;
            return 0;
        }
        if (command == "make") return make(args, out, err);
        if (command == "check") return check(args, out);
        if (command == "explode") return explode(args, out);
        throw UsageError("unknown command '" + command + "' (make, explode, check)");
    } catch (const UsageError& e) {
        err << "twcmake: " << e.what() << " (twcmake --help shows the usage)\n";
        return 2;
    } catch (const TwcError& e) {
        err << "twcmake: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "twcmake: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace tarn::twc

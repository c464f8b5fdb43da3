#include "twcmake/cli.h"

#include <array>
#include <charconv>
#include <filesystem>
#include <map>

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

constexpr const char* kUsage =
    "usage:\n"
    "  twcmake make --design classic|dart|round [--fill COLOUR] [--outline COLOUR] -o OUT.TWC\n"
    "  twcmake make --from POINTER.png --hotspot X,Y -o OUT.TWC\n"
    "  twcmake explode SET.TWC FOLDER\n"
    "  twcmake check SET.TWC\n"
    "COLOUR is #rrggbb or one of black, white, grey, red, green, blue, yellow, orange, purple, navy, teal.\n";

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
    std::optional<std::string> design, fill, outline, from, hotspot, output;
};

MakeOptions parseMake(const std::vector<std::string>& args) {
    MakeOptions o;
    const std::map<std::string_view, std::optional<std::string> MakeOptions::*> options{
        {"--design", &MakeOptions::design}, {"--fill", &MakeOptions::fill},       {"--outline", &MakeOptions::outline},
        {"--from", &MakeOptions::from},     {"--hotspot", &MakeOptions::hotspot}, {"-o", &MakeOptions::output},
        {"--output", &MakeOptions::output},
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
    if (o.design.has_value() == o.from.has_value()) throw UsageError("make needs either --design or --from");
    if (o.design && o.hotspot) throw UsageError("--hotspot goes with --from; a design knows its own tip");
    if (o.from && (o.fill || o.outline)) throw UsageError("--fill and --outline go with --design");
    if (o.from && !o.hotspot) throw UsageError("--from needs --hotspot X,Y");
    return o;
}

Rgb colourOption(const std::optional<std::string>& text, Rgb fallback, const char* option) {
    if (!text) return fallback;
    if (auto c = parseColour(*text)) return *c;
    throw UsageError(std::string("bad colour '") + *text + "' for " + option + ": use #rrggbb or a colour name");
}

int make(const std::vector<std::string>& args, std::ostream& out, std::ostream& warnings) {
    const MakeOptions o = parseMake(args);
    SliceSet set;
    if (o.design) {
        const auto design = designNamed(*o.design);
        if (!design) throw UsageError("unknown design '" + *o.design + "' (known: classic, dart, round)");
        set = renderDesign(*design, colourOption(o.fill, Rgb{255, 255, 255}, "--fill"),
                           colourOption(o.outline, Rgb{0, 0, 0}, "--outline"));
    } else {
        const auto hotspot = parseHotspot(*o.hotspot);
        if (!hotspot) throw UsageError("bad hotspot '" + *o.hotspot + "': use X,Y, two whole numbers");
        const fs::path source = pathFromUtf8(*o.from);
        const Image picture = decodePng(readWholeFile(source, kMaxPngFileBytes), displayName(source));
        if (hotspot->x >= picture.width || hotspot->y >= picture.height)
            throw TwcError("hotspot " + std::to_string(hotspot->x) + "," + std::to_string(hotspot->y) +
                           " lies outside the " + std::to_string(picture.width) + "x" + std::to_string(picture.height) +
                           " picture");
        PointF hotPoint;
        const Image upright = fitTo32(picture, *hotspot, hotPoint);
        set = turnPicture(upright, hotPoint);
        // A hotspot near a corner turns out of the 32 x 32 frame; the slice keeps it at the
        // nearest edge, which the user should know about.
        int outside = 0;
        for (int d = 0; d < kDirections; ++d) {
            const PointF p = turn(hotPoint, PointF{kSide / 2.0, kSide / 2.0}, d);
            outside += p.x < 0 || p.y < 0 || p.x >= kSide || p.y >= kSide;
        }
        if (outside > 0)
            warnings << "twcmake: warning: the hotspot turns out of the 32x32 picture in " << outside
                     << " of 16 directions and is kept at its edge there\n";
    }
    const fs::path target = pathFromUtf8(*o.output);
    writeFileAtomically(target, encodeSet(set));
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
    if (faulty) {
        out << displayName(file) << ": " << faulty << " of 16 slices faulty\n";
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

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) throw TwcError(displayName(folder) + ": cannot make the folder");
    const std::u8string stem = file.stem().u8string();
    for (int d = 0; d < kDirections; ++d) {
        std::string number = std::to_string(d);
        if (number.size() < 2) number.insert(number.begin(), '0');
        writeFileAtomically(folder / (stem + u8"-" + std::u8string(number.begin(), number.end()) + u8".cur"),
                            sliceOf(set, d));
    }
    writeFileAtomically(folder / (stem + u8".png"), sheet);
    out << "wrote 16 cursors and " << displayName(folder / (stem + u8".png")) << "\n";
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

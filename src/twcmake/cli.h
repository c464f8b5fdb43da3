// The twcmake command line, callable in-process: arguments without the program name,
// normal output and messages to the given streams. Returns the exit status:
// 0 done, 1 the input or a file was at fault, 2 the command line was wrong.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "twcmake/image.h"

namespace tarn::twc {

int runTwcmake(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "#rrggbb" or a colour name; nothing when neither.
std::optional<Rgb> parseColour(std::string_view text);

// "X,Y" with two whole numbers; nothing otherwise.
std::optional<Pixel> parseHotspot(std::string_view text);

}  // namespace tarn::twc

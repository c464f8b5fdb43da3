// twcmake: makes, checks and takes apart Tarnwick cursor set files.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "twcmake/cli.h"

#ifdef _WIN32
// Wide arguments, so that any file name reaches the program intact; the core takes UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::u8string u = std::filesystem::path(argv[i]).u8string();
        args.emplace_back(u.begin(), u.end());
    }
    return tarn::twc::runTwcmake(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
    return tarn::twc::runTwcmake(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
#endif

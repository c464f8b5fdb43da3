// The image's load configuration: the one field the programs need of it is the
// dependent-load flag, which tells the loader to resolve the imports it loads before
// main (and what those import) from the system folder only, as the program asks at its
// start for every later load. The linker of this toolchain does not point the image's
// load configuration entry at this structure; cmake/pe_load_config.py does, after the
// link.
#include "win32/win32_api.h"

namespace {

// The structure as this toolchain's headers know it: the dependent-load flags are the
// word they still call Reserved1, and Size covers it.
constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 loadConfig() {
    IMAGE_LOAD_CONFIG_DIRECTORY64 config{};
    config.Size = sizeof config;
    config.Reserved1 = static_cast<WORD>(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return config;
}

}  // namespace

extern "C" [[gnu::used]] const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = loadConfig();

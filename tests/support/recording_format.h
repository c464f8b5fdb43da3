// How the recording platform writes arguments into its log.
#pragma once

#include <cstdio>
#include <string>

namespace tarn::testing::format {

inline std::string quote(const std::string& s) { return "\"" + s + "\""; }

inline std::string boolText(bool b) { return b ? "1" : "0"; }

inline std::string twips(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

}  // namespace tarn::testing::format

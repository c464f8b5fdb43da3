// The sets shipped in sets/: exactly what scripts/make-sets.sh makes, and readable by an
// independent cursor reader.
#include "cursorset/companion.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <set>

namespace {

namespace fs = std::filesystem;
using tarn::testing::capture;
using tarn::testing::TempFolder;

const fs::path kSource = TARN_SOURCE_DIR;
const fs::path kTwcmake = TWCMAKE_EXE;
const fs::path kIdentify = "/usr/bin/identify";

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// The files of sets/ whose names end in `extension`, or all of them.
std::set<std::string> bundledSets(const std::string& extension = "") {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(kSource / "sets"))
        if (extension.empty() || e.path().extension() == extension) names.insert(e.path().filename().string());
    return names;
}

TEST(BundledSets, AtLeastThreeOfTheRightSizeEachWithItsLargePictures) {
    const auto names = bundledSets(".TWC");
    EXPECT_GE(names.size(), 3u);
    for (const auto& n : names) {
        EXPECT_EQ(fs::file_size(kSource / "sets" / n), 35808u) << n;
        const auto large = tarn::testing::readFile(kSource / "sets" / tarn::CompanionName(n));
        const tarn::CompanionRead read = tarn::ReadCompanion(std::vector<std::uint8_t>(large.begin(), large.end()));
        ASSERT_TRUE(read.companion) << n << ": " << read.fault;
        EXPECT_EQ(read.companion->cell, 256) << n;
    }
    EXPECT_EQ(bundledSets().size(), 2 * names.size()) << "sets/ holds the sets and their large pictures only";
}

TEST(BundledSets, AreExactlyWhatTheScriptMakes) {
    TempFolder out;
    int status = 0;
    const std::string log = capture("TWCMAKE=" + quoted(kTwcmake) + " SETS_OUT=" + quoted(out.path()) + " bash " +
                                        quoted(kSource / "scripts/make-sets.sh") + " 2>&1",
                                    &status);
    ASSERT_EQ(status, 0) << log;

    std::set<std::string> made;
    for (const auto& e : fs::directory_iterator(out.path())) made.insert(e.path().filename().string());
    EXPECT_EQ(made, bundledSets()) << "sets/ holds exactly the sets and large pictures the script makes";
    for (const auto& name : made) {
        if (!fs::exists(kSource / "sets" / name)) continue;
        EXPECT_TRUE(tarn::testing::readFile(out / name) == tarn::testing::readFile(kSource / "sets" / name))
            << name << " differs from what scripts/make-sets.sh makes now; run it and commit the result";
    }
}

TEST(BundledSets, EverySliceIsA32By32CursorToImageMagick) {
    if (!fs::exists(kIdentify)) GTEST_SKIP() << kIdentify << " is absent (Debian package imagemagick); not checked";
    for (const auto& name : bundledSets(".TWC")) {
        TempFolder parts;
        int status = 0;
        const std::string log =
            capture(quoted(kTwcmake) + " explode " + quoted(kSource / "sets" / name) + " " + quoted(parts.path()) + " 2>&1",
                    &status);
        ASSERT_EQ(status, 0) << log;
        const std::string stem = fs::path(name).stem().string();
        for (int d = 0; d < 16; ++d) {
            const fs::path cur = parts / (stem + "-" + (d < 10 ? "0" : "") + std::to_string(d) + ".cur");
            ASSERT_TRUE(fs::exists(cur)) << cur;
            const std::string seen = capture(quoted(kIdentify) + " -format '%m %w %h\\n' " + quoted(cur) + " 2>&1", &status);
            EXPECT_EQ(status, 0) << seen;
            EXPECT_EQ(seen, "CUR 32 32\n") << cur;
        }
    }
}

}  // namespace

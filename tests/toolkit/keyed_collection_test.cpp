// The list view and the image list find entries by key; a repeated key must be refused
// with the toolkit's own message and leave the collection as it was.
#include "toolkit/keyed_collection.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tarn::toolkit {
namespace {

TEST(KeyedCollection, KeysFindTheirPositionInOrderOfAdding) {
    KeyedCollection c;
    EXPECT_EQ(c.add("arrows"), 0u);
    EXPECT_EQ(c.add("Arrows"), 1u);  // keys differ by letter case: two entries
    EXPECT_EQ(c.add("hands"), 2u);
    EXPECT_EQ(c.find("arrows"), 0u);
    EXPECT_EQ(c.find("Arrows"), 1u);
    EXPECT_EQ(c.keyAt(2), "hands");
    EXPECT_EQ(c.find("missing"), std::nullopt);
    EXPECT_EQ(c.at("hands"), 2u);
    try {
        static_cast<void>(c.at("missing"));
        FAIL() << "a missing key was found";
    } catch (const PlatformError& e) {
        EXPECT_STREQ(e.what(), "Element not found");
    }
}

TEST(KeyedCollection, ARepeatedKeyIsRefusedAndNothingIsAdded) {
    KeyedCollection c;
    c.add("arrows");
    try {
        c.add("arrows");
        FAIL() << "a repeated key was accepted";
    } catch (const PlatformError& e) {
        EXPECT_STREQ(e.what(), "Key is not unique in collection");
    }
    EXPECT_THROW(c.checkUnique("arrows"), PlatformError);
    EXPECT_NO_THROW(c.checkUnique("hands"));
    EXPECT_EQ(c.size(), 1u);
    EXPECT_EQ(c.add("hands"), 1u);
}

TEST(KeyedCollection, EmptyKeysAreNoKeysAndNeverCollide) {
    KeyedCollection c;
    EXPECT_EQ(c.add(""), 0u);
    EXPECT_EQ(c.add(""), 1u);
    EXPECT_EQ(c.find(""), std::nullopt);
    EXPECT_EQ(c.keyAt(1), "");
}

TEST(KeyedCollection, ClearingFreesEveryKey) {
    KeyedCollection c;
    c.add("arrows");
    c.add("hands");
    c.clear();
    EXPECT_EQ(c.size(), 0u);
    EXPECT_EQ(c.find("arrows"), std::nullopt);
    EXPECT_EQ(c.add("hands"), 0u);
}

}  // namespace
}  // namespace tarn::toolkit

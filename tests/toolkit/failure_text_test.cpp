// A failing system call is said with its name and the system's reason, never a bare "failed".
#include "toolkit/failure_text.h"

#include <gtest/gtest.h>

namespace tarn::toolkit {
namespace {

TEST(DescribeFailure, NamesTheCallAndGivesTheSystemsReasonWhenThereIsOne) {
    struct Case {
        std::uint32_t code;
        std::u16string systemText;
        std::string expected;
    };
    const Case cases[] = {
        {1407, u"Cannot find window class.\r\n", "Cannot create\nCreateWindowExW failed with error 1407: Cannot find window class."},
        {1, u"Incorrect function. \r\n", "Cannot create\nCreateWindowExW failed with error 1: Incorrect function."},
        {8, u"Nicht gen\u00FCgend Speicher.", "Cannot create\nCreateWindowExW failed with error 8: Nicht gen\xC3\xBCgend Speicher."},
        {317, u"\r\n", "Cannot create\nCreateWindowExW failed with error 317"},  // no text for the code
        {317, u"", "Cannot create\nCreateWindowExW failed with error 317"},
        {0, u"The operation completed successfully.\r\n", "Cannot create\nCreateWindowExW failed"},  // left no code
    };
    for (const Case& c : cases)
        EXPECT_EQ(describeFailure("Cannot create", "CreateWindowExW", c.code, c.systemText), c.expected) << c.code;
}

}  // namespace
}  // namespace tarn::toolkit

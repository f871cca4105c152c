// The library-information record as a host sees it.
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "pclxl.h"

namespace {

TEST(LibraryInfo, HoldsSevenLabelledLinesInOneStaticList) {
    size_t count = 0;
    const char *const *lines = pclxl_library_info(&count);
    ASSERT_EQ(count, 7u);
    const char *labels[] = {"NAME",       "VERSION",    "BUILD_DATE",     "BUILD_TYPE",
                            "GIT_BRANCH", "GIT_COMMIT", "GIT_COMMIT_DATE"};
    std::string value[7];
    for (size_t i = 0; i < count; ++i) {
        std::string prefix = std::string("LIBRARY_INFO_") + labels[i] + ": ";
        ASSERT_EQ(std::string(lines[i]).rfind(prefix, 0), 0u) << lines[i];
        value[i] = lines[i] + prefix.size();
    }
    EXPECT_EQ(value[0], "pclxl");
    EXPECT_EQ(value[1], PCLXL_VERSION_STRING);
    EXPECT_TRUE(std::regex_match(value[2], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    EXPECT_EQ(value[3], PCLXL_TEST_BUILD_TYPE);
    // From a checkout the commit and its date are known; without one, no git field is.
    if (!value[5].empty())
        EXPECT_TRUE(std::regex_match(value[5], std::regex("[0-9a-f]{40}")) && !value[6].empty());
    else
        EXPECT_EQ(value[4] + value[6], "");

    EXPECT_EQ(pclxl_library_info(nullptr), lines);
}

} // namespace

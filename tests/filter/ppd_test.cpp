// The generated PPD offers exactly what the filter knows: its papers at the
// same sizes, its trays at the MediaPosition the filter maps back, and its
// media types.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "settings.h"

#ifdef PCLXL_PPD_PATH

namespace {

// "*Keyword Choice/Text: "code"" lines of one main keyword: choice -> code.
std::map<std::string, std::string> choices(const char *keyword) {
    std::ifstream ppd(PCLXL_PPD_PATH);
    std::map<std::string, std::string> found;
    const std::regex line(std::string("^\\*") + keyword + " ([^/:]+)(/[^:]*)?: \"(.*)\"$");
    for (std::string text; std::getline(ppd, text);) {
        std::smatch m;
        if (std::regex_match(text, m, line))
            found[m[1]] = m[3];
    }
    return found;
}

TEST(Ppd, PapersAreTheFiltersAtTheirTrueSizes) {
    auto sizes = choices("PaperDimension");
    ASSERT_EQ(rastertopclxl::kPaperCount, sizes.size());
    for (size_t i = 0; i < rastertopclxl::kPaperCount; i++) {
        const auto &paper = rastertopclxl::kPapers[i];
        EXPECT_EQ(std::to_string(paper.width_pt) + " " + std::to_string(paper.height_pt),
                  sizes[paper.ppd_name])
            << paper.ppd_name;
    }
}

TEST(Ppd, TraysSitAtTheirMediaPosition) {
    auto slots = choices("InputSlot");
    ASSERT_EQ(rastertopclxl::kTrayCount, slots.size());
    for (size_t i = 0; i < rastertopclxl::kTrayCount; i++)
        EXPECT_EQ("<</MediaPosition " + std::to_string(i) + ">>setpagedevice",
                  slots[rastertopclxl::kTrays[i].name])
            << rastertopclxl::kTrays[i].name;
}

TEST(Ppd, MediaTypesAreTheFilters) {
    auto types = choices("MediaType");
    ASSERT_EQ(rastertopclxl::kMediaTypeCount, types.size());
    for (size_t i = 0; i < rastertopclxl::kMediaTypeCount; i++) {
        const char *name = rastertopclxl::kMediaTypes[i].name;
        EXPECT_NE(std::string::npos, types[name].find(std::string("/MediaType(") + name + ")"));
    }
}

} // namespace

#endif
